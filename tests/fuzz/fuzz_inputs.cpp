// libFuzzer target for all that comes from outside: frames, replies, files, typed text. The first
// byte picks the reader, the rest is its input; ORVANE_FUZZ_READER=N pins one for a share of a run.
#include "AppConfig.h"
#include "AudioPacket.h"
#include "BatchRules.h"
#include "CommandFrame.h"
#include "CommandLogText.h"
#include "DeviceRecord.h"
#include "DeviceReply.h"
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

#include <QDir>
#include <QSet>
#include <cjson/cJSON.h>
#include <cstdio>
#include <cstring>
#include <unistd.h>

using namespace orvane;

namespace {

// What a result must not be, checked where the sanitizers would not notice.
void require(bool condition, const char* what)
{
    if (!condition)
        qFatal("fuzz_inputs: %s", what);
}

QString g_directory;
int g_reader = -1;

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    (void)(file.open(QIODevice::WriteOnly) && file.write(bytes));
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
    for (const QByteArray& s : found)
        require(s.size() < 3 || s.contains('\\') || s.contains('"') || bytes.count(s) > 1 || !masked.contains(s),
                "a password reached the log");
}

void batchRules(const QByteArray& bytes)
{
    const QString text = QString::fromUtf8(bytes), head = text.left(64);
    const QStringList parts = text.split(QLatin1Char(' '));
    for (const QString& address : BatchRules::consecutiveAddresses(parts.value(0), parts.value(1), bytes.size() % 300, nullptr))
        require(BatchRules::checkStaticAddress(address, parts.value(1), QString()).isEmpty(),
                "a batch handed out an address outside its subnet's hosts");
    BatchRules::macKey(BatchRules::macSequence(head, bytes.size() % 8).value(0));
    BatchRules::numbered(text.left(256), bytes.size() % 1000);
    // What the checks let through is what reaches the device.
    if (!head.isEmpty() && BatchRules::checkRtpEndpoint(head).isEmpty()) {
        const RtpChannelSettings channel = RtpChannelSettings::fromEndpointText(head);
        require(channel.isSet() && channel.rtpPort <= 65535, "an endpoint that passed its check has no port");
        require(RtpChannelSettings::fromEndpointText(channel.endpointText()) == channel, "an endpoint changed on display");
    }
    StreamDestination to;
    require(!StreamDestination::parse(head, &to).isEmpty() ||
                (to.port >= 1 && to.port <= 65534 && BatchRules::isValidAddress(to.address)),
            "a broadcast destination passed its check");
}

void http(const QByteArray& bytes)
{
    HttpClient::sessionFromCookie(bytes);
    FirmwareUploadThread::isLoginAccepted(bytes);
    const int cut = bytes.indexOf('\n');
    const QByteArray body = HttpClient::loginBody(QString::fromUtf8(bytes.left(cut)), QString::fromUtf8(bytes.mid(cut + 1)));
    require(body.count('&') == 1 && body.count('=') == 2, "a login value cut the form into other fields");
    const QByteArray disposition = HttpClient::contentDisposition(QString::fromUtf8(bytes));
    require(disposition.count('"') == 4 && !disposition.contains('\n'), "a file name ended its header early");
}

void files(const QByteArray& bytes)
{
    writeFile(g_directory + QStringLiteral("/fuzz.txt"), bytes);
    Language::load(QStringLiteral("fuzz"));
    for (const QString& key : Language::table().keys())
        require(!key.contains(QLatin1Char('\n')), "a language key spans two lines");
    writeFile(AppConfig::filePath(), bytes);
    AppConfig c;
    volatile int sink = c.alarmTest() + c.rtpSourceIndex() + c.language().size() + c.network().size() +
                        c.deviceId().size() + c.rtpServer().size() + c.planFolder().size() + c.rtpFileList().size();
    (void)sink;
}

// A protocol client whose commands are answered on the spot by the lines of
// the input, each behind a byte that names its sender among three MACs (3:
// the device, but addressed to another host), and then by a success.
const uint8_t OwnMac[6] = {0x02, 0xaa, 0xbb, 0xcc, 0xdd, 0x01};
const uint8_t Ip[4] = {198, 18, 1, 1};
QList<QByteArray> g_answers;
RawFrame* g_frame = nullptr; // a whole frame to answer with instead
QByteArray g_sent;

void feed(ProtocolClient& client, const QByteArray& text, uint8_t sender)
{
    const uint8_t from[6] = {0x02, 0, 0, 0, 0, uint8_t(sender == 3 ? 0 : sender)};
    uint8_t to[6] = {0x02, 0xaa, 0xbb, 0xcc, 0xdd, uint8_t(sender == 3 ? 2 : 1)};
    if (RawFrame* reply = CommandFrame::build(from, Ip, to, Ip, text.constData(), text.size())) {
        client.onPacket(reply);
        reply->release();
    }
}

ProtocolClient& client()
{
    static ProtocolClient* c = [] {
        auto* s = new ProtocolClient;
        s->setFrameSink([s](RawFrame* frame) {
            g_sent = CommandFrame::text(*frame);
            frame->release();
            for (const QByteArray& answer : g_answers)
                feed(*s, answer.mid(1), uint8_t(answer.at(0)) & 3);
            if (g_frame)
                s->onPacket(g_frame);
            feed(*s, "{\"id\":" + QByteArray::number(s->nextId() - 1) + ",\"result\":\"success\"}", 0);
        });
        return s;
    }();
    Adapter a; // opening again drops what is queued: memory left over would read as a leak
    memcpy(a.address, OwnMac, 6);
    memcpy(a.ip, Ip, 4);
    c->open(&a);
    return *c;
}

void search(const QByteArray& bytes)
{
    g_answers = bytes.split('\n');
    g_answers.removeAll(QByteArray());
    QList<DeviceRecord*> found;
    // The answers are queued before the search waits; its time only covers a busy machine.
    client().search(found, 2, bytes.size() & 1);
    QSet<QString> macs;
    for (DeviceRecord* d : found) {
        require(g_frame || d->mac().startsWith(QLatin1String("02:00:00:00:00:0")), "a device listed under a MAC that never sent");
        d->setMacText(d->mac()); // as the MAC page does after a change
        require(!macs.contains(d->mac()), "two rows for one sender");
        macs.insert(d->mac());
    }
    DeviceSearch::accept(found, bytes.size() & 2);
    g_answers.clear();
    client();
}

// The read-then-write of the SIP and RTP pages: what was read goes back out as
// valid JSON and reads back as the same settings.
void readThenWrite(const QByteArray& bytes)
{
    g_answers = g_frame ? QList<QByteArray>() : QList<QByteArray>{'\0' + bytes};
    DeviceRecord* device = DeviceRecord::create();
    device->setMacText(QStringLiteral("02:00:00:00:00:00"));
    device->setIpBytes(Ip);
    SipAccountSettings sip[2], back[2];
    QList<RtpChannelSettings> channels = QVector<RtpChannelSettings>(ProtocolClient::RtpChannelCount).toList();
    client().getSipSettings(device, sip[0], sip[1]);
    require(client().lastOutcome() != ProtocolClient::Outcome::NoAnswer, "a wait ran out although its answer was queued");
    client().getRtpSettings(device, channels);
    g_answers.clear();
    if (client().setSipSettings(device, sip[0], sip[1]) == 0) {
        cJSON* json = cJSON_Parse(g_sent.constData());
        back[0].readJson(cJSON_GetObjectItemCaseSensitive(json, "sip0"));
        back[1].readJson(cJSON_GetObjectItemCaseSensitive(json, "sip1"));
        require(json && back[0].toText() == sip[0].toText() && back[1].toText() == sip[1].toText(),
                "SIP settings changed on their way back");
        cJSON_Delete(json);
    }
    if (client().setRtpSettings(device, channels) == 0) {
        cJSON* json = cJSON_Parse(g_sent.constData());
        for (int i = 0; i < channels.size(); ++i) {
            RtpChannelSettings channel;
            channel.readJson(cJSON_GetObjectItemCaseSensitive(json, qPrintable(QStringLiteral("rtp%1").arg(i))));
            require(json && channel == channels[i], "an RTP channel changed on its way back");
        }
        cJSON_Delete(json);
    }
    device->release();
    client();
}

// A captured frame as it comes, through the reply and record readers and then
// as the answer to a read of the SIP and RTP settings.
void frame(const QByteArray& bytes)
{
    RawFrame* frame = RawFrame::fromBytes(reinterpret_cast<const uint8_t*>(bytes.constData()), bytes.size());
    if (!frame)
        return;
    require(bytes.size() < CommandFrame::TextOffset ||
                qstrlen(CommandFrame::text(*frame)) <= uint(bytes.size() - CommandFrame::TextOffset),
            "the text runs on behind the frame");
    if (CommandFrame::isCommandFrame(*frame, OwnMac)) {
        const std::unique_ptr<DeviceReply> reply = DeviceReply::fromFrame(*frame);
        require(!reply->hasDuplicateKeys() || !reply->json(), "a reply naming a key twice was kept");
        require(reply->hasId() || reply->id() == -1, "a reply without an id has one");
        require(reply->json() || !reply->isSuccess(), "a reply without JSON succeeds");
    }
    g_frame = frame;
    search(QByteArray());
    readThenWrite(QByteArray());
    g_frame = nullptr;
    frame->release();
}

void mp3(const QByteArray& bytes)
{
    FileAudioReader reader;
    reader.setFiles({QStringLiteral("fuzz.mp3")});
    reader.setMemoryInput(bytes);
    AudioPacket* packet = nullptr;
    for (int i = 0; i < 64 && (i > 0 || reader.open()) && (packet = reader.readPacket()); ++i, delete packet)
        require(packet->size() <= FileAudioReader::MaxFrameBytes + 4, "a packet larger than any MPEG audio frame");
}

// Only what ends the run is worth a line; every frame would write one.
void quiet(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type == QtFatalMsg)
        fprintf(stderr, "%s\n", qPrintable(text));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qInstallMessageHandler(quiet);
    // Language and configuration files, old and new, go to a folder of this run's own.
    g_directory = QDir::tempPath() + QStringLiteral("/orvane-fuzz-%1").arg(getpid());
    QDir().mkpath(g_directory);
    qputenv("XDG_CONFIG_HOME", g_directory.toUtf8());
    qputenv("XDG_DATA_HOME", g_directory.toUtf8());
    Language::setDirectory(g_directory);
    g_reader = qEnvironmentVariableIsSet("ORVANE_FUZZ_READER") ? qEnvironmentVariableIntValue("ORVANE_FUZZ_READER") : -1;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Seeds start with a digit: '0' is 48, so '0' to '7' pick the readers in this order.
    void (*const readers[])(const QByteArray&) = {masker, batchRules, http, files, search, readThenWrite, frame, mp3};
    if (size > 0)
        readers[g_reader >= 0 ? g_reader % 8 : data[0] % 8](QByteArray(reinterpret_cast<const char*>(data) + 1, int(size - 1)));
    return 0;
}
