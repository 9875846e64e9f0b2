#include "CommandFrame.h"
#include "CommandObserver.h"
#include "DeviceRecord.h"
#include "ProtocolClient.h"
#include "RawFrame.h"
#include "RtpChannelSettings.h"
#include "SipAccountSettings.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>
#include <atomic>
#include <cstring>
#include <functional>
#include <thread>

using namespace orvane;

namespace {
const uint8_t OwnMac[6] = {0x02, 0x00, 0x00, 0x00, 0x00, 0x01};
const uint8_t OwnIp[4] = {198, 18, 0, 1};
const uint8_t DeviceMac[6] = {0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e};
const uint8_t DeviceIp[4] = {198, 18, 0, 7};
const uint8_t OtherMac[6] = {0x00, 0x0b, 0x00, 0x00, 0x00, 0x02};

// Well below the 3000 ms reply timeout: a taken answer or a cancel ends a command long before.
const qint64 PromptMs = 1500;

void inject(ProtocolClient& client, const QByteArray& text, const uint8_t* fromMac = DeviceMac,
            const uint8_t* toMac = OwnMac)
{
    RawFrame* frame = CommandFrame::build(fromMac, DeviceIp, toMac, OwnIp, text.constData(), text.size());
    QVERIFY(frame);
    client.onPacket(frame);
    frame->release();
}

int idOf(const QByteArray& text)
{
    QJsonValue id = QJsonDocument::fromJson(text).object().value(QStringLiteral("id"));
    return id.isDouble() ? id.toInt() : -1;
}

// Stands in for the wire: keeps what the protocol client sends and lets a scripted device
// answer on the sending thread, before the protocol client starts waiting.
struct FakeWire
{
    using Responder = std::function<void(ProtocolClient& client, int id)>;

    explicit FakeWire(ProtocolClient& client, const char* reply = nullptr) : client(client)
    {
        if (reply)
            responder = answer(reply);
        // Called on the thread that sends; tests read what was sent once that thread is done.
        client.setFrameSink([this](RawFrame* frame) {
            lastFrame = QByteArray(reinterpret_cast<const char*>(frame->bytes()), frame->length());
            texts.append(QByteArray(CommandFrame::text(*frame)));
            frame->release();
            if (responder)
                responder(this->client, idOf(texts.last()));
        });
        open();
    }
    void open()
    {
        Adapter adapter;
        memcpy(adapter.address, OwnMac, 6);
        memcpy(adapter.ip, OwnIp, 4);
        client.open(&adapter);
    }
    static Responder answer(const char* pattern)
    {
        return [pattern](ProtocolClient& client, int id) { inject(client, QString::asprintf(pattern, id).toUtf8()); };
    }

    ProtocolClient& client;
    Responder responder;
    QByteArray lastFrame;
    QList<QByteArray> texts;
};

const char Success[] = "{\"id\":%d,\"result\":\"success\"}";

// The device every command goes to; lives as long as the test program.
DeviceRecord* device()
{
    static DeviceRecord* record = [] {
        DeviceRecord* d = DeviceRecord::create();
        d->setMacBytes(DeviceMac);
        d->setIpBytes(DeviceIp);
        return d;
    }();
    return record;
}

struct RecordingObserver : CommandObserver
{
    void onSendCommand(ProtocolClient*, const char*) override { ++sent; }
    void onRecvCommand(ProtocolClient*, const char*) override { ++received; }
    int sent = 0, received = 0;
};

using Command = std::function<int(ProtocolClient&, DeviceRecord*)>;
using S = ProtocolClient;
using D = DeviceRecord*;

QList<RtpChannelSettings> channels(int count)
{
    QList<RtpChannelSettings> list;
    for (int i = 0; i < count; ++i)
        list.append(RtpChannelSettings(i & 1, QStringLiteral("239.0.0.%1").arg(i + 1), 5000 + 2 * i));
    return list;
}

// One answer a search meets: who sends it and its text (%1: the search's id).
struct Answer
{
    int sender; // 0: the device, 1: OtherMac, 2..: a MAC of its own (a host posing as many)
    QByteArray text;
};
using Answers = QList<Answer>;
} // namespace

Q_DECLARE_METATYPE(Command)
Q_DECLARE_METATYPE(Answers)

class TestProtocolClient : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false")); }
    void idsCountFromZeroAfterOpen();
    void commandTexts_data();
    void commandTexts();
    void replies_data();
    void replies();
    void overlongTextsAreNotSent_data();
    void overlongTextsAreNotSent();
    void cancelFromAnotherThread_data();
    void cancelFromAnotherThread();
    void observerAndDebugSeeTrafficWithoutSecrets();
    void search_data();
    void search();
    void settingsRead();
};

// Devices know ids counting from 0 after each open; what was queued before
// the open must not answer the new commands.
void TestProtocolClient::idsCountFromZeroAfterOpen()
{
    ProtocolClient client;
    FakeWire wire(client, Success);
    QCOMPARE(client.reboot(device()), 0);
    QCOMPARE(client.reboot(device()), 0);
    QCOMPARE(idOf(wire.texts.value(1)), 1);
    inject(client, "{\"id\":0,\"result\":\"success\"}");
    wire.open();
    wire.responder = FakeWire::answer("{\"id\":%d,\"result\":\"fail\"}");
    QCOMPARE(client.playVolume(device()), -1);
    QCOMPARE(idOf(wire.texts.last()), 0);
}

void TestProtocolClient::commandTexts_data()
{
    QTest::addColumn<Command>("command");
    QTest::addColumn<QByteArray>("text");
    const auto row = [](const char* name, Command command, const QByteArray& text) {
        QTest::newRow(name) << command << text;
    };
    SipAccountSettings sip0;
    sip0.serverHost = "10.0.0.1";
    sip0.serverPort = "5060";
    sip0.account = "101";
    sip0.password = "p\"w\\";
    sip0.displayName = QString::fromUtf8("S\xc3\xbc" "d");
    const auto search = [](bool alarm) { return [alarm](S& s, D) { QList<D> l; s.search(l, 0, alarm); return 0; }; };
    // Each layout as devices expect it, spaces included; in a name, what would end the string
    // or the command is escaped and the rest goes out as typed.
    row("search", search(false), R"({"id":0,"method":"search","user":"Windows Dravlen"})");
    row("search alarm test", search(true),
        R"({"id":0,"method":"search","user":"Windows Dravlen", "alarmTest":"enable"})");
    row("SetIp dhcp", [](S& s, D d) { return s.setIpDhcp(d); }, R"({"id":0,"method":"SetIp","IpMode":"dhcp"})");
    row("SetIp static", [](S& s, D d) { return s.setIpStatic(d, "198.18.0.9", "198.18.0.254", "255.255.254.0", "8.8.8.8", ""); },
        R"({"id":0,"method":"SetIp","IpMode":"static","ip":"198.18.0.9","gateway":"198.18.0.254",)"
        R"("netmask":"255.255.254.0","dns1":"8.8.8.8","dns2":""})");
    row("SetName escaped", [](S& s, D d) { return s.setName(d, QString::fromUtf8("\"\\\n\t\x01%s\xc3\xbc\",\"x")); },
        "{\"id\":0,\"method\":\"SetName\",\"name\":\"\\\"\\\\\\n\\t\\u0001%s\xc3\xbc\\\",\\\"x\"}");
    row("SetSN", [](S& s, D d) { return s.setSN(d, "SN-7"); }, R"({"id":0,"method":"SetSN","sn":"SN-7"})");
    row("SetMac", [](S& s, D d) { return s.setMac(d, "02:00:00:00:7e:01"); },
        R"({"id":0,"method":"SetMac","mac":"02:00:00:00:7e:01"})");
    row("PlayVolume", [](S& s, D d) { return s.playVolume(d); }, R"({"id":0,"method":"PlayVolume"})");
    row("reboot", [](S& s, D d) { return s.reboot(d); }, R"({"id":0,"method":"reboot"})");
    row("ResetDefault", [](S& s, D d) { return s.resetDefault(d); }, R"({"id":0,"method":"ResetDefault"})");
    row("GetSipSettings", [](S& s, D d) { SipAccountSettings a, b; return s.getSipSettings(d, a, b); },
        R"({"id":0,"method":"GetSipSettings"})");
    row("GetRtpSettings", [](S& s, D d) { QList<RtpChannelSettings> l = channels(10); return s.getRtpSettings(d, l); },
        R"({"id":0,"method":"GetRtpSettings"})");
    row("SetServer", [](S& s, D d) { return s.setServer(d, "198.18.0.2", 8080); },
        R"({"id":0,"method":"SetServer","serverIp":"198.18.0.2","serverPort":8080})");
    row("SetDeviceInfo", [](S& s, D d) { return s.setDeviceInfo(d, "A1", "N2", "Gate", 3, "R4", "S5", "T6", "U7"); },
        R"({"id":0,"method":"SetDeviceInfo","areaCode":"A1","number":"N2","name":"Gate","powerLevel":3,)"
        R"("resourceTypeSequenceCode":"R4","resourceSonTypeSequenceCode":"S5","resourceTypeCode":"T6",)"
        R"("resourceSonTypeCode":"U7"})");
    row("SetDeviceVolume", [](S& s, D d) { return s.setDeviceVolume(d, 5, 7, 1); },
        R"({"id":0,"method":"SetDeviceVolume", "micVolume":5, "outVolume":7, "autoMute":1})");
    row("SetAccountPassword", [](S& s, D d) { return s.setAccountPassword(d, "admin", "0cc175b9"); },
        R"({"id":0,"method":"SetAccountPassword", "account":"admin", "password":"0cc175b9"})");
    row("SetSipSettings", [sip0](S& s, D d) { return s.setSipSettings(d, sip0, SipAccountSettings()); },
        R"({"id":0,"method":"SetSipSettings","sip0":{"serverHost" : "10.0.0.1","serverPort" : "5060", )"
        R"("account" : "101","password" : "p\"w\\","displayName" : "S)" "\xc3\xbc" R"(d"},"sip1":{"serverHost" : "",)"
        R"("serverPort" : "", "account" : "","password" : "","displayName" : ""}})");
    // A comma between channels, none after the last; beyond ten nothing goes.
    QByteArray rtp = "{\"id\":0,\"method\":\"SetRtpSettings\"";
    for (int i = 0; i < 10; ++i)
        rtp += ",\"rtp" + QByteArray::number(i) + "\":{\n\t\"enable\":\t" + QByteArray::number(i & 1) +
               ",\n\t\"rtpIP\":\t\"239.0.0." + QByteArray::number(i + 1) + "\",\n\t\"rtpPort\":\t" +
               QByteArray::number(5000 + 2 * i) + "\n}";
    row("SetRtpSettings", [](S& s, D d) { return s.setRtpSettings(d, channels(12)); }, rtp + "}");
    row("SetRtpSettings, none", [](S& s, D d) { return s.setRtpSettings(d, {}); }, R"({"id":0,"method":"SetRtpSettings"})");
}

void TestProtocolClient::commandTexts()
{
    QFETCH(Command, command);
    QFETCH(QByteArray, text);
    ProtocolClient client;
    FakeWire wire(client, Success);
    QCOMPARE(command(client, device()), 0);
    QCOMPARE(wire.texts, QList<QByteArray>{text});
    // A search goes to everyone, a command to its device alone.
    const QByteArray to =
        text.contains("search") ? QByteArray(6, '\xff') : QByteArray(reinterpret_cast<const char*>(DeviceMac), 6);
    QCOMPARE(wire.lastFrame.left(6).toHex(), to.toHex());
    QCOMPARE(wire.lastFrame.mid(32, 6).toHex(), to.toHex());
}

// Who sends a reply: the device, a third host answering in its place, the
// device to another host (seen through promiscuous capture).
enum Sender { FromDevice, FromOtherMac, ToOtherMac };

void TestProtocolClient::replies_data()
{
    QTest::addColumn<QByteArray>("reply"); // %1 stands for the command's id
    QTest::addColumn<int>("sender");
    QTest::addColumn<int>("outcome"); // 0: taken as success, -1: taken as failure, 1: ignored
    const auto row = [](const char* name, const QByteArray& reply, int outcome, Sender sender = FromDevice) {
        QTest::newRow(name) << reply << int(sender) << outcome;
    };
    const QByteArray success = "{\"id\":%1,\"result\":\"success\"}";
    row("success", success, 0);
    row("value with capital S", "{\"id\":%1,\"result\":\"Success\"}", -1);
    // Each reply below carries "success"; taking it would turn the following "fail" into 0.
    row("foreign id", "{\"id\":9%1,\"result\":\"success\"}", 1);
    row("no id", "{\"result\":\"success\",\"x%1\":0}", 1);
    // Hostile segment: a third host that knows the id must not answer for the device.
    row("forged sender", success, 1, FromOtherMac);
    row("wrong destination", success, 1, ToOtherMac);
    row("duplicate keys", "{\"id\":%1,\"result\":\"fail\",\"Result\":\"success\"}", 1);
}

void TestProtocolClient::replies()
{
    QFETCH(QByteArray, reply);
    QFETCH(int, sender);
    QFETCH(int, outcome);
    ProtocolClient client;
    FakeWire wire(client);
    wire.responder = [&](ProtocolClient& s, int id) {
        inject(s, QString::fromLatin1(reply).arg(id).toLatin1(),
               sender == FromOtherMac ? OtherMac : DeviceMac,
               sender == ToOtherMac ? OtherMac : OwnMac);
        if (outcome == 1)
            inject(s, QByteArray("{\"id\":") + QByteArray::number(id) + ",\"result\":\"fail\"}");
    };
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(client.setName(device(), "Hall"), outcome == 0 ? 0 : -1);
    QCOMPARE(client.lastOutcome(), outcome == 0 ? ProtocolClient::Outcome::Success : ProtocolClient::Outcome::Failed);
    QVERIFY2(timer.elapsed() < PromptMs, "the reply was not taken");
}

void TestProtocolClient::overlongTextsAreNotSent_data()
{
    QTest::addColumn<Command>("command");
    QTest::addColumn<bool>("sent");
    const int room = ProtocolClient::MaxCommandLength - int(strlen("{\"id\":1,\"method\":\"SetName\",\"name\":\"\"}"));
    QTest::newRow("name that just fits") << Command([room](S& s, D d) { return s.setName(d, QString(room, 'n')); }) << true;
    QTest::newRow("name one byte over") << Command([room](S& s, D d) { return s.setName(d, QString(room + 1, 'n')); })
                                        << false;
    // Escaping doubles each quote; the limit holds for the escaped text.
    QTest::newRow("name over once escaped")
        << Command([room](S& s, D d) { return s.setName(d, QString(room / 2 + 1, '"')); }) << false;
    QTest::newRow("sip object over 255") << Command([](S& s, D d) {
        SipAccountSettings sip;
        sip.account = QString(200, 'a');
        return s.setSipSettings(d, SipAccountSettings(), sip);
    }) << false;
    QTest::newRow("no device") << Command([](S& s, D) { return s.reboot(nullptr); }) << false;
    QTest::newRow("rtp channels") << Command([](S& s, D d) {
        QList<RtpChannelSettings> list = channels(10);
        list[9].rtpIP = QString(400, '9');
        return s.setRtpSettings(d, list);
    }) << false;
}

void TestProtocolClient::overlongTextsAreNotSent()
{
    QFETCH(Command, command);
    QFETCH(bool, sent);
    ProtocolClient client;
    FakeWire wire(client, Success);
    QCOMPARE(client.playVolume(device()), 0); // ids of two digits would not change the room
    QCOMPARE(command(client, device()), sent ? 0 : -1);
    QCOMPARE(client.lastOutcome(), sent ? ProtocolClient::Outcome::Success : ProtocolClient::Outcome::NotSent);
    QCOMPARE(wire.texts.size(), sent ? 2 : 1);
    if (sent)
        QCOMPARE(wire.texts.last().size(), ProtocolClient::MaxCommandLength);
}

void TestProtocolClient::cancelFromAnotherThread_data()
{
    QTest::addColumn<Command>("command");
    QTest::newRow("command") << Command([](S& s, D d) { return s.setName(d, "Hall"); });
    QTest::newRow("search") << Command([](S& s, D) { QList<D> l; s.search(l, 20000, false); return l.isEmpty() ? -1 : 0; });
}

// The device stays silent; a cancel from the job's owner ends the wait at once, wherever it lands.
void TestProtocolClient::cancelFromAnotherThread()
{
    QFETCH(Command, command);
    ProtocolClient client;
    FakeWire wire(client);
    for (int round = 0; round < 11; ++round) {
        std::atomic<int> result{1};
        std::atomic<qint64> elapsed{0};
        // The last round cancels while the frame is on its way out, before the wait has begun.
        if (round == 10)
            wire.responder = [](ProtocolClient& s, int) { s.cancelWait(); };
        std::thread worker([&] {
            QElapsedTimer timer;
            timer.start();
            result = command(client, device());
            elapsed = timer.elapsed();
        });
        // The flag exists from the wait's start; a cancel before that is the next job's business.
        if (round < 10) {
            QTRY_VERIFY_WITH_TIMEOUT(client.isWaiting(), 2000);
            QThread::usleep(static_cast<unsigned long>((round % 2) * round * 150));
            client.cancelWait();
        }
        worker.join();
        QCOMPARE(result.load(), -1);
        QVERIFY2(elapsed.load() < PromptMs, qPrintable(QString::number(elapsed.load())));
        QVERIFY(!client.isWaiting());
    }
    // Cancelled after the operator started the job, before this command began: nothing goes out or waits.
    const unsigned since = client.cancelCount();
    client.cancelWait();
    {
        const ProtocolClient::CancelScope scope(client, since);
        const int sent = wire.texts.size();
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(command(client, device()), -1);
        QVERIFY(timer.elapsed() < PromptMs && wire.texts.size() == sent);
        QCOMPARE(client.lastOutcome(), ProtocolClient::Outcome::Cancelled);
    }
    // The next command is not affected by the old cancel.
    wire.responder = FakeWire::answer(Success);
    QCOMPARE(client.setName(device(), "Hall"), 0);
}

QStringList debugLines;

void TestProtocolClient::observerAndDebugSeeTrafficWithoutSecrets()
{
    ProtocolClient client;
    FakeWire wire(client);
    RecordingObserver observer;
    client.setObserver(&observer);
    wire.responder = [](ProtocolClient& s, int id) {
        inject(s, "{\"id\":" + QByteArray::number(id) + ",\"result\":\"success\"}", OwnMac);
        RawFrame* arp = CommandFrame::build(DeviceMac, DeviceIp, OwnMac, OwnIp, "", 0);
        arp->bytes()[42] = 0;
        arp->bytes()[43] = 0;
        s.onPacket(arp);
        arp->release();
        // A key that breaks off in its escape still names a password to the JSON library.
        inject(s, "{\"id\":99,\"pass\\u!!!!\":\"s3cret\"}");
        inject(s, "{\"id\":" + QByteArray::number(id) + ",\"result\":\"success\",\"pass\\u0077ord\":\"s3cret\"}");
    };
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=true"));
    debugLines.clear();
    const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& l) { debugLines << l; });
    const int result = client.setAccountPassword(device(), "admin", "0cc175b9c0f1b6a831c399e269772661");
    qInstallMessageHandler(previous);
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    QCOMPARE(result, 0);
    QCOMPARE(observer.sent, 1);
    // Neither the echo of our own frame nor the plain ARP request counts as received.
    QCOMPARE(observer.received, 2);
    // Standard error is not the log file, but a password must not reach it either.
    QCOMPARE(debugLines.size(), 3);
    QVERIFY2(!debugLines.join(' ').contains("s3cret") && !debugLines.join(' ').contains("0cc175"),
             qPrintable(debugLines.join('\n')));
    client.setObserver(nullptr);
}

void TestProtocolClient::search_data()
{
    QTest::addColumn<Answers>("answers");
    QTest::addColumn<int>("timeoutMs");
    QTest::addColumn<QStringList>("listed"); // "name" or "name claims MAC", in arrival order
    QTest::addColumn<QList<int>>("summary"); // devices, duplicates, overflow, refused, foreignClaims, sharedMacs

    const QByteArray a = "{\"id\":%1,\"method\":\"search\",\"type\":\"KM41\",\"name\":\"A\"}";
    const QByteArray b = "{\"id\":\"%1\",\"method\":\"search\",\"name\":\"B\"}";
    QTest::newRow("first answer of each sender, the rest dropped on arrival")
        << Answers{{0, a}, {0, "{\"id\":%1,\"method\":\"Search\",\"name\":\"capital\"}"},
                   {0, "{\"id\":9%1,\"method\":\"search\",\"name\":\"stale\"}"},
                   {1, "{\"id\":%1,\"method\":\"search\""}, {1, b}, {0, a}, {1, b}}
        << 300 << QStringList{"A", "B"} << QList<int>{2, 3, 0, 0, 0, 0};
    // A host claiming the device's MAC is listed under its own, marked, and
    // the device itself is still there to be addressed.
    QTest::newRow("claimed MAC")
        << Answers{{1, "{\"id\":%1,\"method\":\"search\",\"name\":\"F\",\"mac\":\"00:1a:2b:3c:4d:5e\"}"},
                   {0, "{\"id\":%1,\"method\":\"search\",\"name\":\"A\",\"mac\":\"00-1A-2B-3C-4D-5E\"}"}}
        << 300 << QStringList{"F claims 00:1a:2b:3c:4d:5e", "A"} << QList<int>{2, 0, 0, 0, 1, 0};
    QTest::newRow("duplicate keys refused")
        << Answers{{0, "{\"id\":%1,\"method\":\"search\",\"mac\":\"x\",\"MAC\":\"y\"}"}, {1, b}} << 300
        << QStringList{"B"} << QList<int>{1, 0, 0, 1, 0, 0};
    // Two devices given one MAC both answer: one row, marked, since a command reaches both.
    QTest::newRow("one MAC, two devices")
        << Answers{{0, "{\"id\":%1,\"method\":\"search\",\"name\":\"A\",\"uid\":\"U1\"}"},
                   {0, "{\"id\":%1,\"method\":\"search\",\"name\":\"A2\",\"uid\":\"U2\"}"}}
        << 300 << QStringList{"A shares its MAC"} << QList<int>{1, 1, 0, 0, 0, 1};
    Answers flood;
    for (int i = 0; i < ProtocolClient::MaxSearchDevices + 3; ++i)
        flood << Answer{2 + i, b};
    QTest::newRow("flood beyond the cap") << flood << 1500 << QStringList(QVector<QString>(ProtocolClient::MaxSearchDevices, "B").toList())
                                          << QList<int>{ProtocolClient::MaxSearchDevices, 0, 3, 0, 0, 0};
}

void TestProtocolClient::search()
{
    QFETCH(Answers, answers);
    QFETCH(int, timeoutMs);
    QFETCH(QStringList, listed);
    QFETCH(QList<int>, summary);
    ProtocolClient client;
    FakeWire wire(client);
    wire.responder = [&answers](ProtocolClient& s, int id) {
        for (const Answer& answer : answers) {
            uint8_t mac[6] = {0x02, 0xee, 0, 0, uint8_t(answer.sender >> 8), uint8_t(answer.sender)};
            const uint8_t* from = answer.sender == 0 ? DeviceMac : answer.sender == 1 ? OtherMac : mac;
            inject(s, QString::fromLatin1(answer.text).arg(id).toLatin1(), from);
        }
    };
    QList<DeviceRecord*> list{nullptr}; // whatever the caller left there is dropped
    QElapsedTimer timer;
    timer.start();
    client.search(list, timeoutMs, false);
    const qint64 elapsed = timer.elapsed();
    // A search lasts its time, however much arrives, and not much longer.
    QVERIFY2(elapsed >= timeoutMs - 1 && elapsed < timeoutMs + PromptMs, qPrintable(QString::number(elapsed)));
    QStringList names;
    for (DeviceRecord* device : list) {
        names << (device->hasForeignMacClaim() ? device->name() + " claims " + device->claimedMac()
                  : device->sharesMac()          ? device->name() + " shares its MAC"
                                                 : device->name());
        device->release();
    }
    QCOMPARE(names, listed);
    const ProtocolClient::SearchSummary got = client.lastSearch();
    QCOMPARE((QList<int>{got.devices, got.duplicates, got.overflow, got.refused, got.foreignClaims, got.sharedMacs}), summary);
}

// Values of the wrong type are read as empty; a missing SIP object keeps the
// account, a missing channel is reset, beyond the ten channels nothing is read.
void TestProtocolClient::settingsRead()
{
    ProtocolClient client;
    FakeWire wire(client, "{\"id\":%d,\"result\":\"fail\",\"SIP0\":{\"serverHost\":\"10.0.0.1\","
                          "\"ServerPort\":\"5060\",\"account\":\"101\",\"password\":5,\"displayName\":\"Hall\"}}");
    SipAccountSettings sip[2];
    sip[0].password = "old";
    sip[1].account = "kept";
    QCOMPARE(client.getSipSettings(device(), sip[0], sip[1]), -1);
    QCOMPARE(QStringList({sip[0].serverHost, sip[0].serverPort, sip[0].account, sip[0].password, sip[0].displayName,
                          sip[1].account}),
             QStringList({"10.0.0.1", "5060", "101", "", "Hall", "kept"}));
    wire.responder = FakeWire::answer("{\"id\":%d,\"result\":\"success\",\"rtp0\":{\"enable\":1,\"rtpIP\":\"239.1.1.1\","
                                      "\"rtpPort\":5004},\"rtp1\":{\"rtpIP\":7,\"rtpPort\":\"6000\"},"
                                      "\"rtp2\":{\"enable\":1.5,\"rtpPort\":1e400},"
                                      "\"rtp10\":{\"enable\":1,\"rtpIP\":\"239.10.10.10\",\"rtpPort\":1}}");
    QList<RtpChannelSettings> list = channels(12);
    QCOMPARE(client.getRtpSettings(device(), list), 0);
    QList<RtpChannelSettings> expected = QVector<RtpChannelSettings>(10).toList() + channels(12).mid(10);
    expected[0] = RtpChannelSettings(1, "239.1.1.1", 5004);
    QVERIFY(list == expected);
}

QTEST_GUILESS_MAIN(TestProtocolClient)
#include "tst_protocolclient.moc"
