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
    void wrongTypesGiveDefaults();
    void rtpFileListDropsVanishedFiles();
    void oldConfigurationIsMovedOnce_data();
    void oldConfigurationIsMovedOnce();

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
    QCOMPARE(AppConfig::filePath(), QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) +
                                        QStringLiteral("/configure.ini"));
    AppConfig().defaults();
    QFile f(AppConfig::filePath());
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    QVERIFY2(text.contains("langage=en"), text.constData());
    QVERIFY2(text.contains("alarm%20test=1"), text.constData());
    {
        AppConfig c;
        c.setLanguage(QStringLiteral("cn"));
        c.setAlarmTest(0);
        c.defaults();
    }
    // The defaults fill gaps only.
    AppConfig again;
    QCOMPARE(again.language(), QStringLiteral("cn"));
    QCOMPARE(again.alarmTest(), 0);
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

    QByteArray junk;
    for (int i = 0; i < 4096; ++i)
        junk.append(char(i * 37));
    writeRaw(junk);
    AppConfig hostile;
    hostile.rtpFileList();
    hostile.defaults();
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
        c.setRtpFileList({first, second, dir.path(), third}); // a folder is no file to play
    }
    QVERIFY(QFile::remove(second));
    {
        AppConfig c;
        QCOMPARE(c.rtpFileList(), (QStringList{first, third}));
    }
}

void TestConfigure::oldConfigurationIsMovedOnce_data()
{
    QTest::addColumn<bool>("oldFile");
    QTest::addColumn<bool>("newFile");
    QTest::addColumn<QString>("network"); // what the new place holds afterwards
    QTest::newRow("only the old file: moved") << true << false << "old0";
    QTest::newRow("both: the new one wins, the old one stays") << true << true << "new0";
    QTest::newRow("neither") << false << false << "";
}

void TestConfigure::oldConfigurationIsMovedOnce()
{
    QFETCH(bool, oldFile);
    QFETCH(bool, newFile);
    QFETCH(QString, network);
    const QString oldDirectory =
        QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) + QStringLiteral("/configure");
    const QString oldPath = oldDirectory + QStringLiteral("/configure.ini");
    QDir(oldDirectory).removeRecursively();
    if (oldFile) {
        QVERIFY(QDir().mkpath(oldDirectory));
        QSettings(oldPath, QSettings::IniFormat).setValue(QStringLiteral("network"), QStringLiteral("old0"));
    }
    if (newFile)
        AppConfig().setNetwork(QStringLiteral("new0"));
    QCOMPARE(AppPaths::migrateOldConfiguration(), oldFile && !newFile);
    QCOMPARE(AppConfig().network(), network);
    QCOMPARE(QFile::exists(oldPath), oldFile && newFile);
    QDir(oldDirectory).removeRecursively();
}

QTEST_GUILESS_MAIN(TestConfigure)
#include "tst_configure.moc"
