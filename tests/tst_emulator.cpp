#include "EmulatedSegment.h"
#include "EmulatorFrames.h"

#include <QtTest>

using namespace orvane;

// A short check of the emulator's own options; its commands and misbehaviours
// are covered by the tests that run the program against it.
class TestEmulator : public QObject
{
    Q_OBJECT
private slots:
    void refusedOptions_data();
    void refusedOptions();
    void overTheWire();
};

void TestEmulator::refusedOptions_data()
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
void TestEmulator::refusedOptions()
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

// The program on a real wire: configured devices first, generated ones
// numbered on after them, a full-size frame, the log, an orderly end.
void TestEmulator::overTheWire()
{
    ORVANE_REQUIRE_NETNS();
    NetNamespacePair pair;
    QVERIFY2(pair.ok(), qPrintable(pair.error()));
    EmulatedSegment segment;
    QString error;
    QVERIFY2(segment.start(pair, R"([{"name":"Big","misbehave":{"fullFrame":true}}])", 1, &error),
             qPrintable(error));

    RawPacketSocket socket;
    {
        NetnsScope scope(pair.namespaceName(NetNamespacePair::Near));
        QVERIFY(scope.ok());
        QVERIFY2(socket.open(pair.interfaceName(NetNamespacePair::Near)), qPrintable(socket.lastError()));
    }
    MacAddress nearMac;
    memcpy(nearMac.data(), socket.mac().constData(), 6);
    const QByteArray search = R"({"id":42,"method":"search","user":"Windows Dravlen"})";
    QVERIFY(socket.send(EmulatorFrames::build(nearMac, {198, 18, 0, 1}, EmulatorFrames::BroadcastMac,
                                              {255, 255, 255, 255}, search)));

    QMap<QString, QJsonObject> replies;
    QMap<QString, int> sizes;
    QElapsedTimer timer;
    timer.start();
    while (replies.size() < 2 && timer.elapsed() < 5000) {
        const QByteArray bytes = socket.receive(200);
        EmulatorFrames::Frame f;
        if (EmulatorFrames::parse(bytes, &f, nullptr) != EmulatorFrames::ParseResult::CommandFrame)
            continue;
        QVERIFY(f.ethernetDestination == nearMac);
        replies.insert(EmulatorFrames::macToText(f.senderMac), QJsonDocument::fromJson(f.text).object());
        sizes.insert(EmulatorFrames::macToText(f.senderMac), bytes.size());
    }
    QCOMPARE(QStringList(replies.keys()),
             (QStringList{EmulatedSegment::deviceMac(1), EmulatedSegment::deviceMac(2)}));
    QCOMPARE(replies.first().value("name").toString(), QStringLiteral("Big"));
    QCOMPARE(sizes.first(), 1514);
    QCOMPARE(replies.last().value("name").toString(), QStringLiteral("Device 2"));
    QCOMPARE(replies.last().value("ip").toString(), EmulatedSegment::deviceIp(2));
    QCOMPARE(replies.last().value("id"), QJsonValue(42));

    QVERIFY(segment.stop());
    const QList<ReceivedCommand> commands = segment.commands();
    QCOMPARE(commands.size(), 1);
    QCOMPARE(commands.first().destination, QStringLiteral("ff:ff:ff:ff:ff:ff"));
    QCOMPARE(commands.first().json, QJsonDocument::fromJson(search).object());
}

QTEST_GUILESS_MAIN(TestEmulator)
#include "tst_emulator.moc"
