#include "AppConfig.h"
#include "AppPaths.h"

#include <QTemporaryDir>
#include <QtTest>

class TestConfigure : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void freshProfileDefaults();
    void defaultsKeepStoredValues();
    void wrongTypesGiveDefaults();
    void rtpFileListDropsVanishedFiles();
    void instancesShareTheFile();
    void hostileFileDoesNotCrash();

private:
    void writeRaw(const QByteArray& bytes);
};

void TestConfigure::initTestCase()
{
    // Never touch the real profile.
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setApplicationName(QStringLiteral("orvane-test"));
}

void TestConfigure::init()
{
    QFile::remove(AppConfig::filePath());
}

void TestConfigure::writeRaw(const QByteArray& bytes)
{
    QFile f(AppConfig::filePath());
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

void TestConfigure::freshProfileDefaults()
{
    QVERIFY(AppConfig::filePath().endsWith(QLatin1String("/configure/configure.ini")));
    {
        AppConfig c;
        QCOMPARE(c.language(), QString());
        QCOMPARE(c.alarmTest(), 0);
        QCOMPARE(c.network(), QString());
        QCOMPARE(c.rtpSourceIndex(), 0);
        QVERIFY(c.rtpFileList().isEmpty());
        c.defaults();
    }
    QFile f(AppConfig::filePath());
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    QVERIFY2(text.contains("langage=en"), text.constData());
    QVERIFY2(text.contains("alarm%20test=1"), text.constData());
    AppConfig again;
    QCOMPARE(again.language(), QStringLiteral("en"));
    QCOMPARE(again.alarmTest(), 1);
}

void TestConfigure::defaultsKeepStoredValues()
{
    {
        AppConfig c;
        c.setLanguage(QStringLiteral("cn"));
        c.setAlarmTest(0);
    }
    {
        AppConfig c;
        c.defaults();
    }
    AppConfig c;
    QCOMPARE(c.language(), QStringLiteral("cn"));
    QCOMPARE(c.alarmTest(), 0);
}

void TestConfigure::wrongTypesGiveDefaults()
{
    writeRaw("[General]\n"
             "alarm%20test=yes\n"
             "rtp%20source%20index=1.5x\n"
             "langage=en, cn\n"
             "network=42\n"
             "rtp%20server=@Variant(garbage)\n");
    AppConfig c;
    QCOMPARE(c.alarmTest(), 0);
    QCOMPARE(c.rtpSourceIndex(), 0);
    QCOMPARE(c.language(), QStringLiteral("en, cn"));
    QCOMPARE(c.network(), QStringLiteral("42"));
    c.rtpServer(); // whatever it reads, it must not crash
}

void TestConfigure::rtpFileListDropsVanishedFiles()
{
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("first song.mp3"));
    const QString second = dir.filePath(QStringLiteral("gone.mp3"));
    const QString third = dir.filePath(QString::fromUtf8("\xe7\xac\xac\xe4\xb8\x89, 3.mp3"));
    for (const QString& p : {first, second, third}) {
        QFile f(p);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    {
        AppConfig c;
        c.setRtpFileList({first, second, third});
    }
    QVERIFY(QFile::remove(second));
    {
        AppConfig c;
        QCOMPARE(c.rtpFileList(), (QStringList{first, third}));
    }
    // A directory is not a file to play.
    {
        AppConfig c;
        c.setRtpFileList({dir.path(), first});
    }
    AppConfig c;
    QCOMPARE(c.rtpFileList(), QStringList{first});
}

void TestConfigure::instancesShareTheFile()
{
    AppConfig outer;
    {
        AppConfig inner;
        inner.setNetwork(QStringLiteral("enp3s0"));
        inner.setRtpServer(QStringLiteral("239.255.0.0:6000"));
        inner.setDeviceId(QStringLiteral("alsa_output.monitor"));
        inner.setRtpSourceIndex(1);
    }
    outer.sync();
    QCOMPARE(outer.network(), QStringLiteral("enp3s0"));
    AppConfig later;
    QCOMPARE(later.rtpServer(), QStringLiteral("239.255.0.0:6000"));
    QCOMPARE(later.deviceId(), QStringLiteral("alsa_output.monitor"));
    QCOMPARE(later.rtpSourceIndex(), 1);
}

void TestConfigure::hostileFileDoesNotCrash()
{
    QByteArray junk;
    for (int i = 0; i < 4096; ++i)
        junk.append(char(i * 37));
    writeRaw(junk);
    AppConfig c;
    c.alarmTest();
    c.language();
    c.rtpFileList();
    c.defaults();
}

QTEST_GUILESS_MAIN(TestConfigure)
#include "tst_configure.moc"
