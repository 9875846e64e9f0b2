#include "EmulatedSegment.h"
#include "EmulatorFrames.h"

#include <QtTest>

using namespace orvane;

// The emulator's commands and misbehaviours are covered by the tests that run
// the program against it.
class TestEmulator : public QObject
{
    Q_OBJECT
private slots:
    void refusedOptions_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("config"); // written to CONFIG
        QTest::addColumn<QString>("message");
        QTest::newRow("no interface") << QStringList{"--devices", "1"} << QByteArray()
                                      << "--interface is required";
        QTest::newRow("negative count") << QStringList{"--interface", "x", "--devices", "-1"} << QByteArray()
                                        << "--devices needs";
        QTest::newRow("no devices") << QStringList{"--interface", "x"} << QByteArray() << "no devices";
        QTest::newRow("config not an array") << QStringList{"--interface", "x", "--config", "CONFIG"}
                                             << QByteArray(R"({"type":"ZX1"})") << "devices.json";
        QTest::newRow("misspelt misbehaviour")
            << QStringList{"--interface", "x", "--config", "CONFIG"}
            << QByteArray(R"([{"misbehave":{"slient":true}}])") << "unknown misbehaviour \"slient\"";
    }
    // A mistyped test set-up must stop the emulator, not run it with defaults.
    void refusedOptions()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, config);
        QFETCH(QString, message);
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("devices.json")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(config);
        file.close();
        QProcess emulator;
        emulator.start(EmulatedSegment::emulatorPath(),
                       args.replaceInStrings(QStringLiteral("CONFIG"), file.fileName()));
        QVERIFY(emulator.waitForFinished(10000));
        QCOMPARE(emulator.exitCode(), 1);
        const QString err = QString::fromUtf8(emulator.readAllStandardError());
        QVERIFY2(err.contains(message), qPrintable(err));
    }
};

QTEST_GUILESS_MAIN(TestEmulator)
#include "tst_emulator.moc"
