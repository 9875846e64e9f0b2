#include "AppConfig.h"
#include "AppPaths.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace orvane;

class TestConfigure : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        // Never touch the real profile.
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setApplicationName(QStringLiteral("orvane-test"));
    }
    void init() { QFile::remove(AppConfig::filePath()); }
    void defaultsFillGapsOnly()
    {
        AppConfig().defaults();
        QCOMPARE(AppConfig().language() + QString::number(AppConfig().alarmTest()), QStringLiteral("en1"));
        AppConfig c;
        c.setLanguage(QStringLiteral("cn"));
        c.setAlarmTest(0);
        c.defaults();
        QCOMPARE(c.language() + QString::number(c.alarmTest()), QStringLiteral("cn0"));
    }
    void wrongTypesGiveDefaults()
    {
        QFile f(AppConfig::filePath());
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("[General]\nalarm%20test=yes\nrtp%20source%20index=1.5x\nlangage=en, cn\nnetwork=42\n");
        f.close();
        AppConfig c;
        QCOMPARE((QList<int>{c.alarmTest(), c.rtpSourceIndex()}), (QList<int>{0, 0}));
        // A hand-edited list reads back as its text.
        QCOMPARE(c.language() + '|' + c.network(), QStringLiteral("en, cn|42"));
    }
    void rtpFileListDropsVanishedFiles()
    {
        QTemporaryDir dir;
        const QString first = dir.filePath("first song.mp3"), second = dir.filePath("gone.mp3");
        const QString third = dir.filePath(QString::fromUtf8("\xe7\xac\xac\xe4\xb8\x89, 3.mp3"));
        for (const QString& p : {first, second, third})
            QVERIFY(QFile(p).open(QIODevice::WriteOnly));
        AppConfig().setRtpFileList({first, second, dir.path(), third}); // a folder is no file to play
        QVERIFY(QFile::remove(second));
        QCOMPARE(AppConfig().rtpFileList(), (QStringList{first, third}));
    }
    void oldConfigurationIsMovedOnce_data()
    {
        QTest::addColumn<bool>("oldFile");
        QTest::addColumn<bool>("newFile");
        QTest::addColumn<QString>("network"); // what the new place holds afterwards
        QTest::newRow("only the old file: moved") << true << false << "old0";
        QTest::newRow("both: the new one wins, the old one stays") << true << true << "new0";
    }
    void oldConfigurationIsMovedOnce()
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
};

QTEST_GUILESS_MAIN(TestConfigure)
#include "tst_configure.moc"
