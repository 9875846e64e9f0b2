// libFuzzer target for what reaches the program as text or a file rather than
// as a raw frame. The first byte picks the reader, the rest is its input.
#include "AppConfig.h"
#include "BatchRules.h"
#include "CommandFrame.h"
#include "CommandLogText.h"
#include "DeviceRecord.h"
#include "DeviceSearch.h"
#include "FileAudioReader.h"
#include "FirmwareUploadThread.h"
#include "HttpClient.h"
#include "Language.h"
#include "ProtocolClient.h"
#include "RawFrame.h"
#include "RtpChannelSettings.h"
#include "SipAccountSettings.h"
#include "StreamDestination.h"
#include "AudioPacket.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSet>
#include <cjson/cJSON.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

void require(bool condition, const char* what)
{
    if (!condition) {
        fprintf(stderr, "fuzz_text: %s\n", what);
        abort();
    }
}

QString g_directory;
const uint8_t OwnMac[6] = {0x02, 0xaa, 0xbb, 0xcc, 0xdd, 0x01};
const uint8_t OwnIp[4] = {198, 18, 0, 1};
const uint8_t DeviceIp[4] = {198, 18, 1, 1};

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

// Every string under a key naming a password, at any depth, as the JSON library reads it.
void secrets(const cJSON* item, bool secret, QList<QByteArray>& out)
{
    for (const cJSON* c = item ? item->child : nullptr; c; c = c->next) {
        const QByteArray key = QByteArray(c->string ? c->string : "").toLower();
        const bool s = secret || key.contains("pass") || key.contains("pwd");
        if (s && cJSON_IsString(c))
            out << QByteArray(c->valuestring);
        secrets(c, s, out);
    }
}

void masker(const QByteArray& bytes)
{
    const QByteArray masked = CommandLogText::maskPasswords(bytes);
    require(!CommandLogText::fromCommand(bytes.constData()).contains('\n'), "a log line spans two lines");
    cJSON* json = cJSON_ParseWithLength(bytes.constData(), size_t(bytes.size()));
    QList<QByteArray> found;
    secrets(json, false, found);
    cJSON_Delete(json);
    // A secret written plainly, found nowhere else in the text, must be gone.
    for (const QByteArray& s : found) {
        if (s.size() >= 3 && !s.contains('\\') && !s.contains('"') && bytes.count(s) == 1)
            require(!masked.contains(s), "a password reached the log");
    }
}

void batchRules(const QByteArray& bytes)
{
    const QString text = QString::fromUtf8(bytes);
    const QStringList parts = text.split(QLatin1Char(' '));
    if (parts.size() >= 2) {
        QString why;
        for (const QString& address :
             BatchRules::consecutiveAddresses(parts.at(0), parts.at(1), int(bytes.size() % 300), &why))
            require(BatchRules::checkStaticAddress(address, parts.at(1), QString()).isEmpty(),
                    "a batch handed out an address outside its subnet's hosts");
    }
    for (const QString& mac : BatchRules::macSequence(text.left(64), int(bytes.size() % 8)))
        BatchRules::macKey(mac);
    BatchRules::numbered(text.left(256), int(bytes.size() % 1000));
    // What the checks let through is what reaches the device.
    const QString endpoint = text.left(64);
    if (BatchRules::checkRtpEndpoint(endpoint).isEmpty() && !endpoint.isEmpty()) {
        const RtpChannelSettings channel = RtpChannelSettings::fromEndpointText(endpoint);
        require(channel.isSet() && channel.rtpPort <= 65535, "an endpoint that passed its check has no port");
        require(RtpChannelSettings::fromEndpointText(channel.endpointText()) == channel, "an endpoint changed on display");
    }
    StreamDestination destination;
    if (StreamDestination::parse(endpoint, &destination).isEmpty())
        require(destination.port >= 1 && destination.port <= 65534 && BatchRules::isValidAddress(destination.address),
                "a broadcast destination that passed its check");
}

void http(const QByteArray& bytes)
{
    HttpClient::sessionFromCookie(bytes);
    FirmwareUploadThread::isLoginAccepted(bytes);
    const int cut = bytes.indexOf('\n');
    const QString account = QString::fromUtf8(bytes.left(cut)), password = QString::fromUtf8(bytes.mid(cut + 1));
    const QByteArray body = HttpClient::loginBody(account, password);
    require(body.count('&') == 1 && body.count('=') == 2, "a login value cut the form into other fields");
    const QByteArray disposition = HttpClient::contentDisposition(account);
    require(disposition.count('"') == 4 && !disposition.contains('\n') && !disposition.contains('\r'),
            "a file name ended its header early");
}

void language(const QByteArray& bytes)
{
    writeFile(g_directory + QStringLiteral("/fuzz.txt"), bytes);
    Language::load(QStringLiteral("fuzz"));
    for (auto it = Language::table().cbegin(); it != Language::table().cend(); ++it)
        require(!it.key().contains(QLatin1Char('\n')), "a language key spans two lines");
}

void ini(const QByteArray& bytes)
{
    writeFile(AppConfig::filePath(), bytes);
    AppConfig config;
    const QString all = config.language() + config.network() + config.deviceId() + config.rtpServer() +
                        config.planFolder() + config.rtpFileList().join(QString());
    volatile int sink = config.alarmTest() + config.rtpSourceIndex() + all.size();
    (void)sink;
}

// Replies fed to a protocol client as they would arrive; each command is then
// closed by a success carrying its id.
QList<QByteArray> g_answers;
struct Wire
{
    ProtocolClient client;
    QList<QByteArray> sent;
    Wire()
    {
        client.setFrameSink([this](RawFrame* frame) {
            sent << QByteArray(CommandFrame::text(*frame));
            frame->release();
            const uint32_t id = client.nextId() - 1;
            for (int i = 0; i < g_answers.size(); ++i) {
                // The first byte names the sender among three MACs, or (3) the device sending elsewhere.
                const uint8_t c = uint8_t(g_answers[i].at(0)) & 3;
                const uint8_t from[6] = {0x02, 0, 0, 0, 0, uint8_t(c == 3 ? 0 : c)};
                const uint8_t to[6] = {0x02, 0xaa, 0xbb, 0xcc, 0xdd, uint8_t(c == 3 ? 2 : 1)};
                const QByteArray text = g_answers[i].mid(1);
                if (RawFrame* reply = CommandFrame::build(from, DeviceIp, to, OwnIp, text.constData(), text.size())) {
                    client.onPacket(reply);
                    reply->release();
                }
            }
            const QByteArray closing = "{\"id\":" + QByteArray::number(id) + ",\"result\":\"success\"}";
            const uint8_t device[6] = {0x02, 0, 0, 0, 0, 0};
            RawFrame* reply = CommandFrame::build(device, DeviceIp, OwnMac, OwnIp, closing.constData(), closing.size());
            client.onPacket(reply);
            reply->release();
        });
    }
    // What the last input left queued goes: memory that outlives an input reads as a leak.
    void open()
    {
        sent.clear();
        Adapter a;
        memcpy(a.address, OwnMac, 6);
        memcpy(a.ip, OwnIp, 4);
        client.open(&a);
    }
};

Wire& wire()
{
    static Wire* w = new Wire;
    return *w;
}

cJSON* lastSent()
{
    cJSON* json = cJSON_Parse(wire().sent.value(wire().sent.size() - 1).constData());
    require(json != nullptr, "a command went out that is not JSON");
    return json;
}

void search(const QByteArray& bytes)
{
    g_answers = bytes.split('\n');
    g_answers.removeAll(QByteArray());
    wire().open();
    QList<DeviceRecord*> found;
    // The answers are queued before the search waits; its time only covers a busy machine.
    wire().client.search(found, 2, bytes.size() & 1);
    QSet<QString> macs;
    for (DeviceRecord* d : found) {
        require(d->mac().startsWith(QLatin1String("02:00:00:00:00:0")), "a device listed under a MAC that never sent");
        require(!macs.contains(d->mac()), "two rows for one sender");
        macs.insert(d->mac());
    }
    const QList<DeviceRecord*> kept = DeviceSearch::accept(found, bytes.size() & 2);
    require(kept.size() <= macs.size(), "acceptance made devices");
    for (DeviceRecord* d : kept)
        d->release();
    g_answers.clear();
    wire().open();
}

// The read-then-write of the SIP and RTP pages: what was read goes back out as
// valid JSON and reads back as the same settings.
void readThenWrite(const QByteArray& bytes)
{
    g_answers = {bytes};
    g_answers.first().prepend('\0');
    wire().open();
    DeviceRecord* device = DeviceRecord::create();
    const uint8_t mac[6] = {0x02, 0, 0, 0, 0, 0};
    device->setMacBytes(mac);
    device->setIpBytes(DeviceIp);
    SipAccountSettings sip[2];
    wire().client.getSipSettings(device, sip[0], sip[1]);
    QList<RtpChannelSettings> channels;
    for (int i = 0; i < ProtocolClient::RtpChannelCount; ++i)
        channels << RtpChannelSettings();
    wire().client.getRtpSettings(device, channels);
    g_answers.clear();
    if (wire().client.setSipSettings(device, sip[0], sip[1]) == 0) {
        cJSON* json = lastSent();
        SipAccountSettings back[2];
        back[0].readJson(cJSON_GetObjectItemCaseSensitive(json, "sip0"));
        back[1].readJson(cJSON_GetObjectItemCaseSensitive(json, "sip1"));
        require(back[0] == sip[0] && back[1] == sip[1], "SIP settings changed on their way back");
        cJSON_Delete(json);
    }
    if (wire().client.setRtpSettings(device, channels) == 0) {
        cJSON* json = lastSent();
        for (int i = 0; i < channels.size(); ++i) {
            RtpChannelSettings back;
            back.readJson(cJSON_GetObjectItemCaseSensitive(json, qPrintable(QStringLiteral("rtp%1").arg(i))));
            require(back == channels[i], "an RTP channel changed on its way back");
        }
        cJSON_Delete(json);
    }
    device->release();
    wire().open();
}

void mp3(const QByteArray& bytes)
{
    FileAudioReader reader;
    reader.setFiles({QStringLiteral("fuzz.mp3")});
    reader.setMemoryInput(bytes);
    if (!reader.open())
        return;
    for (int i = 0; i < 64; ++i) {
        AudioPacket* packet = reader.readPacket();
        if (!packet)
            break;
        require(packet->size() <= FileAudioReader::MaxFrameBytes + 4, "a packet larger than any MPEG audio frame");
        delete packet;
    }
}

void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qInstallMessageHandler(quiet);
    g_directory = QDir::tempPath() + QStringLiteral("/orvane-fuzz-text-%1").arg(getpid());
    QDir().mkpath(g_directory);
    qputenv("XDG_CONFIG_HOME", g_directory.toUtf8());
    qputenv("XDG_DATA_HOME", g_directory.toUtf8());
    QCoreApplication::setApplicationName(QStringLiteral("orvane-fuzz"));
    Language::setDirectory(g_directory);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data) + 1, int(size - 1));
    // Seeds start with a digit: '0' is 48, so '0' to '7' pick the readers in this order.
    void (*const readers[])(const QByteArray&) = {masker, batchRules, http, language, ini, search, readThenWrite, mp3};
    readers[data[0] % 8](bytes);
    return 0;
}
