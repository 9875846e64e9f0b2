#include "EmulatedDevice.h"
#include "Emulator.h"
#include "EmulatorFrames.h"
#include "NetNamespacePair.h"
#include "RawPacketSocket.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const MacAddress AskerMac = {0x02, 0xaa, 0xbb, 0xcc, 0xdd, 0x01};
const Ipv4Address AskerIp = {198, 18, 0, 1};
const MacAddress FirstMac = {0x02, 0x00, 0x00, 0x00, 0x00, 0x01};
const MacAddress SecondMac = {0x02, 0x00, 0x00, 0x00, 0x00, 0x02};

// Read with Qt's parser, so a fault of the emulator's cJSON use is not mirrored.
QJsonObject parsed(const QByteArray& text)
{
    return QJsonDocument::fromJson(text).object();
}

QByteArray searchText(int id)
{
    return QByteArray("{\"id\":") + QByteArray::number(id) +
           ",\"method\":\"search\",\"user\":\"Windows Dravlen\"}";
}

QByteArray commandText(int id, const char* method, const QByteArray& members = QByteArray())
{
    QByteArray text = "{\"id\":" + QByteArray::number(id) + ",\"method\":\"" + method + '"';
    if (!members.isEmpty())
        text += ',' + members;
    return text + '}';
}

// The only reply of a device to one command; empty when there is not exactly one.
QJsonObject onlyReply(EmulatedDevice& device, const QByteArray& text)
{
    const CommandOutcome outcome = device.handle(text, false);
    if (outcome.replies.size() != 1)
        return QJsonObject();
    return parsed(outcome.replies.first().text);
}

QJsonObject search(EmulatedDevice& device)
{
    return onlyReply(device, searchText(900));
}

EmulatedDevice configured(const QByteArray& json)
{
    QVector<EmulatedDevice> devices;
    QString error;
    if (!EmulatedDevice::fromConfig(json, 1, &devices, &error) || devices.size() != 1)
        qWarning("configuration rejected: %s", qPrintable(error));
    return devices.value(0);
}

// An Emulator whose replies and log lines land in lists instead of a socket.
struct Bench
{
    Emulator emulator;
    QList<QByteArray> frames;
    QList<QByteArray> lines;

    explicit Bench(int devices)
    {
        for (int i = 1; i <= devices; ++i)
            emulator.addDevice(EmulatedDevice::generated(i));
        emulator.setFrameSink([this](const QByteArray& f) { frames.append(f); });
        emulator.setLogSink([this](const QByteArray& l) { lines.append(l); });
    }
    void send(const MacAddress& to, const QByteArray& text)
    {
        const Ipv4Address ip =
            to == EmulatorFrames::BroadcastMac ? Ipv4Address{255, 255, 255, 255} : Ipv4Address{198, 18, 1, 1};
        emulator.handleFrame(EmulatorFrames::build(AskerMac, AskerIp, to, ip, text));
    }
    EmulatorFrames::Frame frame(int i) const
    {
        EmulatorFrames::Frame f;
        EmulatorFrames::parse(frames.value(i), &f, nullptr);
        return f;
    }
    QList<QByteArray> commandLines() const
    {
        QList<QByteArray> out;
        for (const QByteArray& l : lines) {
            if (!l.startsWith('#'))
                out.append(l);
        }
        return out;
    }
};

} // namespace

Q_DECLARE_METATYPE(EmulatorFrames::ParseResult)

class TestEmulator : public QObject
{
    Q_OBJECT
private slots:
    void frameLayout_data();
    void frameLayout();
    void frameRecognition_data();
    void frameRecognition();
    void addressTexts_data();
    void addressTexts();

    void setThenSearch_data();
    void setThenSearch();
    void sipRoundTrip();
    void rtpRoundTrip();
    void rejectedCommands_data();
    void rejectedCommands();
    void ignoredCommands_data();
    void ignoredCommands();
    void resetDefaultRestoresInitialState();
    void misbehaviour_data();
    void misbehaviour();
    void configuration_data();
    void configuration();

    void repliesGoToTheAsker();
    void setMacMovesTheDevice();
    void arpTargetAloneAddresses();
    void badFrameIsLoggedNotAnswered();
    void lateDeviceHoldsUpNoOther();

    void overTheWire();
};

void TestEmulator::frameLayout_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("header");
    QTest::newRow("empty") << QByteArray() << QByteArray::fromHex("888801001200000000000000120000000012");
    QTest::newRow("50 bytes") << QByteArray(50, 'x')
                              << QByteArray::fromHex("888801004400000000000000440000000044");
}

// Guards the emulator's own byte layout, on which every wire test relies.
void TestEmulator::frameLayout()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, header);
    const QByteArray frame = EmulatorFrames::build(AskerMac, AskerIp, FirstMac, {198, 18, 1, 1}, text);
    QCOMPARE(frame.size(), 60 + text.size());
    QCOMPARE(frame.mid(42, 18).toHex(), header.toHex());
    QCOMPARE(frame.mid(12, 10).toHex(), QByteArray("0806000108000604"
                                                   "0001"));
    QCOMPARE(frame.mid(0, 6), QByteArray(reinterpret_cast<const char*>(FirstMac.data()), 6));
    QCOMPARE(frame.mid(32, 6), frame.mid(0, 6));
    QCOMPARE(frame.mid(22, 6), frame.mid(6, 6));
    QCOMPARE(frame.mid(28, 4).toHex(), QByteArray("c6120001"));
    QCOMPARE(frame.mid(38, 4).toHex(), QByteArray("c6120101"));

    EmulatorFrames::Frame f;
    QCOMPARE(EmulatorFrames::parse(frame, &f, nullptr), EmulatorFrames::ParseResult::CommandFrame);
    QCOMPARE(f.text, text);
    QVERIFY(f.senderMac == AskerMac);
    QVERIFY(f.senderIp == AskerIp);
    QVERIFY(f.targetMac == FirstMac);
}

void TestEmulator::frameRecognition_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("textLength");
    QTest::addColumn<EmulatorFrames::ParseResult>("expected");
    using R = EmulatorFrames::ParseResult;
    QTest::newRow("intact") << -1 << QByteArray() << 10 << R::CommandFrame;
    QTest::newRow("full 1514-byte frame") << -1 << QByteArray() << 1454 << R::CommandFrame;
    QTest::newRow("1515 bytes") << -1 << QByteArray() << 1455 << R::Malformed;
    QTest::newRow("standard ARP padding") << 42 << QByteArray::fromHex("0000") << 10 << R::NotCommandFrame;
    QTest::newRow("IPv4 frame") << 12 << QByteArray::fromHex("0800") << 10 << R::NotCommandFrame;
    QTest::newRow("ARP reply") << 20 << QByteArray::fromHex("0002") << 10 << R::Malformed;
    QTest::newRow("hardware type") << 14 << QByteArray::fromHex("0006") << 10 << R::Malformed;
    QTest::newRow("header byte 2") << 44 << QByteArray::fromHex("02") << 10 << R::Malformed;
    QTest::newRow("first length") << 45 << QByteArray::fromHex("001b") << 10 << R::Malformed;
    QTest::newRow("zero word") << 47 << QByteArray::fromHex("00000001") << 10 << R::Malformed;
    QTest::newRow("second length") << 51 << QByteArray::fromHex("0000001b") << 10 << R::Malformed;
    QTest::newRow("third length") << 58 << QByteArray::fromHex("001b") << 10 << R::Malformed;
    QTest::newRow("zero byte in text") << 65 << QByteArray(1, '\0') << 10 << R::Malformed;
}

// A program that miscounts one length field must not be answered as if all were well.
void TestEmulator::frameRecognition()
{
    QFETCH(int, offset);
    QFETCH(QByteArray, bytes);
    QFETCH(int, textLength);
    QFETCH(EmulatorFrames::ParseResult, expected);
    QByteArray frame =
        EmulatorFrames::build(AskerMac, AskerIp, FirstMac, {198, 18, 1, 1}, QByteArray(textLength, 'a'));
    if (offset >= 0)
        frame.replace(offset, bytes.size(), bytes);
    QString problem;
    QCOMPARE(EmulatorFrames::parse(frame, nullptr, &problem), expected);
    QCOMPARE(problem.isEmpty(), expected != EmulatorFrames::ParseResult::Malformed);
}

void TestEmulator::addressTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("isMac");
    QTest::addColumn<QString>("macText");
    QTest::newRow("colons") << "00:1a:2b:3c:4d:5e" << true << "00:1a:2b:3c:4d:5e";
    QTest::newRow("dashes, capitals") << "00-1A-2B-3C-4D-5E" << true << "00:1a:2b:3c:4d:5e";
    QTest::newRow("no separators") << "001A2B3C4D5E" << false << "";
    QTest::newRow("five pairs") << "00:1a:2b:3c:4d" << false << "";
    QTest::newRow("trailing blank") << "00:1a:2b:3c:4d:5e " << false << "";
}

void TestEmulator::addressTexts()
{
    QFETCH(QString, text);
    QFETCH(bool, isMac);
    QFETCH(QString, macText);
    MacAddress mac{};
    QCOMPARE(EmulatorFrames::macFromText(text, &mac), isMac);
    if (isMac)
        QCOMPARE(EmulatorFrames::macToText(mac), macText);
    Ipv4Address ip{};
    QVERIFY(EmulatorFrames::ipFromText(QStringLiteral("198.18.1.255"), &ip));
    QCOMPARE(EmulatorFrames::ipToText(ip), QStringLiteral("198.18.1.255"));
    QVERIFY(!EmulatorFrames::ipFromText(QStringLiteral("256.1.1.1"), &ip));
    QVERIFY(!EmulatorFrames::ipFromText(QStringLiteral("1.2.3"), &ip));
}

void TestEmulator::setThenSearch_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QJsonValue>("value");
    // The command texts are those the program sends, blanks included.
    QTest::newRow("SetName") << QByteArray(R"({"id":1,"method":"SetName","name":"Hall 2"})") << "name"
                             << QJsonValue("Hall 2");
    QTest::newRow("SetName UTF-8") << QByteArray(R"({"id":1,"method":"SetName","name":"Halle \u00c4 Süd"})")
                                   << "name" << QJsonValue(QStringLiteral("Halle \u00c4 Süd"));
    const QByteArray staticIp =
        R"({"id":2,"method":"SetIp","IpMode":"static","ip":"198.18.7.9","gateway":"198.18.7.1",)"
        R"("netmask":"255.255.255.0","dns1":"198.18.7.2","dns2":""})";
    QTest::newRow("SetIp static ip") << staticIp << "ip" << QJsonValue("198.18.7.9");
    QTest::newRow("SetIp static gateway") << staticIp << "gateway" << QJsonValue("198.18.7.1");
    QTest::newRow("SetIp static netmask") << staticIp << "netmask" << QJsonValue("255.255.255.0");
    QTest::newRow("SetIp static dns1") << staticIp << "dns1" << QJsonValue("198.18.7.2");
    QTest::newRow("SetIp dhcp") << QByteArray(R"({"id":3,"method":"SetIp","IpMode":"dhcp"})") << "ipMode"
                                << QJsonValue("dhcp");
    QTest::newRow("SetSN") << QByteArray(R"({"id":4,"method":"SetSN","sn":"X-77"})") << "sn"
                           << QJsonValue("X-77");
    QTest::newRow("SetMac") << QByteArray(R"({"id":5,"method":"SetMac","mac":"02-00-00-00-AB-CD"})") << "mac"
                            << QJsonValue("02:00:00:00:ab:cd");
    const QByteArray volume =
        R"({"id":6,"method":"SetDeviceVolume", "micVolume":3, "outVolume":9, "autoMute":1})";
    QTest::newRow("SetDeviceVolume mic") << volume << "micVolume" << QJsonValue(3);
    QTest::newRow("SetDeviceVolume out") << volume << "outVolume" << QJsonValue(9);
    QTest::newRow("SetDeviceVolume mute") << volume << "autoMute" << QJsonValue(1);
    const QByteArray account =
        R"({"id":7,"method":"SetAccountPassword", "account":"op", "password":"s3cret"})";
    QTest::newRow("SetAccountPassword account") << account << "account" << QJsonValue("op");
    QTest::newRow("SetAccountPassword password") << account << "password" << QJsonValue("s3cret");
    const QByteArray server = R"({"id":8,"method":"SetServer","serverIp":"198.18.9.9","serverPort":8080})";
    QTest::newRow("SetServer host") << server << "serverIp" << QJsonValue("198.18.9.9");
    QTest::newRow("SetServer port") << server << "serverPort" << QJsonValue(8080);
    const QByteArray info =
        R"({"id":9,"method":"SetDeviceInfo","areaCode":"A1","number":"17","name":"Gate",)"
        R"("powerLevel":2,"resourceTypeSequenceCode":"r1","resourceSonTypeSequenceCode":"r2",)"
        R"("resourceTypeCode":"r3","resourceSonTypeCode":"r4"})";
    QTest::newRow("SetDeviceInfo name") << info << "name" << QJsonValue("Gate");
    QTest::newRow("SetDeviceInfo area") << info << "areaCode" << QJsonValue("A1");
    QTest::newRow("SetDeviceInfo power") << info << "powerLevel" << QJsonValue(2);
}

// A set command that answers success but leaves the state alone would let a
// program's later checks pass for the wrong reason.
void TestEmulator::setThenSearch()
{
    QFETCH(QByteArray, command);
    QFETCH(QString, key);
    QFETCH(QJsonValue, value);
    EmulatedDevice device = EmulatedDevice::generated(1);
    QVERIFY(search(device).value(key) != value);
    const QJsonObject reply = onlyReply(device, command);
    QCOMPARE(reply.value("result").toString(), QStringLiteral("success"));
    QCOMPARE(reply.value("id").toInt(-1), parsed(command).value("id").toInt());
    const QJsonObject after = search(device);
    QCOMPARE(after.value(key), value);
    QCOMPARE(after.value("method").toString(), QStringLiteral("search"));
    QCOMPARE(after.value("id").toInt(), 900);
}

void TestEmulator::sipRoundTrip()
{
    EmulatedDevice device = EmulatedDevice::generated(2);
    // The shape the program writes: blanks around the colons, displayName last.
    const QByteArray set =
        R"({"id":11,"method":"SetSipSettings","sip0":{"serverHost" : "198.18.5.5","serverPort" : "5062", )"
        R"("account" : "1001","password" : "pw","displayName" : "Lobby"},"sip1":{"serverHost" : "","serverPort" : "", )"
        R"("account" : "","password" : "","displayName" : ""}})";
    QCOMPARE(onlyReply(device, set).value("result").toString(), QStringLiteral("success"));
    const QJsonObject got = onlyReply(device, commandText(12, "GetSipSettings"));
    QCOMPARE(got.value("result").toString(), QStringLiteral("success"));
    const QJsonObject sip0 = got.value("sip0").toObject();
    QCOMPARE(sip0.value("serverHost").toString(), QStringLiteral("198.18.5.5"));
    QCOMPARE(sip0.value("serverPort"), QJsonValue("5062"));
    QCOMPARE(sip0.value("account").toString(), QStringLiteral("1001"));
    QCOMPARE(sip0.value("password").toString(), QStringLiteral("pw"));
    QCOMPARE(sip0.value("displayName").toString(), QStringLiteral("Lobby"));
    QCOMPARE(got.value("sip1").toObject().size(), 5);
    QCOMPARE(got.value("sip1").toObject().value("serverPort"), QJsonValue(""));
}

void TestEmulator::rtpRoundTrip()
{
    EmulatedDevice device = EmulatedDevice::generated(1);
    // Entries printed formatted, with line breaks and tabs, as the program does.
    QByteArray set = R"({"id":20,"method":"SetRtpSettings",)";
    for (int i = 0; i < 10; ++i) {
        const QByteArray ip = i == 3 ? "239.0.0.3" : "";
        const int port = i == 3 ? 6000 : 0;
        set += "\"rtp" + QByteArray::number(i) + "\":{\n\t\"enable\":\t1,\n\t\"rtpIP\":\t\"" + ip +
               "\",\n\t\"rtpPort\":\t" + QByteArray::number(port) + "\n}";
        if (i < 9)
            set += ',';
    }
    set += '}';
    QCOMPARE(onlyReply(device, set).value("result").toString(), QStringLiteral("success"));
    const QJsonObject got = onlyReply(device, commandText(21, "GetRtpSettings"));
    QCOMPARE(got.value("id").toInt(), 21);
    for (int i = 0; i < 10; ++i) {
        const QJsonObject rtp = got.value(QStringLiteral("rtp%1").arg(i)).toObject();
        QCOMPARE(rtp.value("enable"), QJsonValue(1));
        QCOMPARE(rtp.value("rtpIP").toString(), QString::fromLatin1(i == 3 ? "239.0.0.3" : ""));
        QCOMPARE(rtp.value("rtpPort"), QJsonValue(i == 3 ? 6000 : 0));
    }
    QVERIFY(!got.contains("rtp10"));

    // A later command naming one channel leaves the others as they are.
    const QByteArray one =
        R"({"id":22,"method":"SetRtpSettings","rtp9":{"enable":0,"rtpIP":"239.9.9.9","rtpPort":7})";
    QCOMPARE(onlyReply(device, one + '}').value("result").toString(), QStringLiteral("success"));
    const QJsonObject again = onlyReply(device, commandText(23, "GetRtpSettings"));
    QCOMPARE(again.value("rtp9").toObject().value("rtpIP").toString(), QStringLiteral("239.9.9.9"));
    QCOMPARE(again.value("rtp3").toObject().value("rtpPort"), QJsonValue(6000));
}

void TestEmulator::rejectedCommands_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::newRow("unknown method") << commandText(30, "SetColour", R"("colour":"red")");
    QTest::newRow("method in other case") << commandText(30, "setname", R"("name":"x")");
    QTest::newRow("no method") << QByteArray(R"({"id":30,"name":"x"})");
    QTest::newRow("static ip out of range") << commandText(
        30, "SetIp",
        R"("IpMode":"static","ip":"256.1.1.1","gateway":"1.1.1.1","netmask":"255.0.0.0","dns1":"","dns2":"")");
    QTest::newRow("static without gateway") << commandText(
        30, "SetIp", R"("IpMode":"static","ip":"1.1.1.2","netmask":"255.0.0.0","dns1":"","dns2":"")");
    QTest::newRow("unknown ip mode") << commandText(30, "SetIp", R"("IpMode":"bootp")");
    QTest::newRow("group MAC") << commandText(30, "SetMac", R"("mac":"01:00:5e:00:00:01")");
    QTest::newRow("MAC without separators") << commandText(30, "SetMac", R"("mac":"020000000099")");
    QTest::newRow("volume as text") << commandText(30, "SetDeviceVolume",
                                                   R"("micVolume":"3","outVolume":1,"autoMute":0)");
    QTest::newRow("sip1 missing") << commandText(
        30, "SetSipSettings",
        R"("sip0":{"serverHost":"h","serverPort":"1","account":"a","password":"p","displayName":"d"})");
    QTest::newRow("rtp entry not an object") << commandText(30, "SetRtpSettings", R"("rtp2":5)");
}

// A device that says success to anything would hide a program's misspelt commands.
void TestEmulator::rejectedCommands()
{
    QFETCH(QByteArray, command);
    EmulatedDevice device = EmulatedDevice::generated(1);
    const QByteArray before = device.handle(searchText(1), false).replies.value(0).text;
    const QJsonObject reply = onlyReply(device, command);
    QCOMPARE(reply.value("id").toInt(), 30);
    QCOMPARE(reply.value("result").toString(), QStringLiteral("fail"));
    QCOMPARE(device.handle(searchText(1), false).replies.value(0).text, before);
}

void TestEmulator::ignoredCommands_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<bool>("broadcast");
    QTest::newRow("cut short") << QByteArray(R"({"id":40,"method":"SetName","name":"x")") << false;
    QTest::newRow("comma before brace") << QByteArray(R"({"id":40,"method":"SetRtpSettings",})") << false;
    QTest::newRow("not an object") << QByteArray(R"([40,"SetName"])") << false;
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("no id") << QByteArray(R"({"method":"SetName","name":"x"})") << false;
    QTest::newRow("id not a number") << QByteArray(R"({"id":"forty","method":"SetName","name":"x"})")
                                     << false;
    QTest::newRow("broadcast SetName") << QByteArray(R"({"id":40,"method":"SetName","name":"x"})") << true;
}

void TestEmulator::ignoredCommands()
{
    QFETCH(QByteArray, command);
    QFETCH(bool, broadcast);
    EmulatedDevice device = EmulatedDevice::generated(1);
    const CommandOutcome outcome = device.handle(command, broadcast);
    QVERIFY(outcome.replies.isEmpty());
    QVERIFY(!outcome.ignored.isEmpty());
    QCOMPARE(search(device).value("name").toString(), QStringLiteral("Device 1"));
}

void TestEmulator::resetDefaultRestoresInitialState()
{
    EmulatedDevice device = configured(R"([{"name":"Original","type":"PA9","micVolume":2}])");
    const QByteArray initial = device.handle(searchText(1), false).replies.value(0).text;
    onlyReply(device, R"({"id":1,"method":"SetName","name":"Changed"})");
    onlyReply(device, R"({"id":2,"method":"SetMac","mac":"02:00:00:00:77:77"})");
    onlyReply(device, R"({"id":3,"method":"SetDeviceVolume", "micVolume":8, "outVolume":8, "autoMute":1})");
    QCOMPARE(EmulatorFrames::macToText(device.mac()), QStringLiteral("02:00:00:00:77:77"));

    const CommandOutcome reset = device.handle(commandText(4, "ResetDefault"), false);
    QCOMPARE(reset.replies.size(), 1);
    // Acknowledged from the address the command reached, then the old one is back.
    QCOMPARE(EmulatorFrames::macToText(reset.replies.first().sourceMac), QStringLiteral("02:00:00:00:77:77"));
    QVERIFY(device.mac() == FirstMac);
    QCOMPARE(device.handle(searchText(1), false).replies.value(0).text, initial);
    QCOMPARE(parsed(initial).value("type").toString(), QStringLiteral("PA9"));

    QCOMPARE(onlyReply(device, commandText(5, "reboot")).value("result").toString(),
             QStringLiteral("success"));
    QCOMPARE(onlyReply(device, commandText(6, "PlayVolume")).value("result").toString(),
             QStringLiteral("success"));
    QCOMPARE(device.rebootCount(), 1);
    QCOMPARE(device.playCount(), 1);
}

void TestEmulator::misbehaviour_data()
{
    QTest::addColumn<QByteArray>("misbehave");
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<int>("replies");
    QTest::addColumn<int>("delayMs");
    QTest::addColumn<QString>("shape");
    const QByteArray name = R"({"id":7,"method":"SetName","name":"New"})";
    QTest::newRow("none") << QByteArray("{}") << name << 1 << 0 << "normal";
    QTest::newRow("silent") << QByteArray(R"({"silent":true})") << name << 0 << 0 << "silent";
    QTest::newRow("late") << QByteArray(R"({"delayMs":500})") << name << 1 << 500 << "normal";
    QTest::newRow("twice") << QByteArray(R"({"twice":true})") << name << 2 << 0 << "normal";
    QTest::newRow("fail") << QByteArray(R"({"fail":true})") << name << 1 << 0 << "fail";
    QTest::newRow("broken JSON") << QByteArray(R"({"brokenJson":true})") << name << 1 << 0 << "broken";
    QTest::newRow("capital Search") << QByteArray(R"({"capitalSearch":true})") << searchText(7) << 1 << 0
                                    << "capitalSearch";
    QTest::newRow("capital Search leaves others")
        << QByteArray(R"({"capitalSearch":true})") << name << 1 << 0 << "normal";
    QTest::newRow("id as string") << QByteArray(R"({"idAsString":true})") << name << 1 << 0 << "idString";
    QTest::newRow("capital keys") << QByteArray(R"({"capitalKeys":true})") << searchText(7) << 1 << 0
                                  << "capitalKeys";
    QTest::newRow("capital keys nested") << QByteArray(R"({"capitalKeys":true})")
                                         << commandText(7, "GetSipSettings") << 1 << 0 << "capitalKeysNested";
    QTest::newRow("full frame") << QByteArray(R"({"fullFrame":true})") << searchText(7) << 1 << 0
                                << "fullFrame";
    QTest::newRow("foreign replies") << QByteArray(R"({"foreignReplies":true})") << name << 2 << 0
                                     << "foreign";
    QTest::newRow("late twice with foreign")
        << QByteArray(R"({"delayMs":50,"twice":true,"foreignReplies":true})") << name << 4 << 50 << "foreign";
}

// Each misbehaviour must produce exactly the fault the program is tested against.
void TestEmulator::misbehaviour()
{
    QFETCH(QByteArray, misbehave);
    QFETCH(QByteArray, command);
    QFETCH(int, replies);
    QFETCH(int, delayMs);
    QFETCH(QString, shape);
    EmulatedDevice device = configured("[{\"misbehave\":" + misbehave + "}]");
    const CommandOutcome outcome = device.handle(command, false);
    QCOMPARE(outcome.replies.size(), replies);
    for (const PlannedReply& r : outcome.replies)
        QCOMPARE(r.delayMs, delayMs);
    if (replies == 0)
        return;
    const PlannedReply& last = outcome.replies.last();
    QVERIFY(last.sourceMac == FirstMac);
    const QJsonObject reply = parsed(last.text);

    if (shape == "normal") {
        QCOMPARE(reply.value("id"), QJsonValue(7));
        QCOMPARE(reply.value("result").toString(), QStringLiteral("success"));
        QCOMPARE(outcome.replies.first().text, last.text);
    } else if (shape == "fail") {
        QCOMPARE(reply.value("result").toString(), QStringLiteral("fail"));
        QCOMPARE(search(device).value("name").toString(), QStringLiteral("Device 1"));
    } else if (shape == "broken") {
        QJsonParseError error;
        QJsonDocument::fromJson(last.text, &error);
        QVERIFY(error.error != QJsonParseError::NoError);
        QVERIFY(last.text.startsWith("{\"id\":7"));
    } else if (shape == "capitalSearch") {
        QCOMPARE(reply.value("method").toString(), QStringLiteral("Search"));
        QCOMPARE(reply.value("name").toString(), QStringLiteral("Device 1"));
    } else if (shape == "idString") {
        QCOMPARE(reply.value("id"), QJsonValue("7"));
        QCOMPARE(reply.value("result").toString(), QStringLiteral("success"));
    } else if (shape == "capitalKeys") {
        QCOMPARE(reply.value("ID"), QJsonValue(7));
        QCOMPARE(reply.value("METHOD").toString(), QStringLiteral("search"));
        QCOMPARE(reply.value("NAME").toString(), QStringLiteral("Device 1"));
        QVERIFY(!reply.contains("name"));
    } else if (shape == "capitalKeysNested") {
        QCOMPARE(reply.value("RESULT").toString(), QStringLiteral("success"));
        QCOMPARE(reply.value("SIP0").toObject().value("SERVERPORT").toString(), QStringLiteral("5060"));
    } else if (shape == "fullFrame") {
        QCOMPARE(last.text.size(), EmulatorFrames::MaxTextLength);
        QCOMPARE(reply.value("name").toString(), QStringLiteral("Device 1"));
        QCOMPARE(EmulatorFrames::build(last.sourceMac, last.sourceIp, AskerMac, AskerIp, last.text).size(),
                 1514);
    } else if (shape == "foreign") {
        for (int i = 0; i < replies; i += 2) {
            const PlannedReply& foreign = outcome.replies.at(i);
            QVERIFY(foreign.sourceMac != FirstMac);
            QVERIFY(foreign.sourceIp != device.state().address);
            QCOMPARE(parsed(foreign.text).value("id"), QJsonValue(1007));
            QVERIFY(outcome.replies.at(i + 1).sourceMac == FirstMac);
            QCOMPARE(parsed(outcome.replies.at(i + 1).text).value("id"), QJsonValue(7));
        }
    } else {
        QFAIL("unknown shape");
    }
}

void TestEmulator::configuration_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("ok");
    QTest::newRow("two devices") << QByteArray(
                                        R"([{"type":"ZX1","mac":"02:00:00:00:10:01","ip":"198.18.3.3"},{}])")
                                 << true;
    QTest::newRow("not an array") << QByteArray(R"({"type":"ZX1"})") << false;
    QTest::newRow("unknown misbehaviour") << QByteArray(R"([{"misbehave":{"slient":true}}])") << false;
    QTest::newRow("misbehaviour not a flag") << QByteArray(R"([{"misbehave":{"silent":1}}])") << false;
    QTest::newRow("bad mac") << QByteArray(R"([{"mac":"02:00:00:00:10"}])") << false;
    QTest::newRow("bad ip") << QByteArray(R"([{"ip":"198.18.3"}])") << false;
    QTest::newRow("name not a text") << QByteArray(R"([{"name":5}])") << false;
    QTest::newRow("rtp entry incomplete") << QByteArray(R"([{"rtp4":{"enable":1}}])") << false;
}

void TestEmulator::configuration()
{
    QFETCH(QByteArray, json);
    QFETCH(bool, ok);
    QVector<EmulatedDevice> devices;
    QString error;
    QCOMPARE(EmulatedDevice::fromConfig(json, 1, &devices, &error), ok);
    QCOMPARE(error.isEmpty(), ok);
    if (!ok) {
        QVERIFY(devices.isEmpty());
        return;
    }
    QCOMPARE(devices.size(), 2);
    QCOMPARE(EmulatorFrames::macToText(devices[0].mac()), QStringLiteral("02:00:00:00:10:01"));
    const QJsonObject first = search(devices[0]);
    QCOMPARE(first.value("type").toString(), QStringLiteral("ZX1"));
    QCOMPARE(first.value("ip").toString(), QStringLiteral("198.18.3.3"));
    QCOMPARE(first.value("name").toString(), QStringLiteral("Device 1"));
    // Fields not given come from the generated device of the same number.
    const QJsonObject second = search(devices[1]);
    QCOMPARE(second.value("mac").toString(), QStringLiteral("02:00:00:00:00:02"));
    QCOMPARE(second.value("ip").toString(), QStringLiteral("198.18.1.2"));
    QCOMPARE(second.value("type").toString(), QStringLiteral("VQLX63"));
    for (const char* key : {"mac", "name", "type", "ipMode", "version", "ip", "gateway", "netmask", "dns1",
                            "dns2", "sn", "uid", "account", "password", "autoMute", "micVolume", "outVolume"})
        QVERIFY2(second.contains(QLatin1String(key)), key);
}

void TestEmulator::repliesGoToTheAsker()
{
    Bench bench(2);
    bench.send(EmulatorFrames::BroadcastMac, searchText(3));
    QCOMPARE(bench.frames.size(), 2);
    for (int i = 0; i < 2; ++i) {
        const EmulatorFrames::Frame f = bench.frame(i);
        const MacAddress device = i == 0 ? FirstMac : SecondMac;
        QVERIFY(f.ethernetSource == device);
        QVERIFY(f.senderMac == device);
        QCOMPARE(EmulatorFrames::ipToText(f.senderIp), QStringLiteral("198.18.1.%1").arg(i + 1));
        QVERIFY(f.ethernetDestination == AskerMac);
        QVERIFY(f.targetMac == AskerMac);
        QVERIFY(f.targetIp == AskerIp);
        QCOMPARE(parsed(f.text).value("id"), QJsonValue(3));
    }
    QCOMPARE(bench.commandLines().size(), 1);
    QVERIFY(bench.commandLines().first().endsWith(" ff:ff:ff:ff:ff:ff " + searchText(3)));
}

// A program that keeps sending to the old MAC after SetMac must get no answer.
void TestEmulator::setMacMovesTheDevice()
{
    Bench bench(2);
    const MacAddress moved = {0x02, 0x00, 0x00, 0x00, 0x99, 0x01};
    bench.send(FirstMac, R"({"id":1,"method":"SetMac","mac":"02:00:00:00:99:01"})");
    QCOMPARE(bench.frames.size(), 1);
    QVERIFY(bench.frame(0).senderMac == FirstMac);

    bench.send(FirstMac, R"({"id":2,"method":"SetName","name":"Lost"})");
    QCOMPARE(bench.frames.size(), 1);
    QVERIFY(bench.lines.last().contains("no device at 02:00:00:00:00:01"));

    bench.send(moved, R"({"id":3,"method":"SetName","name":"Found"})");
    QCOMPARE(bench.frames.size(), 2);
    QVERIFY(bench.frame(1).senderMac == moved);
    QCOMPARE(bench.emulator.device(0).state().name, QStringLiteral("Found"));
    QCOMPARE(bench.emulator.device(1).state().name, QStringLiteral("Device 2"));

    bench.send(EmulatorFrames::BroadcastMac, searchText(4));
    QCOMPARE(bench.frames.size(), 4);
    QCOMPARE(parsed(bench.frame(2).text).value("mac").toString(), QStringLiteral("02:00:00:00:99:01"));

    // Log order is arrival order, one line per command, with the MAC each was sent to.
    const QList<QByteArray> lines = bench.commandLines();
    QCOMPARE(lines.size(), 4);
    QVERIFY(lines[0].contains(" 02:00:00:00:00:01 {\"id\":1,"));
    QVERIFY(lines[1].contains(" 02:00:00:00:00:01 {\"id\":2,"));
    QVERIFY(lines[2].contains(" 02:00:00:00:99:01 {\"id\":3,"));
    QVERIFY(lines[3].contains(" ff:ff:ff:ff:ff:ff {\"id\":4,"));
}

void TestEmulator::arpTargetAloneAddresses()
{
    Bench bench(2);
    QByteArray frame = EmulatorFrames::build(AskerMac, AskerIp, EmulatorFrames::BroadcastMac, {198, 18, 1, 2},
                                             R"({"id":5,"method":"SetName","name":"ByTarget"})");
    frame.replace(32, 6, reinterpret_cast<const char*>(SecondMac.data()), 6);
    bench.emulator.handleFrame(frame);
    QCOMPARE(bench.frames.size(), 1);
    QVERIFY(bench.frame(0).senderMac == SecondMac);
    QCOMPARE(bench.emulator.device(1).state().name, QStringLiteral("ByTarget"));
    QCOMPARE(bench.emulator.device(0).state().name, QStringLiteral("Device 1"));
    QVERIFY(bench.lines.join('\n').contains("ARP target 02:00:00:00:00:02 differs"));
}

void TestEmulator::badFrameIsLoggedNotAnswered()
{
    Bench bench(1);
    QByteArray frame = EmulatorFrames::build(AskerMac, AskerIp, FirstMac, {198, 18, 1, 1}, searchText(6));
    frame[46] = char(frame[46] + 1);
    bench.emulator.handleFrame(frame);
    bench.send(FirstMac, "{\"id\":7,\"method\":");
    QVERIFY(bench.frames.isEmpty());
    QCOMPARE(bench.commandLines().size(), 1);
    const QByteArray all = bench.lines.join('\n');
    QVERIFY(all.contains("bad command frame from 02:aa:bb:cc:dd:01"));
    QVERIFY(all.contains("ignored (malformed JSON) by 02:00:00:00:00:01"));
}

void TestEmulator::lateDeviceHoldsUpNoOther()
{
    Bench bench(0);
    EmulatedDevice late = configured(R"([{"misbehave":{"delayMs":300}}])");
    bench.emulator.addDevice(late);
    bench.emulator.addDevice(EmulatedDevice::generated(2));
    QElapsedTimer timer;
    timer.start();
    bench.send(EmulatorFrames::BroadcastMac, searchText(8));
    QCOMPARE(bench.frames.size(), 1);
    QVERIFY(bench.frame(0).senderMac == SecondMac);
    QTRY_COMPARE_WITH_TIMEOUT(bench.frames.size(), 2, 5000);
    QVERIFY(bench.frame(1).senderMac == FirstMac);
    QVERIFY(timer.elapsed() >= 290);
}

// The emulator program on a real wire: another namespace, its own socket, its log file.
void TestEmulator::overTheWire()
{
    ORVANE_REQUIRE_NETNS();
    NetNamespacePair pair;
    QVERIFY2(pair.ok(), qPrintable(pair.error()));
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString logPath = dir.filePath(QStringLiteral("emulator.log"));
    const QString readyPath = dir.filePath(QStringLiteral("ready"));
    const QString configPath = dir.filePath(QStringLiteral("devices.json"));
    QFile config(configPath);
    QVERIFY(config.open(QIODevice::WriteOnly));
    config.write(R"([{"name":"Big","misbehave":{"fullFrame":true}}])");
    config.close();

    QProcess emulator;
    emulator.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    emulator.start(QStringLiteral("ip"),
                   {QStringLiteral("netns"), QStringLiteral("exec"),
                    pair.namespaceName(NetNamespacePair::Far), QStringLiteral(ORVANE_EMULATOR_PATH),
                    QStringLiteral("--interface"), pair.interfaceName(NetNamespacePair::Far),
                    QStringLiteral("--config"), configPath, QStringLiteral("--devices"), QStringLiteral("1"),
                    QStringLiteral("--log"), logPath, QStringLiteral("--ready-file"), readyPath});
    QVERIFY(emulator.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(readyPath) || emulator.state() == QProcess::NotRunning, 15000);
    QVERIFY2(QFile::exists(readyPath), "the emulator did not come up");

    RawPacketSocket socket;
    QByteArray nearMac;
    {
        NetnsScope scope(pair.namespaceName(NetNamespacePair::Near));
        QVERIFY(scope.ok());
        QVERIFY2(socket.open(pair.interfaceName(NetNamespacePair::Near)), qPrintable(socket.lastError()));
        nearMac = socket.mac();
    }
    QCOMPARE(nearMac.size(), 6);
    MacAddress askerMac;
    memcpy(askerMac.data(), nearMac.constData(), 6);
    const Ipv4Address nearIp = {198, 18, 0, 1};
    QVERIFY(socket.send(EmulatorFrames::build(askerMac, nearIp, EmulatorFrames::BroadcastMac,
                                              {255, 255, 255, 255}, searchText(42))));

    QMap<QString, QJsonObject> replies;
    QMap<QString, int> sizes;
    QElapsedTimer timer;
    timer.start();
    while (replies.size() < 2 && timer.elapsed() < 5000) {
        const QByteArray bytes = socket.receive(200);
        EmulatorFrames::Frame f;
        if (EmulatorFrames::parse(bytes, &f, nullptr) != EmulatorFrames::ParseResult::CommandFrame)
            continue;
        QVERIFY(f.ethernetDestination == askerMac);
        QVERIFY(f.targetIp == nearIp);
        QVERIFY(f.ethernetSource == f.senderMac);
        replies.insert(EmulatorFrames::macToText(f.senderMac), parsed(f.text));
        sizes.insert(EmulatorFrames::macToText(f.senderMac), bytes.size());
    }
    QCOMPARE(QStringList(replies.keys()), QStringList({"02:00:00:00:00:01", "02:00:00:00:00:02"}));
    QCOMPARE(replies.first().value("name").toString(), QStringLiteral("Big"));
    QCOMPARE(sizes.first(), 1514);
    // Generated devices number on after the configured ones.
    QCOMPARE(replies.last().value("name").toString(), QStringLiteral("Device 2"));
    QCOMPARE(replies.last().value("type").toString(), QStringLiteral("VQLX63"));
    QCOMPARE(replies.last().value("id"), QJsonValue(42));

    emulator.terminate();
    QVERIFY(emulator.waitForFinished(10000));
    QCOMPARE(emulator.exitStatus(), QProcess::NormalExit);
    QCOMPARE(emulator.exitCode(), 0);

    QFile log(logPath);
    QVERIFY(log.open(QIODevice::ReadOnly));
    QList<QByteArray> commands;
    for (const QByteArray& line : log.readAll().split('\n')) {
        if (!line.isEmpty() && !line.startsWith('#'))
            commands.append(line);
    }
    QCOMPARE(commands.size(), 1);
    const QList<QByteArray> fields = commands.first().split(' ');
    bool isTime = false;
    QVERIFY(fields.value(0).toLongLong(&isTime) > 0 && isTime);
    QCOMPARE(fields.value(1), QByteArray("ff:ff:ff:ff:ff:ff"));
    QVERIFY(commands.first().endsWith(searchText(42)));
}

QTEST_GUILESS_MAIN(TestEmulator)
#include "tst_emulator.moc"
