#include "AddressConflicts.h"
#include "AddressProbe.h"
#include "AdapterList.h"
#include "BatchRules.h"
#include "NetNamespacePair.h"
#include "ProtocolClient.h"
#include "RawPacketSocket.h"
#include "RtpChannelSettings.h"

#include <QtTest>

using namespace orvane;

class TestBatchRules : public QObject
{
    Q_OBJECT
private slots:
    // Each rule on a text the operator typed; an empty "static" or "mac" result accepts it.
    void textRules_data()
    {
        QTest::addColumn<QString>("rule");
        QTest::addColumn<QStringList>("in");
        QTest::addColumn<QString>("out"); // "refused" stands for any reason
        const auto row = [](const char* name, const char* rule, const QStringList& in, const QString& out) {
            QTest::newRow(name) << rule << in << out;
        };
        row("address plain", "address", {"192.168.1.10"}, "valid");
        row("address leading zero", "address", {"192.168.001.10"}, "invalid");
        row("address 256", "address", {"256.1.1.1"}, "invalid");
        row("address trailing blank", "address", {"192.168.1.1 "}, "invalid");
        // Each of these took a device off the network.
        row("static holes in the mask", "static", {"192.168.1.10", "255.0.255.0", ""}, "refused");
        row("static /31", "static", {"192.168.1.10", "255.255.255.254", ""}, "refused");
        row("static network address", "static", {"192.168.1.0", "255.255.255.0", ""}, "refused");
        row("static broadcast address", "static", {"192.168.1.255", "255.255.255.0", ""}, "refused");
        row("static gateway outside", "static", {"192.168.1.10", "255.255.255.0", "192.168.2.1"}, "refused");
        row("static gateway is broadcast", "static", {"192.168.1.10", "255.255.255.0", "192.168.1.255"}, "refused");
        row("static gateway is itself", "static", {"192.168.1.10", "255.255.255.0", "192.168.1.10"}, "refused");
        row("mac colons", "mac", {"02:00:00:00:00:0a"}, "");
        row("mac dashes, upper case", "mac", {"02-00-00-00-00-0A"}, "");
        row("mac not hexadecimal", "mac", {"02:00:00:00:00:zz"}, "refused");
        row("mac mixed separators", "mac", {"02:00-00:00:00:0a"}, "refused");
        row("mac all zero", "mac", {"00:00:00:00:00:00"}, "refused");
        row("mac multicast", "mac", {"01:00:5e:00:00:01"}, "refused");
        row("next carries over a separator", "next", {"00:1a:2b:3c:4d:ff"}, "00:1a:2b:3c:4e:00");
        row("next nine becomes a", "next", {"00-11-22-33-44-59"}, "00-11-22-33-44-5a");
        row("next index 8 keeps its f", "next", {"00112233ffff"}, "00112234f000");
        // The counter has room for 31 characters; longer texts are refused, not overrun.
        row("next 31 characters", "next", {QString(31, '0')}, QString(30, '0') + "1");
        row("next 32 characters refused", "next", {QString(32, '0')}, "");
        row("digest letters", "digest", {"secret"}, "5ebe2294ecd0e0f08eab7690d2a6ee69");
        row("digest of UTF-8", "digest", {QStringLiteral("pässwörd 中文")}, "d4aa26c2851483bb603376444d6c9d04");
        row("numbered from 1", "numbered", {"Hall {n}", "2"}, "Hall 3");
        row("numbered padded", "numbered", {"Room {n:8:3}", "2"}, "Room 010");
        row("numbered not a pattern", "numbered", {"{m} {n:x}", "0"}, "{m} {n:x}");
        // A channel typed as ADDRESS:PORT, read back as the page shows it.
        row("endpoint address and port", "endpoint", {"239.0.0.1:5004"}, "239.0.0.1|5004|239.0.0.1:5004");
        row("endpoint split at the last colon", "endpoint", {"a:b:7"}, "a:b|7|a:b:7");
        row("endpoint port not a number", "endpoint", {"239.0.0.1:abc"}, "239.0.0.1|0|239.0.0.1");
        // Would otherwise reach the device as a port it cannot listen on.
        row("endpoint port above 65535", "endpoint", {"239.0.0.1:70000"}, "239.0.0.1|0|239.0.0.1");
    }
    void textRules()
    {
        QFETCH(QString, rule);
        QFETCH(QStringList, in);
        QFETCH(QString, out);
        QString got;
        if (rule == "address")
            got = BatchRules::isValidAddress(in.at(0)) ? "valid" : "invalid";
        else if (rule == "static")
            got = BatchRules::checkStaticAddress(in.at(0), in.at(1), in.at(2));
        else if (rule == "mac")
            got = BatchRules::checkMac(in.at(0));
        else if (rule == "next")
            got = BatchRules::macSuccessor(in.at(0));
        else if (rule == "digest")
            got = BatchRules::passwordDigest(in.at(0));
        else if (rule == "numbered")
            got = BatchRules::numbered(in.at(0), in.at(1).toInt());
        else {
            const RtpChannelSettings c = RtpChannelSettings::fromEndpointText(in.at(0));
            got = QStringLiteral("%1|%2|%3").arg(c.rtpIP).arg(c.rtpPort).arg(c.endpointText());
            QCOMPARE(c.enable, 1);
        }
        if (out == "refused")
            QVERIFY2(!got.isEmpty(), qPrintable(in.join(' ')));
        else
            QCOMPARE(got, out);
    }
    void consecutiveAddresses_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("netmask");
        QTest::addColumn<int>("count");
        QTest::addColumn<QStringList>("expected"); // empty: refused
        // The last byte once wrapped without a carry: .255, .0, then 198.18.9.0 again.
        QTest::newRow("carries into the next byte")
            << "198.18.9.254" << "255.255.0.0" << 3 << QStringList{"198.18.9.254", "198.18.9.255", "198.18.10.0"};
        QTest::newRow("broadcast would be next") << "192.168.1.254" << "255.255.255.0" << 2 << QStringList{};
        QTest::newRow("starts on the network address") << "192.168.1.0" << "255.255.255.0" << 1 << QStringList{};
    }
    void consecutiveAddresses()
    {
        QFETCH(QString, first);
        QFETCH(QString, netmask);
        QFETCH(int, count);
        QFETCH(QStringList, expected);
        QString error;
        QCOMPARE(BatchRules::consecutiveAddresses(first, netmask, count, &error), expected);
        QCOMPARE(error.isEmpty(), !expected.isEmpty());
    }
    // An address or MAC that another listed device holds is refused; the device's own is not a conflict.
    void conflicts()
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
    void probeFindsTheHolder()
    {
        ORVANE_REQUIRE_NETNS();
        NetNamespacePair pair;
        QVERIFY2(pair.ok(), qPrintable(pair.error()));
        QString farMac;
        {
            NetnsScope far(pair.namespaceName(NetNamespacePair::Far));
            RawPacketSocket socket;
            QVERIFY(socket.open(pair.interfaceName(NetNamespacePair::Far)));
            farMac = QString::fromLatin1(socket.mac().toHex());
        }
        NetnsScope scope(pair.namespaceName(NetNamespacePair::Near));
        const auto adapters = AdapterList::listAdapters();
        QVERIFY(adapters);
        ProtocolClient client;
        QCOMPARE(client.open(adapters->choose(pair.interfaceName(NetNamespacePair::Near))), 0);
        QVERIFY(client.waitUntilCaptureOpen(5000));

        const QString farIp = pair.address(NetNamespacePair::Far), nearIp = pair.address(NetNamespacePair::Near);
        uint32_t held = 0, unused = 0;
        QVERIFY(BatchRules::parseAddress(farIp, &held));
        QVERIFY(BatchRules::parseAddress(QStringLiteral("198.18.0.77"), &unused));
        const auto holders = AddressProbe::probe(client, {held, unused});
        QCOMPARE(holders.value(held), QSet<QString>{farMac});
        QVERIFY(!holders.contains(unused));
        // The far host's own MAC may keep its address; any other device may not, nor take the PC's.
        const AddressConflicts found = AddressConflicts::find(
            client, {{farMac, farIp}, {"02:00:00:00:00:05", farIp},
                     {"02:00:00:00:00:06", nearIp}, {"02:00:00:00:00:07", "198.18.0.78"}}, {});
        QCOMPARE(found.devices, (QStringList{"02:00:00:00:00:06", "02:00:00:00:00:05"}));
        client.close();
    }
};

QTEST_GUILESS_MAIN(TestBatchRules)
#include "tst_batchrules.moc"
