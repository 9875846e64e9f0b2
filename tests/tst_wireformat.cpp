// The command set against the device emulator across a veth pair: the protocol client
// runs in the near namespace on a real capture handle, the emulator in the
// far one, so frames, ids and replies take the same path as on a LAN.
#include "NetNamespacePair.h"
#include "CommandObserver.h"
#include "DeviceRecord.h"
#include "DeviceSearch.h"
#include "ProtocolClient.h"
#include "RawPacketSocket.h"
#include "RtpChannelSettings.h"
#include "SipAccountSettings.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QMutex>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>
#include <cstring>
#include <functional>
#include <memory>
#include <thread>

namespace {

// Over a veth pair every answer is back within milliseconds; this leaves room
// for sanitizer builds on a busy machine.
const int SearchMs = 400;
// Well below the 3000 ms reply timeout: a reply that was taken, or a cancel
// that worked, ends a command long before this.
const qint64 PromptMs = 1500;
// A command nobody answers ends with the reply timeout; bounds around it.
const qint64 TimeoutLowMs = 2800;
const qint64 TimeoutHighMs = 5500;
const int CancelAfterMs = 300;

// Emulator device numbers: the configured devices come first, then the generated ones.
enum DeviceNumber
{
    Silent = 1,
    Late = 2,
    IdAsString = 3,
    CapitalKeys = 4,
    Fails = 5,
    BrokenJson = 6,
    FullFrame = 7,
    ForeignReplies = 8,
    Twice = 9,
    CapitalSearch = 10,
    Preset = 11,
    FirstPlain = 12
};
const int PlainCount = 24;

const char DeviceConfig[] = R"([
    {"misbehave": {"silent": true}},
    {"misbehave": {"delayMs": 3500}},
    {"misbehave": {"idAsString": true}},
    {"misbehave": {"capitalKeys": true}},
    {"misbehave": {"fail": true}},
    {"misbehave": {"brokenJson": true}},
    {"misbehave": {"fullFrame": true}},
    {"misbehave": {"foreignReplies": true}},
    {"misbehave": {"twice": true}},
    {"misbehave": {"capitalSearch": true}},
    {"name": "Preset",
     "sip0": {"serverHost": "198.18.5.5", "serverPort": "5070", "displayName": "Desk",
              "account": "1011", "password": "pw11"},
     "rtp3": {"enable": 1, "rtpIP": "239.1.2.3", "rtpPort": 5004}}
])";

// The emulator's addressing scheme for its k-th device.
QByteArray deviceMac(int k)
{
    const char mac[6] = {0x02, 0x00, 0x00, 0x00, char((k >> 8) & 0xff), char(k & 0xff)};
    return QByteArray(mac, 6);
}

QByteArray deviceIp(int k)
{
    const int host = 256 + k;
    const char ip[4] = {char(198), char(18 + ((host >> 16) & 1)), char((host >> 8) & 0xff), char(host & 0xff)};
    return QByteArray(ip, 4);
}

QString macText(const QByteArray& mac)
{
    return QString::fromLatin1(mac.toHex(':'));
}

QString macOf(const DeviceRecord* device)
{
    uint8_t mac[6];
    device->macBytes(mac);
    return macText(QByteArray(reinterpret_cast<const char*>(mac), 6));
}

QByteArray ipOf(const DeviceRecord* device)
{
    uint8_t ip[4];
    device->ipBytes(ip);
    return QByteArray(reinterpret_cast<const char*>(ip), 4);
}

QString ipText(const QByteArray& ip)
{
    return QStringLiteral("%1.%2.%3.%4").arg(uint8_t(ip[0])).arg(uint8_t(ip[1])).arg(uint8_t(ip[2])).arg(uint8_t(ip[3]));
}

// A record addressed the way the emulator places device k, without a search.
struct DeviceRef
{
    explicit DeviceRef(int k) : device(DeviceRecord::create())
    {
        device->setMacBytes(reinterpret_cast<const uint8_t*>(deviceMac(k).constData()));
        device->setIpBytes(reinterpret_cast<const uint8_t*>(deviceIp(k).constData()));
    }
    ~DeviceRef() { device->release(); }
    DeviceRef(const DeviceRef&) = delete;
    DeviceRef& operator=(const DeviceRef&) = delete;
    DeviceRecord* device;
};

// The records of one search; releases them when it goes.
class Found
{
public:
    Found(ProtocolClient& client, int timeoutMs = SearchMs) { client.search(m_devices, timeoutMs, false); }
    ~Found()
    {
        for (DeviceRecord* device : qAsConst(m_devices))
            device->release();
    }
    Found(const Found&) = delete;
    Found& operator=(const Found&) = delete;

    const QList<DeviceRecord*>& all() const { return m_devices; }
    // Records that answered from the emulator's k-th device, by the MAC of the frame.
    QList<DeviceRecord*> of(int k) const { return from(macText(deviceMac(k))); }
    QList<DeviceRecord*> from(const QString& mac) const
    {
        QList<DeviceRecord*> out;
        for (DeviceRecord* device : m_devices) {
            if (macOf(device) == mac)
                out.append(device);
        }
        return out;
    }

private:
    QList<DeviceRecord*> m_devices;
};

// Keeps what the protocol client reports receiving, with the time each text arrived.
class Recorder : public CommandObserver
{
public:
    struct Received
    {
        qint64 atMs;
        QByteArray text;
    };

    Recorder() { m_clock.start(); }
    void onSendCommand(ProtocolClient*, const char*) override {}
    void onRecvCommand(ProtocolClient*, const char* text) override
    {
        QMutexLocker lock(&m_mutex);
        m_received.append({m_clock.elapsed(), QByteArray(text)});
    }
    qint64 now() const { return m_clock.elapsed(); }
    QList<Received> received() const
    {
        QMutexLocker lock(&m_mutex);
        return m_received;
    }

private:
    QElapsedTimer m_clock;
    mutable QMutex m_mutex;
    QList<Received> m_received;
};

QJsonObject parsed(const QByteArray& text)
{
    return QJsonDocument::fromJson(text).object();
}

// The emulator in the far namespace, run as its own program.
class EmulatorProcess
{
public:
    ~EmulatorProcess() { stop(); }

    bool start(const NetNamespacePair& pair, const QByteArray& config, int generated, QString* error)
    {
        if (!m_dir.isValid()) {
            *error = QStringLiteral("no temporary directory");
            return false;
        }
        const QString configPath = m_dir.filePath(QStringLiteral("devices.json"));
        const QString readyPath = m_dir.filePath(QStringLiteral("ready"));
        QFile file(configPath);
        if (!file.open(QIODevice::WriteOnly) || file.write(config) != config.size()) {
            *error = QStringLiteral("cannot write %1").arg(configPath);
            return false;
        }
        file.close();
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral("ip"),
                        {QStringLiteral("netns"), QStringLiteral("exec"), pair.namespaceName(NetNamespacePair::Far),
                         QStringLiteral(ORVANE_EMULATOR_PATH), QStringLiteral("--interface"),
                         pair.interfaceName(NetNamespacePair::Far), QStringLiteral("--config"), configPath,
                         QStringLiteral("--devices"), QString::number(generated), QStringLiteral("--log"),
                         logPath(), QStringLiteral("--ready-file"), readyPath});
        if (!m_process.waitForStarted()) {
            *error = QStringLiteral("the emulator did not start: %1").arg(m_process.errorString());
            return false;
        }
        QElapsedTimer timer;
        timer.start();
        while (!QFile::exists(readyPath) && m_process.state() == QProcess::Running && timer.elapsed() < 15000)
            m_process.waitForFinished(20);
        if (!QFile::exists(readyPath)) {
            *error = QStringLiteral("the emulator did not come up");
            return false;
        }
        return true;
    }

    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(10000))
            m_process.kill();
        m_process.waitForFinished(1000);
    }

    QString logPath() const { return m_dir.filePath(QStringLiteral("emulator.log")); }

    // The commands the emulator received for one MAC, as parsed JSON objects in order.
    QList<QJsonObject> commandsTo(const QString& mac) const
    {
        QList<QJsonObject> out;
        QFile log(logPath());
        if (!log.open(QIODevice::ReadOnly))
            return out;
        for (const QByteArray& line : log.readAll().split('\n')) {
            if (line.isEmpty() || line.startsWith('#'))
                continue;
            const int first = line.indexOf(' ');
            const int second = line.indexOf(' ', first + 1);
            if (first < 0 || second < 0 || line.mid(first + 1, second - first - 1) != mac.toLatin1())
                continue;
            out.append(parsed(line.mid(second + 1)));
        }
        return out;
    }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
};

// Opens client on the near end of pair, its capture threads inside the near namespace.
bool openNear(ProtocolClient& client, const NetNamespacePair& pair, QString* error)
{
    NetnsScope scope(pair.namespaceName(NetNamespacePair::Near));
    RawPacketSocket probe;
    if (!scope.ok() || !probe.open(pair.interfaceName(NetNamespacePair::Near))) {
        *error = QStringLiteral("cannot open the near interface: %1").arg(probe.lastError());
        return false;
    }
    Adapter adapter;
    Adapter::setText(adapter.pcapName, pair.interfaceName(NetNamespacePair::Near).toUtf8().constData());
    Adapter::setText(adapter.description, "test wire");
    memcpy(adapter.address, probe.mac().constData(), 6);
    const uint8_t ip[4] = {198, 18, 0, 1};
    const uint8_t mask[4] = {255, 255, 255, 0};
    memcpy(adapter.ip, ip, 4);
    memcpy(adapter.mask, mask, 4);
    client.open(&adapter);
    return true;
}

// A capture handle opens asynchronously; until it does, replies are lost.
bool waitUntilDevicesAnswer(ProtocolClient& client)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 15000) {
        Found found(client, 200);
        if (!found.all().isEmpty())
            return true;
    }
    return false;
}

QString sipText(const SipAccountSettings& s)
{
    return QStringList{s.account, s.password, s.displayName, s.serverHost, s.serverPort}.join(QLatin1Char('|'));
}

SipAccountSettings sip(const QString& account, const QString& password, const QString& displayName,
                const QString& serverHost, const QString& serverPort)
{
    SipAccountSettings s;
    s.account = account;
    s.password = password;
    s.displayName = displayName;
    s.serverHost = serverHost;
    s.serverPort = serverPort;
    return s;
}

// The channels that hold anything, as "index:enable,ip,port" joined by blanks.
QString rtpText(const QList<RtpChannelSettings>& channels)
{
    QStringList parts;
    for (int i = 0; i < channels.size(); ++i) {
        const RtpChannelSettings& c = channels.at(i);
        if (c.enable != 0 || !c.rtpIP.isEmpty() || c.rtpPort != 0)
            parts.append(QStringLiteral("%1:%2,%3,%4").arg(i).arg(c.enable).arg(c.rtpIP).arg(c.rtpPort));
    }
    return parts.join(QLatin1Char(' '));
}

QList<RtpChannelSettings> tenChannels()
{
    QList<RtpChannelSettings> channels;
    for (int i = 0; i < ProtocolClient::RtpChannelCount; ++i)
        channels.append(RtpChannelSettings(i & 1, QStringLiteral("239.0.7.%1").arg(i + 1), 6000 + 2 * i));
    return channels;
}

using Command = std::function<int(ProtocolClient&, DeviceRecord*)>;
// Reads back, through the wire, what the command should have changed.
using Observe = std::function<QString(ProtocolClient&, const EmulatorProcess&, DeviceRecord*)>;

Observe searched(std::function<QString(const DeviceRecord*)> field)
{
    return [field](ProtocolClient& client, const EmulatorProcess&, DeviceRecord* device) {
        Found found(client);
        const QList<DeviceRecord*> records = found.from(macOf(device));
        return records.size() == 1 ? field(records.first())
                                   : QStringLiteral("%1 search replies").arg(records.size());
    };
}

Observe methodsReceived()
{
    return [](ProtocolClient&, const EmulatorProcess& emulator, DeviceRecord* device) {
        QStringList methods;
        for (const QJsonObject& command : emulator.commandsTo(macOf(device)))
            methods.append(command.value(QStringLiteral("method")).toString());
        return methods.join(QLatin1Char(' '));
    };
}

Observe sipRead()
{
    return [](ProtocolClient& client, const EmulatorProcess&, DeviceRecord* device) {
        SipAccountSettings first, second;
        if (client.getSipSettings(device, first, second) != 0)
            return QStringLiteral("GetSipSettings failed");
        return sipText(first) + QStringLiteral(" / ") + sipText(second);
    };
}

Observe rtpRead()
{
    return [](ProtocolClient& client, const EmulatorProcess&, DeviceRecord* device) {
        QList<RtpChannelSettings> channels;
        for (int i = 0; i < ProtocolClient::RtpChannelCount; ++i)
            channels.append(RtpChannelSettings());
        if (client.getRtpSettings(device, channels) != 0)
            return QStringLiteral("GetRtpSettings failed");
        return rtpText(channels);
    };
}

} // namespace

Q_DECLARE_METATYPE(Command)
Q_DECLARE_METATYPE(Observe)

class TestWireFormat : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();

    void everyOperationReachesTheDevice_data();
    void everyOperationReachesTheDevice();
    void setMacMovesTheDevice();
    void misbehavingDevices_data();
    void misbehavingDevices();
    void cancelEndsTheWaitAtOnce_data();
    void cancelEndsTheWaitAtOnce();
    void lateReplyIsNotTakenForTheNextCommand();
    void thousandDevicesAnswerOneSearch();

private:
    std::unique_ptr<NetNamespacePair> m_pair;
    std::unique_ptr<EmulatorProcess> m_emulator;
    std::unique_ptr<ProtocolClient> m_client;
    Recorder m_recorder;
};

void TestWireFormat::initTestCase()
{
    // Every frame would otherwise be echoed as a debug line.
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    ORVANE_REQUIRE_NETNS();
    m_pair = std::make_unique<NetNamespacePair>();
    QVERIFY2(m_pair->ok(), qPrintable(m_pair->error()));
    m_emulator = std::make_unique<EmulatorProcess>();
    QString error;
    QVERIFY2(m_emulator->start(*m_pair, DeviceConfig, PlainCount, &error), qPrintable(error));
    m_client = std::make_unique<ProtocolClient>();
    m_client->setObserver(&m_recorder);
    QVERIFY2(openNear(*m_client, *m_pair, &error), qPrintable(error));
    QVERIFY2(waitUntilDevicesAnswer(*m_client), "no device answered a search");
}

void TestWireFormat::cleanupTestCase()
{
    // The capture threads go before the namespace that holds their interface.
    m_client.reset();
    m_emulator.reset();
    m_pair.reset();
}

void TestWireFormat::everyOperationReachesTheDevice_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<Command>("command");
    QTest::addColumn<Observe>("observe");
    QTest::addColumn<QString>("expected");

    int k = FirstPlain;
    const QString awkwardName = QStringLiteral("Hall \"7\" \\ \u00e9\u4e2d");
    QTest::newRow("SetName, quotes and non-ASCII")
        << k++ << Command([awkwardName](ProtocolClient& client, DeviceRecord* d) { return client.setName(d, awkwardName); })
        << searched([](const DeviceRecord* d) { return d->name(); }) << awkwardName;
    QTest::newRow("SetSN") << k++
                           << Command([](ProtocolClient& client, DeviceRecord* d) { return client.setSN(d, "SN-ABC-0013"); })
                           << searched([](const DeviceRecord* d) { return d->sn(); }) << "SN-ABC-0013";
    QTest::newRow("SetIp dhcp") << k++ << Command([](ProtocolClient& client, DeviceRecord* d) { return client.setIpDhcp(d); })
                                << searched([](const DeviceRecord* d) { return d->ipMode(); }) << "dhcp";
    // The device answers from its new address from then on.
    QTest::newRow("SetIp static")
        << k++ << Command([](ProtocolClient& client, DeviceRecord* d) {
               return client.setIpStatic(d, "198.18.2.15", "198.18.2.254", "255.255.255.0", "198.18.2.53", "");
           })
        << searched([](const DeviceRecord* d) {
               return QStringList{ipText(ipOf(d)), d->ipMode(), d->ip(), d->gateway(), d->netmask(), d->dns1(),
                                  d->dns2()}
                   .join(QLatin1Char('|'));
           })
        << "198.18.2.15|static|198.18.2.15|198.18.2.254|255.255.255.0|198.18.2.53|";
    QTest::newRow("SetServer")
        << k++ << Command([](ProtocolClient& client, DeviceRecord* d) { return client.setServer(d, "198.18.3.3", 8088); })
        << searched([](const DeviceRecord* d) {
               return d->value(QStringLiteral("serverIp")) + ':' + d->value(QStringLiteral("serverPort"));
           })
        << "198.18.3.3:8088";
    QTest::newRow("SetDeviceInfo")
        << k++ << Command([](ProtocolClient& client, DeviceRecord* d) {
               return client.setDeviceInfo(d, "0571", "1017", "Gate 17", 3, "A1", "B2", "C3", "D4");
           })
        << searched([](const DeviceRecord* d) {
               QStringList parts{d->name()};
               for (const char* key : {"areaCode", "number", "powerLevel", "resourceTypeSequenceCode",
                                       "resourceSonTypeSequenceCode", "resourceTypeCode", "resourceSonTypeCode"})
                   parts.append(d->value(QLatin1String(key)));
               return parts.join(QLatin1Char('|'));
           })
        << "Gate 17|0571|1017|3|A1|B2|C3|D4";
    QTest::newRow("PlayVolume") << k++
                                << Command([](ProtocolClient& client, DeviceRecord* d) { return client.playVolume(d); })
                                << methodsReceived() << "PlayVolume";
    QTest::newRow("SetDeviceVolume")
        << k++ << Command([](ProtocolClient& client, DeviceRecord* d) { return client.setDeviceVolume(d, 3, 9, 1); })
        << searched([](const DeviceRecord* d) {
               return QStringLiteral("%1 %2 %3")
                   .arg(d->value(QStringLiteral("micVolume")), d->value(QStringLiteral("outVolume")))
                   .arg(d->autoMute());
           })
        << "3 9 1";
    QTest::newRow("SetAccountPassword")
        << k++ << Command([](ProtocolClient& client, DeviceRecord* d) {
               return client.setAccountPassword(d, "operator", QStringLiteral("pa\"ss\\w0rd"));
           })
        << searched([](const DeviceRecord* d) { return d->account() + '|' + d->password(); })
        << "operator|pa\"ss\\w0rd";
    QTest::newRow("SetSipSettings")
        << k++ << Command([](ProtocolClient& client, DeviceRecord* d) {
               return client.setSipSettings(d, sip("2001", "s\"cret", "Front", "198.18.6.6", "5061"),
                                         sip("2002", "x", "", "198.18.6.7", "5062"));
           })
        << sipRead() << "2001|s\"cret|Front|198.18.6.6|5061 / 2002|x||198.18.6.7|5062";
    QTest::newRow("GetSipSettings") << int(Preset) << Command([](ProtocolClient& client, DeviceRecord* d) {
        SipAccountSettings first, second;
        return client.getSipSettings(d, first, second);
    }) << sipRead() << "1011|pw11|Desk|198.18.5.5|5070 / ||||5060";
    QTest::newRow("SetRtpSettings")
        << k++ << Command([](ProtocolClient& client, DeviceRecord* d) { return client.setRtpSettings(d, tenChannels()); })
        << rtpRead() << rtpText(tenChannels());
    QTest::newRow("GetRtpSettings") << int(Preset) << Command([](ProtocolClient& client, DeviceRecord* d) {
        QList<RtpChannelSettings> channels;
        for (int i = 0; i < ProtocolClient::RtpChannelCount; ++i)
            channels.append(RtpChannelSettings());
        return client.getRtpSettings(d, channels);
    }) << rtpRead() << "3:1,239.1.2.3,5004";
    QTest::newRow("reboot") << k++ << Command([](ProtocolClient& client, DeviceRecord* d) { return client.reboot(d); })
                            << methodsReceived() << "reboot";
    const int resetNumber = k++;
    QTest::newRow("ResetDefault") << resetNumber << Command([](ProtocolClient& client, DeviceRecord* d) {
        if (client.setName(d, "Temporary") != 0 || client.setDeviceVolume(d, 1, 1, 1) != 0)
            return -2;
        return client.resetDefault(d);
    }) << searched([](const DeviceRecord* d) {
        return d->name() + '|' + d->value(QStringLiteral("micVolume"));
    }) << QStringLiteral("Device %1|5").arg(resetNumber);
    Q_ASSERT(k < FirstPlain + PlainCount);
}

// Each row works on a device of its own, found by a search as the program finds it.
void TestWireFormat::everyOperationReachesTheDevice()
{
    QFETCH(int, number);
    QFETCH(Command, command);
    QFETCH(Observe, observe);
    QFETCH(QString, expected);

    DeviceRecord* device = nullptr;
    {
        Found found(*m_client);
        const QList<DeviceRecord*> records = found.of(number);
        QCOMPARE(records.size(), 1);
        device = records.first();
        device->retain();
    }
    struct Release
    {
        DeviceRecord* d;
        ~Release() { d->release(); }
    } release{device};

    QCOMPARE(command(*m_client, device), 0);
    QCOMPARE(m_client->lastOutcome(), ProtocolClient::Outcome::Success);
    QCOMPARE(observe(*m_client, *m_emulator, device), expected);
}

void TestWireFormat::setMacMovesTheDevice()
{
    const int number = FirstPlain + PlainCount - 1;
    const QString oldMac = macText(deviceMac(number));
    const QString newMac = QStringLiteral("02:00:00:00:7e:%1").arg(number, 2, 16, QLatin1Char('0'));
    DeviceRef ref(number);
    QCOMPARE(m_client->setMac(ref.device, newMac), 0);
    {
        Found found(*m_client);
        QCOMPARE(found.from(oldMac).size(), 0);
        QCOMPARE(found.from(newMac).size(), 1);
        QCOMPARE(found.from(newMac).first()->mac(), newMac);
    }
    QVERIFY(ref.device->setMacText(newMac.toUpper().replace(QLatin1Char(':'), QLatin1Char('-'))));
    QCOMPARE(macOf(ref.device), newMac);
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(m_client->playVolume(ref.device), 0);
    QVERIFY(timer.elapsed() < PromptMs);
    QCOMPARE(m_emulator->commandsTo(newMac).size(), 1);
    QCOMPARE(m_emulator->commandsTo(newMac).first().value(QStringLiteral("method")).toString(),
             QStringLiteral("PlayVolume"));
}

void TestWireFormat::misbehavingDevices_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<bool>("timesOut");
    QTest::addColumn<int>("searchRecords");
    QTest::addColumn<QString>("searchName");
    QTest::addColumn<int>("longestText"); // -1: not checked

    using O = ProtocolClient::Outcome;
    QTest::newRow("id as a string") << int(IdAsString) << 0 << int(O::Success) << false << 1 << "Device 3" << -1;
    // Keys match without regard to case, so "METHOD" and "RESULT" count;
    // "NAME" is no field name, and lands among the others.
    QTest::newRow("capital keys") << int(CapitalKeys) << 0 << int(O::Success) << false << 1 << "" << -1;
    QTest::newRow("result fail") << int(Fails) << -1 << int(O::Failed) << false << 1 << "Device 5" << -1;
    QTest::newRow("broken JSON") << int(BrokenJson) << -1 << int(O::NoAnswer) << true << 0 << "" << -1;
    QTest::newRow("1514-byte frames") << int(FullFrame) << 0 << int(O::Success) << false << 1 << "Device 7"
                                      << 1514 - 60;
    QTest::newRow("foreign replies") << int(ForeignReplies) << 0 << int(O::Success) << false << 1 << "Device 8"
                                     << -1;
    // The second answer of a device is dropped as it arrives.
    QTest::newRow("answers twice") << int(Twice) << 0 << int(O::Success) << false << 1 << "Device 9" << -1;
    QTest::newRow("capitalised search") << int(CapitalSearch) << 0 << int(O::Success) << false << 0 << "" << -1;
    QTest::newRow("silent") << int(Silent) << -1 << int(O::NoAnswer) << true << 0 << "" << -1;
}

void TestWireFormat::misbehavingDevices()
{
    QFETCH(int, number);
    QFETCH(int, result);
    QFETCH(int, outcome);
    QFETCH(bool, timesOut);
    QFETCH(int, searchRecords);
    QFETCH(QString, searchName);
    QFETCH(int, longestText);

    const qint64 since = m_recorder.now();
    {
        Found found(*m_client);
        const QList<DeviceRecord*> records = found.of(number);
        QCOMPARE(records.size(), searchRecords);
        for (const DeviceRecord* record : records) {
            QCOMPARE(record->name(), searchName);
            QCOMPARE(ipOf(record), deviceIp(number));
        }
        // Whatever else arrives, no record may name a sender the emulator does not play.
        for (const DeviceRecord* record : found.all())
            QVERIFY2(macOf(record).startsWith(QLatin1String("02:00:00:00:")), qPrintable(macOf(record)));
    }

    DeviceRef ref(number);
    const uint32_t id = m_client->nextId();
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(m_client->playVolume(ref.device), result);
    const qint64 elapsed = timer.elapsed();
    QCOMPARE(int(m_client->lastOutcome()), outcome);
    if (timesOut)
        QVERIFY2(elapsed >= TimeoutLowMs && elapsed < TimeoutHighMs, qPrintable(QString::number(elapsed)));
    else
        QVERIFY2(elapsed < PromptMs, qPrintable(QString::number(elapsed)));

    if (number == ForeignReplies) {
        // The decoy really came and was passed over.
        bool decoySeen = false;
        for (const Recorder::Received& r : m_recorder.received()) {
            if (r.atMs >= since && parsed(r.text).value(QStringLiteral("id")).toInt(-1) == int(id) + 1000)
                decoySeen = true;
        }
        QVERIFY(decoySeen);
    }
    if (longestText >= 0) {
        int longest = 0;
        for (const Recorder::Received& r : m_recorder.received()) {
            if (r.atMs >= since)
                longest = qMax(longest, r.text.size());
        }
        QCOMPARE(longest, longestText);
    }
    if (!timesOut)
        QCOMPARE(m_emulator->commandsTo(macText(deviceMac(number))).size(), 1);
}

void TestWireFormat::cancelEndsTheWaitAtOnce_data()
{
    QTest::addColumn<bool>("search");
    QTest::newRow("command") << false;
    QTest::newRow("search") << true;
}

void TestWireFormat::cancelEndsTheWaitAtOnce()
{
    QFETCH(bool, search);
    DeviceRef silent(Silent);
    QElapsedTimer timer;
    timer.start();
    std::thread canceller([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(CancelAfterMs));
        m_client->cancelWait();
    });
    int result = 0;
    int found = 0;
    if (search) {
        QList<DeviceRecord*> devices;
        m_client->search(devices, 20000, false);
        found = devices.size();
        for (DeviceRecord* device : qAsConst(devices))
            device->release();
    } else {
        result = m_client->playVolume(silent.device);
    }
    const qint64 elapsed = timer.elapsed();
    canceller.join();
    QVERIFY2(elapsed >= CancelAfterMs - 50 && elapsed < PromptMs, qPrintable(QString::number(elapsed)));
    if (search) {
        QVERIFY(found > 0);
    } else {
        QCOMPARE(result, -1);
        QCOMPARE(m_client->lastOutcome(), ProtocolClient::Outcome::Cancelled);
    }
    // The cancel belongs to that wait only.
    DeviceRef plain(FirstPlain + PlainCount - 2);
    QCOMPARE(m_client->playVolume(plain.device), 0);
}

// A success that arrives after its command gave up must not be taken for the
// answer to the command waiting at that moment.
void TestWireFormat::lateReplyIsNotTakenForTheNextCommand()
{
    DeviceRef late(Late);
    DeviceRef silent(Silent);
    const uint32_t lateId = m_client->nextId();
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(m_client->playVolume(late.device), -1);
    QCOMPARE(m_client->lastOutcome(), ProtocolClient::Outcome::NoAnswer);
    const qint64 nextStart = m_recorder.now();
    QCOMPARE(m_client->playVolume(silent.device), -1);
    QCOMPARE(m_client->lastOutcome(), ProtocolClient::Outcome::NoAnswer);
    const qint64 nextEnd = m_recorder.now();
    QVERIFY(timer.elapsed() >= 2 * TimeoutLowMs);

    // The late success did come while the second command waited.
    bool lateSeen = false;
    for (const Recorder::Received& r : m_recorder.received()) {
        const QJsonObject reply = parsed(r.text);
        if (reply.value(QStringLiteral("id")).toInt(-1) == int(lateId) &&
            reply.value(QStringLiteral("result")).toString() == QLatin1String("success"))
            lateSeen = r.atMs >= nextStart && r.atMs <= nextEnd;
    }
    QVERIFY(lateSeen);
}

void TestWireFormat::thousandDevicesAnswerOneSearch()
{
    const int count = 1000;
    NetNamespacePair pair;
    QVERIFY2(pair.ok(), qPrintable(pair.error()));
    EmulatorProcess emulator;
    QString error;
    QVERIFY2(emulator.start(pair, "[]", count, &error), qPrintable(error));
    ProtocolClient client;
    QVERIFY2(openNear(client, pair, &error), qPrintable(error));
    QVERIFY2(waitUntilDevicesAnswer(client), "no device answered a search");

    const Found found(client, 3000);
    QCOMPARE(found.all().size(), count);
    QSet<QString> macs;
    for (const DeviceRecord* device : found.all()) {
        const QString mac = macOf(device);
        macs.insert(mac);
        // Each record pairs a MAC with the address the same device answered from.
        const int k = mac.mid(12, 2).toInt(nullptr, 16) * 256 + mac.mid(15, 2).toInt(nullptr, 16);
        QCOMPARE(ipOf(device), deviceIp(k));
        QCOMPARE(device->name(), QStringLiteral("Device %1").arg(k));
    }
    QCOMPARE(macs.size(), count);

    for (DeviceRecord* device : found.all())
        device->retain();
    const QList<DeviceRecord*> kept = DeviceSearch::accept(found.all());
    QCOMPARE(kept.size(), count);
    QCOMPARE(kept.first()->mac(), macText(deviceMac(1)));
    QCOMPARE(kept.last()->mac(), macText(deviceMac(count)));
    for (DeviceRecord* device : kept)
        device->release();
}

QTEST_GUILESS_MAIN(TestWireFormat)
#include "tst_wireformat.moc"
