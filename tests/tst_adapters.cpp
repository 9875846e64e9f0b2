#include "NetNamespacePair.h"
#include "AdapterList.h"
#include "RawPacketSocket.h"

#include <QtTest>

using namespace orvane;

namespace {
std::unique_ptr<Adapter> adapter(const QString& entry) // "name ip"
{
    std::unique_ptr<Adapter> a(new Adapter);
    Adapter::setText(a->pcapName, entry.section(' ', 0, 0).toUtf8().constData());
    AdapterList::parseDotted(entry.section(' ', 1).toUtf8().constData(), a->ip);
    return a;
}
} // namespace

class TestAdapters : public QObject
{
    Q_OBJECT
private slots:
    void chooseRule_data()
    {
        QTest::addColumn<QStringList>("adapters"); // "name ip"
        QTest::addColumn<QString>("remembered");
        QTest::addColumn<QString>("chosen");
        QTest::newRow("third octet below 31 beats list order")
            << QStringList{"a 10.0.0.5", "b 192.168.50.2", "c 192.168.1.9"} << "" << "c";
        QTest::newRow("any 192.168 beats the first") << QStringList{"a 10.0.0.5", "b 192.168.50.2"} << "" << "b";
        QTest::newRow("else the first") << QStringList{"a 10.0.0.5", "b 172.16.0.1"} << "" << "a";
        QTest::newRow("remembered wins") << QStringList{"a 192.168.1.2", "b 10.0.0.1"} << "b" << "b";
        QTest::newRow("remembered is exact") << QStringList{"a 192.168.1.2", "eth0 10.0.0.1"} << "ETH0" << "a";
        QTest::newRow("30 is below 31, 31 is not") << QStringList{"a 192.168.31.1", "b 192.168.30.1"} << "" << "b";
        // An address that does not parse whole is none, not its first numbers.
        QTest::newRow("no address")
            << QStringList{"a -", "b 192.168.1.9x", "c 192.168.300.1", "d 192.168.1"} << "" << "a";
        QTest::newRow("empty list") << QStringList{} << "x" << "";
    }
    void chooseRule()
    {
        QFETCH(QStringList, adapters);
        QFETCH(QString, remembered);
        QFETCH(QString, chosen);
        AdapterList list;
        for (const QString& entry : adapters)
            list.append(adapter(entry));
        const Adapter* a = list.choose(remembered);
        QCOMPARE(a ? QString::fromUtf8(a->pcapName) : QString(), chosen);
    }
    void listsTheNamespaceEthernetOnly()
    {
        ORVANE_REQUIRE_NETNS();
        NetNamespacePair pair;
        QVERIFY2(pair.ok(), qPrintable(pair.error()));
        QVERIFY(pair.ip(NetNamespacePair::Near, {"route", "add", "default", "via", "198.18.0.2"}));
        // A second Ethernet interface without any IPv4 address is listed too.
        QVERIFY(pair.ip(NetNamespacePair::Near, {"link", "add", "orvbare", "type", "veth", "peer", "name", "orvbarp"}));

        QByteArray mac;
        const auto list = pair.runIn(NetNamespacePair::Near, [&] {
            RawPacketSocket s;
            if (s.open(pair.interfaceName(NetNamespacePair::Near)))
                mac = s.mac();
            return std::shared_ptr<AdapterList>(AdapterList::listAdapters().release());
        });
        QVERIFY(list);
        QStringList names;
        for (int i = 0; i < list->size(); ++i)
            names << QString::fromUtf8(list->at(i)->pcapName);
        names.sort();
        QCOMPARE(names, (QStringList{"orvbare", "orvbarp", "orvnear"}));

        const Adapter* near = list->choose(QStringLiteral("orvnear"));
        QVERIFY(strlen(near->description) > 0);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(near->address), 6), mac);
        QCOMPARE(AdapterList::dotted(near->ip), QStringLiteral("198.18.0.1"));
        QCOMPARE(AdapterList::dotted(near->mask), QStringLiteral("255.255.255.0"));
        QCOMPARE(AdapterList::dotted(near->gateway), QStringLiteral("198.18.0.2"));
        const Adapter* bare = list->choose(QStringLiteral("orvbare"));
        QCOMPARE(AdapterList::dotted(bare->ip), QStringLiteral("0.0.0.0"));
    }
};

QTEST_GUILESS_MAIN(TestAdapters)
#include "tst_adapters.moc"
