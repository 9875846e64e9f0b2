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
        QTest::newRow("web port") << QStringList{"--interface", "x", "--devices", "1", "--web-port", "0"}
                                  << QByteArray() << "--web-port needs";
        QTest::newRow("no config file") << QStringList{"--interface", "x", "--config", "/nonexistent"}
                                        << QByteArray() << "cannot read /nonexistent";
        QTest::newRow("log not writable") << QStringList{"--interface", "x", "--devices", "1", "--log", "/"}
                                          << QByteArray() << "cannot write /";
        const auto config = [](const char* name, const char* devices, const char* message) {
            QTest::newRow(name) << QStringList{"--interface", "x", "--config", "CONFIG"} << QByteArray(devices)
                                << QString(message);
        };
        config("config not an array", R"({"type":"ZX1"})", "devices.json");
        config("device not an object", "[1]", "device 1 is not a JSON object");
        config("misspelt misbehaviour", R"([{"misbehave":{"slient":true}}])", "unknown misbehaviour \"slient\"");
        config("misbehave not an object", R"([{"misbehave":1}])", "\"misbehave\" is not an object");
        config("negative delay", R"([{"misbehave":{"delayMs":-1}}])", "\"delayMs\" is not a number of 0 or more");
        config("login reply", R"([{"misbehave":{"loginReply":1}}])", "\"loginReply\" is not a text");
        config("flag not a bool", R"([{"misbehave":{"silent":1}}])", "\"silent\" is not true or false");
        config("name not a text", R"([{"name":1}])", "\"name\" is not a text");
        config("volume not a number", R"([{"micVolume":"5"}])", "\"micVolume\" is not a number");
        config("bad mac", R"([{"mac":"02:00"}])", "\"mac\" is not a MAC address");
        config("bad ip", R"([{"ip":"1.2.3"}])", "\"ip\" is not an IPv4 address");
        config("sip", R"([{"sip0":{}}])", "\"sip0\" needs the texts");
        config("rtp", R"([{"rtp3":{"enable":"1"}}])", "\"rtp3\" needs enable");
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
