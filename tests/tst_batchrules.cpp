#include "AddressConflicts.h"
#include "AddressProbe.h"
#include "AdapterList.h"
#include "BatchRules.h"
#include "NetNamespacePair.h"
#include "ProtocolClient.h"
#include "RawPacketSocket.h"

#include <QtTest>

class TestBatchRules : public QObject
{
    Q_OBJECT
private slots:
    void addressCheck_data();
    void addressCheck();
    void staticAddress_data();
    void staticAddress();
    void consecutiveAddresses_data();
    void consecutiveAddresses();
    void macCheck_data();
    void macCheck();
    void macSuccessor_data();
    void macSuccessor();
    void passwordDigest_data();
    void passwordDigest();
    void numbering_data();
    void numbering();
    void conflicts();
    void probeFindsTheHolder();
};

void TestBatchRules::addressCheck_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::newRow("plain") << "192.168.1.10" << true;
    QTest::newRow("zeros") << "0.0.0.0" << true;
    QTest::newRow("top") << "255.255.255.255" << true;
    QTest::newRow("leading zero") << "192.168.001.10" << false;
    QTest::newRow("256") << "256.1.1.1" << false;
    QTest::newRow("trailing blank") << "192.168.1.1 " << false;
    QTest::newRow("three parts") << "192.168.1" << false;
    QTest::newRow("five parts") << "1.2.3.4.5" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("letters") << "a.b.c.d" << false;
}

void TestBatchRules::addressCheck()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QCOMPARE(BatchRules::isValidAddress(text), valid);
}

void TestBatchRules::staticAddress_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("netmask");
    QTest::addColumn<QString>("gateway");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("plain") << "192.168.1.10" << "255.255.255.0" << "192.168.1.1" << true;
    QTest::newRow("no gateway") << "192.168.1.10" << "255.255.255.0" << "" << true;
    QTest::newRow("wide subnet") << "198.18.9.0" << "255.255.0.0" << "198.18.0.1" << true;
    // Each of these took a device off the network.
    QTest::newRow("holes in the mask") << "192.168.1.10" << "255.0.255.0" << "" << false;
    QTest::newRow("/32") << "192.168.1.10" << "255.255.255.255" << "" << false;
    QTest::newRow("/31") << "192.168.1.10" << "255.255.255.254" << "" << false;
    QTest::newRow("zero mask") << "192.168.1.10" << "0.0.0.0" << "" << false;
    QTest::newRow("network address") << "192.168.1.0" << "255.255.255.0" << "" << false;
    QTest::newRow("broadcast address") << "192.168.1.255" << "255.255.255.0" << "" << false;
    QTest::newRow("gateway outside") << "192.168.1.10" << "255.255.255.0" << "192.168.2.1" << false;
    QTest::newRow("gateway is broadcast") << "192.168.1.10" << "255.255.255.0" << "192.168.1.255" << false;
    QTest::newRow("gateway is itself") << "192.168.1.10" << "255.255.255.0" << "192.168.1.10" << false;
    QTest::newRow("bad gateway text") << "192.168.1.10" << "255.255.255.0" << "192.168.1" << false;
}

void TestBatchRules::staticAddress()
{
    QFETCH(QString, address);
    QFETCH(QString, netmask);
    QFETCH(QString, gateway);
    QFETCH(bool, accepted);
    const QString why = BatchRules::checkStaticAddress(address, netmask, gateway);
    QVERIFY2(why.isEmpty() == accepted, qPrintable(why));
}

void TestBatchRules::consecutiveAddresses_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("netmask");
    QTest::addColumn<int>("count");
    QTest::addColumn<QStringList>("expected"); // empty: refused
    QTest::newRow("plain") << "10.0.0.7" << "255.0.0.0" << 2 << QStringList{"10.0.0.7", "10.0.0.8"};
    // The last byte once wrapped without a carry: .255, .0, then 198.18.9.0 again.
    QTest::newRow("carries into the next byte")
        << "198.18.9.254" << "255.255.0.0" << 3 << QStringList{"198.18.9.254", "198.18.9.255", "198.18.10.0"};
    QTest::newRow("stops at the last host") << "192.168.1.253" << "255.255.255.0" << 2
                                            << QStringList{"192.168.1.253", "192.168.1.254"};
    QTest::newRow("broadcast would be next") << "192.168.1.254" << "255.255.255.0" << 2 << QStringList{};
    QTest::newRow("starts on the network address") << "192.168.1.0" << "255.255.255.0" << 1 << QStringList{};
    QTest::newRow("bad mask") << "192.168.1.5" << "255.0.255.0" << 1 << QStringList{};
}

void TestBatchRules::consecutiveAddresses()
{
    QFETCH(QString, first);
    QFETCH(QString, netmask);
    QFETCH(int, count);
    QFETCH(QStringList, expected);
    QString error;
    QCOMPARE(BatchRules::consecutiveAddresses(first, netmask, count, &error), expected);
    QCOMPARE(error.isEmpty(), !expected.isEmpty());
}

void TestBatchRules::macCheck_data()
{
    QTest::addColumn<QString>("mac");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("colons") << "02:00:00:00:00:0a" << true;
    QTest::newRow("dashes, upper case") << "02-00-00-00-00-0A" << true;
    QTest::newRow("no separators") << "02000000000a" << true;
    QTest::newRow("not hexadecimal") << "02:00:00:00:00:zz" << false;
    QTest::newRow("mixed separators") << "02:00-00:00:00:0a" << false;
    QTest::newRow("five pairs") << "02:00:00:00:0a" << false;
    QTest::newRow("all zero") << "00:00:00:00:00:00" << false;
    QTest::newRow("broadcast") << "ff:ff:ff:ff:ff:ff" << false;
    QTest::newRow("multicast") << "01:00:5e:00:00:01" << false;
    QTest::newRow("empty") << "" << false;
}

void TestBatchRules::macCheck()
{
    QFETCH(QString, mac);
    QFETCH(bool, accepted);
    QCOMPARE(BatchRules::checkMac(mac).isEmpty(), accepted);
}

void TestBatchRules::macSuccessor_data()
{
    QTest::addColumn<QString>("mac");
    QTest::addColumn<QString>("next");
    QTest::newRow("carry over separator") << "00:1a:2b:3c:4d:ff" << "00:1a:2b:3c:4e:00";
    QTest::newRow("nine becomes a") << "00-11-22-33-44-59" << "00-11-22-33-44-5a";
    QTest::newRow("capital F carries") << "00:1A:2B:3C:4D:FF" << "00:1A:2B:3C:4E:00";
    QTest::newRow("no separators, inner place skipped") << "0011223344ff" << "001122334500";
    QTest::newRow("index 8 keeps its f") << "00112233ffff" << "00112234f000";
    // The counter has room for 31 characters; longer texts are refused, not overrun.
    QTest::newRow("31 characters") << QString(31, QLatin1Char('0')) << QString(30, QLatin1Char('0')) + "1";
    QTest::newRow("32 characters refused") << QString(32, QLatin1Char('0')) << QString();
    QTest::newRow("empty") << "" << "";
}

void TestBatchRules::macSuccessor()
{
    QFETCH(QString, mac);
    QFETCH(QString, next);
    QCOMPARE(BatchRules::macSuccessor(mac), next);
}

// What a device receives instead of the typed password: never the password itself.
void TestBatchRules::passwordDigest_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("digest");
    QTest::newRow("letters") << "secret" << "5ebe2294ecd0e0f08eab7690d2a6ee69";
    QTest::newRow("beyond ASCII, digest of UTF-8") << QStringLiteral("pässwörd 中文") << "d4aa26c2851483bb603376444d6c9d04";
    QTest::newRow("blanks are kept") << " padded " << "9285e1f8d8bc60824cfef16e1f8987e2";
    QTest::newRow("a digest is hashed again") << "5f4dcc3b5aa765d61d8327deb882cf99" << "696d29e0940a4957748fe3fc9efd22a3";
    QTest::newRow("JSON characters") << R"("quote\back)" << "2a0b602915a5d609a0601b433f38cc56";
}

void TestBatchRules::passwordDigest()
{
    QFETCH(QString, password);
    QFETCH(QString, digest);
    QCOMPARE(BatchRules::passwordDigest(password), digest);
}

void TestBatchRules::numbering_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("from 1") << "Hall {n}" << QStringList{"Hall 1", "Hall 2", "Hall 3"};
    QTest::newRow("from a start") << "{n:1001}" << QStringList{"1001", "1002", "1003"};
    QTest::newRow("padded") << "Room {n:8:3}" << QStringList{"Room 008", "Room 009", "Room 010"};
    QTest::newRow("twice") << "{n}-{n:10}" << QStringList{"1-10", "2-11"};
    QTest::newRow("no pattern") << "Lobby" << QStringList{"Lobby", "Lobby"};
    QTest::newRow("not a pattern") << "{m} {n:x}" << QStringList{"{m} {n:x}"};
}

void TestBatchRules::numbering()
{
    QFETCH(QString, pattern);
    QFETCH(QStringList, expected);
    for (int i = 0; i < expected.size(); ++i)
        QCOMPARE(BatchRules::numbered(pattern, i), expected.at(i));
}

// An address or MAC that another listed device holds is refused; the device's own is not a conflict.
void TestBatchRules::conflicts()
{
    const QList<BatchRules::Holder> listed = {{"02:00:00:00:00:01", "198.18.1.1", "Hall"},
                                              {"02:00:00:00:00:02", "198.18.1.8", "Gate"}};
    QCOMPARE(BatchRules::listedConflicts({{"02:00:00:00:00:01", "198.18.1.8"}}, listed).size(), 1);
    QVERIFY(BatchRules::listedConflicts({{"02:00:00:00:00:02", "198.18.1.8"}}, listed).isEmpty());
    QCOMPARE(BatchRules::macConflicts({{"02:00:00:00:00:01", "02-00-00-00-00-02"}}, listed).size(), 1);
    QVERIFY(BatchRules::macConflicts({{"02:00:00:00:00:01", "02:00:00:00:00:01"}}, listed).isEmpty());
}

// The probe against a real host: the far namespace's kernel answers for its own
// address, nobody for a free one, and one window covers the whole batch.
void TestBatchRules::probeFindsTheHolder()
{
    ORVANE_REQUIRE_NETNS();
    NetNamespacePair pair;
    QVERIFY2(pair.ok(), qPrintable(pair.error()));
    QByteArray farMac;
    {
        NetnsScope far(pair.namespaceName(NetNamespacePair::Far));
        RawPacketSocket socket;
        QVERIFY(socket.open(pair.interfaceName(NetNamespacePair::Far)));
        farMac = socket.mac().toHex();
    }
    NetnsScope scope(pair.namespaceName(NetNamespacePair::Near));
    const auto adapters = AdapterList::listAdapters();
    QVERIFY(adapters);
    ProtocolClient client;
    QCOMPARE(client.open(adapters->choose(pair.interfaceName(NetNamespacePair::Near))), 0);
    QVERIFY(client.waitUntilCaptureOpen(5000));

    uint32_t held = 0, unused = 0;
    QVERIFY(BatchRules::parseAddress(pair.address(NetNamespacePair::Far), &held));
    QVERIFY(BatchRules::parseAddress(QStringLiteral("198.18.0.77"), &unused));
    const auto holders = AddressProbe::probe(client, {held, unused});
    QCOMPARE(holders.value(held), QSet<QString>{QString::fromLatin1(farMac)});
    QVERIFY(!holders.contains(unused));

    // The far host's own MAC may keep its address; any other device may not,
    // nor take the PC's own address.
    const QString farDevice = QString::fromLatin1(farMac);
    const AddressConflicts found = AddressConflicts::find(
        client,
        {{farDevice, pair.address(NetNamespacePair::Far)},
         {"02:00:00:00:00:05", pair.address(NetNamespacePair::Far)},
         {"02:00:00:00:00:06", pair.address(NetNamespacePair::Near)},
         {"02:00:00:00:00:07", "198.18.0.78"}},
        {});
    QCOMPARE(found.devices, (QStringList{"02:00:00:00:00:06", "02:00:00:00:00:05"}));
    client.close();
}

QTEST_GUILESS_MAIN(TestBatchRules)
#include "tst_batchrules.moc"
