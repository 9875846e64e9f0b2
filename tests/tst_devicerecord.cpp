#include "DeviceRecord.h"
#include "DeviceReply.h"
#include "RtpChannelSettings.h"
#include "SipAccountSettings.h"

#include <QtTest>
#include <algorithm>
#include <atomic>
#include <cjson/cJSON.h>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

namespace {
const uint8_t ReplyMac[6] = {0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e};
const uint8_t ReplyIp[4] = {10, 0, 0, 5};

std::unique_ptr<DeviceReply> reply(const char* text)
{
    return std::make_unique<DeviceReply>(ReplyMac, ReplyIp, text);
}

struct DeviceRef
{
    explicit DeviceRef(DeviceRecord* d) : device(d) {}
    ~DeviceRef()
    {
        if (device)
            device->release();
    }
    DeviceRecord* operator->() const { return device; }
    DeviceRecord* device;
};

QByteArray macOf(const DeviceRecord* device)
{
    uint8_t mac[6];
    device->macBytes(mac);
    return QByteArray(reinterpret_cast<const char*>(mac), 6).toHex();
}

QByteArray ipOf(const DeviceRecord* device)
{
    uint8_t ip[4];
    device->ipBytes(ip);
    return QByteArray(reinterpret_cast<const char*>(ip), 4).toHex();
}

} // namespace

class TestDeviceRecord : public QObject
{
    Q_OBJECT
private slots:
    void searchReplyBecomesRecord();
    void members_data();
    void members();
    void notASearchReply_data();
    void notASearchReply();
    void replyId_data();
    void replyId();
    void setMacText_data();
    void setMacText();
    void sipReadJson();
    void sipTextEscapesAndParsesBack();
    void rtpReadJson();
    void readersNeverSeeHalfWrittenTexts();
    void referencesAcrossThreads();
};

void TestDeviceRecord::searchReplyBecomesRecord()
{
    auto r = reply(
        "{\"id\":0,\"method\":\"search\",\"name\":\"Hall\",\"sIp\":\"10.0.0.7\",\"appVersion\":\"2.1\"}");
    DeviceRef d(DeviceRecord::makeDevice(r.get()));
    QVERIFY(d.device);
    QCOMPARE(d->references(), 1u);
    QVERIFY(!d->isChecked());
    QCOMPARE(d->name(), QStringLiteral("Hall"));
    QCOMPARE(d->ip(), QStringLiteral("10.0.0.7"));
    QCOMPARE(d->version(), QStringLiteral("2.1"));
    QCOMPARE(d->mac(), QStringLiteral("00:1a:2b:3c:4d:5e"));
    // Commands go where the answer came from, not to the address the device reports.
    QCOMPARE(ipOf(d.device), QByteArray("0a000005"));
    QCOMPARE(macOf(d.device), QByteArray("001a2b3c4d5e"));
    QCOMPARE(d->value("id"), QStringLiteral("0"));
    QCOMPARE(d->value("method"), QStringLiteral("search"));
    QVERIFY(d->hasMac());
}

void TestDeviceRecord::members_data()
{
    QTest::addColumn<QByteArray>("members");
    QTest::addColumn<QString>("key");      // a field name, others:<key>, or claimed
    QTest::addColumn<QString>("expected"); // "<absent>" for a key missing from others
    const auto row = [](const char* name, const char* members, const char* key, const QString& expected) {
        QTest::newRow(name) << QByteArray(members) << QString(key) << expected;
    };
    row("number to text", R"("micVolume":7)", "others:micVolume", "7");
    row("negative number", R"("outVolume":-3)", "others:outVolume", "-3");
    row("true skipped", R"("autoMute":true)", "others:autoMute", "<absent>");
    row("null skipped", R"("uid":null)", "uid", "");
    row("object skipped", R"("x":{"a":1})", "others:x", "<absent>");
    row("array skipped", R"("x":[1,2])", "others:x", "<absent>");
    // Not the largest int, and not the whole part: a number that is none.
    row("huge number skipped", R"("n":1e300)", "others:n", "<absent>");
    row("fraction skipped", R"("n":0.9)", "others:n", "<absent>");
    row("Name goes to others", R"("Name":"Gate")", "others:Name", "Gate");
    row("Name leaves name", R"("Name":"Gate")", "name", "");
    row("later type wins", R"("deviceType":"KM41","type":"VQLX63")", "type", "VQLX63");
    row("IpMode", R"("IpMode":"dhcp")", "ipMode", "dhcp");
    row("ip then sIp", R"("ip":"1.1.1.1","sIp":"2.2.2.2")", "ip", "2.2.2.2");
    row("sIp then ip", R"("sIp":"2.2.2.2","ip":"1.1.1.1")", "ip", "1.1.1.1");
    row("utf-8", "\"name\":\"Halle S\xc3\xbc" "d\"", "name", QString::fromUtf8("Halle S\xc3\xbc" "d"));
    row("escaped quote", R"("name":"a\"b")", "name", "a\"b");
    // The device is the frame's sender; a text naming another MAC is kept as a claim only.
    row("mac naming another device", R"("mac":"AA:BB:CC:DD:EE:FF")", "mac", "00:1a:2b:3c:4d:5e");
    row("claim kept", R"("mac":"AA:BB:CC:DD:EE:FF")", "claimed", "AA:BB:CC:DD:EE:FF");
    row("unreadable mac is a claim", R"("mac":"none")", "claimed", "none");
    row("own mac written otherwise", R"("mac":"00-1A-2B-3C-4D-5E")", "claimed", "");
}

void TestDeviceRecord::members()
{
    QFETCH(QByteArray, members);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    const QByteArray text = "{\"id\":1,\"method\":\"search\"," + members + "}";
    auto r = reply(text.constData());
    DeviceRef d(DeviceRecord::makeDevice(r.get()));
    QVERIFY(d.device);
    if (key.startsWith("others:")) {
        const QString name = key.mid(7);
        if (expected == "<absent>")
            QVERIFY(!d->others().contains(name));
        else
            QCOMPARE(d->value(name), expected);
        return;
    }
    const QMap<QString, QString> fields{{"name", d->name()}, {"uid", d->uid()},   {"type", d->type()},
                                        {"ipMode", d->ipMode()}, {"ip", d->ip()},     {"mac", d->mac()},
                                        {"claimed", d->claimedMac()}};
    QCOMPARE(macOf(d.device), QByteArray("001a2b3c4d5e"));
    QVERIFY(fields.contains(key));
    QCOMPARE(fields.value(key), expected);
}

void TestDeviceRecord::notASearchReply_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("capitalised method") << QByteArray("{\"id\":0,\"method\":\"Search\"}");
    QTest::newRow("other method") << QByteArray("{\"id\":0,\"method\":\"SetName\",\"result\":\"success\"}");
    QTest::newRow("no method") << QByteArray("{\"id\":0,\"name\":\"Hall\"}");
    QTest::newRow("method not text") << QByteArray("{\"id\":0,\"method\":1}");
    QTest::newRow("broken json") << QByteArray("{\"id\":0,\"method\":\"search\"");
    QTest::newRow("array") << QByteArray("[{\"method\":\"search\"}]");
    QTest::newRow("empty") << QByteArray("");
}

void TestDeviceRecord::notASearchReply()
{
    QFETCH(QByteArray, text);
    auto r = reply(text.constData());
    QVERIFY(!DeviceRecord::makeDevice(r.get()));
    QVERIFY(!DeviceRecord::makeDevice(nullptr));
}

void TestDeviceRecord::replyId_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("id");
    QTest::addColumn<bool>("hasId");
    QTest::newRow("number") << QByteArray(R"({"id":5})") << 5 << true;
    QTest::newRow("string with blanks") << QByteArray(R"({"id":" 5 "})") << 5 << true;
    QTest::newRow("key in capitals") << QByteArray(R"({"ID":5})") << 5 << true;
    QTest::newRow("negative") << QByteArray(R"({"id":-1})") << -1 << true;
    // Each of these once answered a command it did not belong to.
    QTest::newRow("fraction") << QByteArray(R"({"id":0.9})") << -1 << false;
    QTest::newRow("out of range") << QByteArray(R"({"id":1e400})") << -1 << false;
    QTest::newRow("below range") << QByteArray(R"({"id":-1e400})") << -1 << false;
    QTest::newRow("string fraction") << QByteArray(R"({"id":"0.9"})") << -1 << false;
    QTest::newRow("string with tail") << QByteArray(R"({"id":"12abc"})") << -1 << false;
    QTest::newRow("string too large") << QByteArray(R"({"id":"99999999999"})") << -1 << false;
    QTest::newRow("string not a number") << QByteArray(R"({"id":"five"})") << -1 << false;
    QTest::newRow("bool") << QByteArray(R"({"id":true})") << -1 << false;
    QTest::newRow("missing") << QByteArray(R"({"result":"success"})") << -1 << false;
    QTest::newRow("broken json") << QByteArray(R"({"id":5)") << -1 << false;
    QTest::newRow("duplicate id") << QByteArray(R"({"id":5,"id":6})") << -1 << false;
    QTest::newRow("duplicate in any case") << QByteArray(R"({"id":5,"mac":"a","MAC":"b"})") << -1 << false;
    QTest::newRow("duplicate deeper") << QByteArray(R"({"id":5,"sip0":{"password":"a","Password":"b"}})")
                                      << -1 << false;
    QTest::newRow("same key in two objects") << QByteArray(R"({"id":5,"a":{"k":1},"b":{"k":2}})") << 5 << true;
}

void TestDeviceRecord::replyId()
{
    QFETCH(QByteArray, text);
    QFETCH(int, id);
    QFETCH(bool, hasId);
    auto r = reply(text.constData());
    QCOMPARE(r->id(), id);
    QCOMPARE(r->hasId(), hasId);
    // A reply without a readable id must not answer the command printed as -1.
    QCOMPARE(r->answers(0xffffffffu), hasId && id == -1);
    QCOMPARE(r->hasDuplicateKeys(), QByteArray(QTest::currentDataTag()).startsWith("duplicate"));
}

void TestDeviceRecord::setMacText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("mac"); // hex; the old MAC when the text is refused
    const QByteArray old("001a2b3c4d5e");
    QTest::newRow("dashes, capitals") << "00-1A-2B-3C-4D-5E" << QByteArray("001a2b3c4d5e");
    QTest::newRow("colons") << "02:1a:2b:3c:4d:5f" << QByteArray("021a2b3c4d5f");
    QTest::newRow("any separator") << "02 1a.2b_3c:4d/60" << QByteArray("021a2b3c4d60");
    QTest::newRow("single digits") << "1:2:3:4:5:6" << QByteArray("010203040506");
    QTest::newRow("low byte kept") << "102:1a:2b:3c:4d:5e" << QByteArray("021a2b3c4d5e");
    QTest::newRow("overlong number") << "ffffffffffffffffffff01:1:2:3:4:5" << QByteArray("010102030405");
    QTest::newRow("no separators") << "001A2B3C4D5E" << old;
    QTest::newRow("five numbers") << "02:1a:2b:3c:4d" << old;
    QTest::newRow("two separators") << "02::1a:2b:3c:4d:5e" << old;
    QTest::newRow("not hex") << "zz:1a:2b:3c:4d:5e" << old;
    QTest::newRow("empty") << "" << old;
}

void TestDeviceRecord::setMacText()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, mac);
    DeviceRef d(DeviceRecord::create());
    d->setMacBytes(ReplyMac);
    d->setMacText(text);
    QCOMPARE(macOf(d.device), mac);
    // Only the binary address changes; the table keeps showing the old text.
    QCOMPARE(d->mac(), QStringLiteral("00:1a:2b:3c:4d:5e"));
}

void TestDeviceRecord::sipReadJson()
{
    cJSON* object = cJSON_Parse("{\"SERVERHOST\":\"h\",\"serverPort\":5060,\"account\":\"101\","
                                "\"password\":\"pw\",\"displayName\":null}");
    SipAccountSettings s;
    s.displayName = "old";
    QVERIFY(s.readJson(object));
    QCOMPARE(s.serverHost, QStringLiteral("h"));
    QCOMPARE(s.serverPort, QString()); // a number where a string belongs
    QCOMPARE(s.account, QStringLiteral("101"));
    QCOMPARE(s.password, QStringLiteral("pw"));
    QCOMPARE(s.displayName, QString());
    cJSON_Delete(object);

    // Without an object the record keeps what it had.
    QVERIFY(!s.readJson(nullptr));
    QCOMPARE(s.account, QStringLiteral("101"));
}

void TestDeviceRecord::sipTextEscapesAndParsesBack()
{
    SipAccountSettings s;
    s.serverHost = "10.0.0.1";
    s.serverPort = "5060";
    s.account = "101";
    s.password = "p\"w\\d\n\x01";
    s.displayName = QString::fromUtf8("S\xc3\xbc"
                                      "d");
    QCOMPARE(SipAccountSettings().toText(),
             QByteArray("{\"serverHost\" : \"\",\"serverPort\" : \"\", \"account\" : \"\","
                        "\"password\" : \"\",\"displayName\" : \"\"}"));
    cJSON* parsed = cJSON_Parse(s.toText().constData());
    QVERIFY(parsed);
    SipAccountSettings back;
    QVERIFY(back.readJson(parsed));
    cJSON_Delete(parsed);
    QVERIFY(back == s);
}

void TestDeviceRecord::rtpReadJson()
{
    RtpChannelSettings r(1, "239.0.0.9", 9);
    cJSON* object = cJSON_Parse("{\"ENABLE\":1,\"rtpIP\":239,\"rtpPort\":5004}");
    r.readJson(object);
    cJSON_Delete(object);
    QCOMPARE(r, RtpChannelSettings(1, QString(), 5004));
    object = cJSON_Parse(R"({"enable":1.5,"rtpIP":"239.0.0.1","rtpPort":1e400})");
    r.readJson(object);
    cJSON_Delete(object);
    QCOMPARE(r, RtpChannelSettings(0, "239.0.0.1", 0)); // not 2147483647
    r.readJson(nullptr);
    QCOMPARE(r, RtpChannelSettings());
}

// The table paints records while a job's worker rewrites them.
void TestDeviceRecord::readersNeverSeeHalfWrittenTexts()
{
    DeviceRef d(DeviceRecord::create());
    const QString first = QString(200, QChar('a'));
    const QString second = QString(300, QChar('b'));
    const uint8_t ipA[4] = {10, 0, 0, 1};
    const uint8_t ipB[4] = {192, 168, 100, 200};
    d->setName(first);
    d->setValue("account", first);
    d->setIpBytes(ipA);
    std::atomic<bool> stop{false};
    std::atomic<int> torn{0};
    std::thread writer([&] {
        for (int i = 0; i < 20000; ++i) {
            const QString& v = (i & 1) ? second : first;
            d->setName(v);
            d->setValue("account", v);
            d->setValue(QString::number(i % 50), v);
            d->setIpBytes((i & 1) ? ipB : ipA);
            d->setField("sIp", v);
        }
        stop = true;
    });
    auto reader = [&] {
        while (!stop) {
            const QString n = d->name();
            const QString a = d->account();
            const QMap<QString, QString> others = d->others();
            uint8_t ip[4];
            d->ipBytes(ip);
            const bool ipWhole = (ip[0] == 10 && ip[3] == 1) || (ip[0] == 192 && ip[3] == 200);
            if ((n != first && n != second) || (a != first && a != second) || !ipWhole)
                ++torn;
            DeviceRecord::nameAsc(d.device, d.device);
        }
    };
    std::thread r1(reader);
    std::thread r2(reader);
    writer.join();
    r1.join();
    r2.join();
    QCOMPARE(torn.load(), 0);
}

void TestDeviceRecord::referencesAcrossThreads()
{
    DeviceRecord* d = DeviceRecord::create();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        d->retain();
        threads.emplace_back([d] {
            for (int i = 0; i < 10000; ++i) {
                d->retain();
                d->setChecked(i & 1);
                d->release();
            }
            d->release();
        });
    }
    for (std::thread& t : threads)
        t.join();
    QCOMPARE(d->references(), 1u);
    d->release(); // the last holder frees it; ASan reports a leak or a double free
}

QTEST_GUILESS_MAIN(TestDeviceRecord)
#include "tst_devicerecord.moc"
