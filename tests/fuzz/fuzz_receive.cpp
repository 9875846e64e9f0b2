// libFuzzer target: arbitrary frame bytes through everything a received frame
// reaches, from the capture record to a device record and the settings read
// out of a reply, and through the command set's own queue and wait.
#include "Adapter.h"
#include "CommandFrame.h"
#include "CommandLogText.h"
#include "DeviceRecord.h"
#include "DeviceReply.h"
#include "ProtocolClient.h"
#include "RawFrame.h"
#include "RtpChannelSettings.h"
#include "SipAccountSettings.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QtGlobal>
#include <cjson/cJSON.h>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const uint8_t OwnMac[6] = {0x02, 0xaa, 0xbb, 0xcc, 0xdd, 0x01};
const uint8_t OwnIp[4] = {198, 18, 0, 1};
const uint8_t DeviceMac[6] = {0x02, 0x00, 0x00, 0x00, 0x00, 0x01};
const uint8_t DeviceIp[4] = {198, 18, 1, 1};

// What a result must not be, checked where the sanitizers would not notice.
void require(bool condition, const char* what)
{
    if (!condition) {
        fprintf(stderr, "fuzz_receive: %s\n", what);
        abort();
    }
}

// Reads every value a record offers, so that a field left half-made shows.
size_t readDevice(DeviceRecord* device)
{
    size_t sum = 0;
    for (int f = 0; f < DeviceRecord::FieldCount; ++f)
        sum += size_t(device->text(DeviceRecord::Field(f)).size());
    const QMap<QString, QString> others = device->others();
    for (auto it = others.cbegin(); it != others.cend(); ++it) {
        sum += size_t(device->value(it.key()).size());
        sum += size_t(device->intValue(it.key()));
    }
    sum += size_t(device->autoMute()) + size_t(device->account().size()) + size_t(device->password().size());
    uint8_t mac[6];
    uint8_t ip[4];
    device->macBytes(mac);
    device->ipBytes(ip);
    sum += mac[5] + ip[3] + size_t(device->hasMac());
    require(!DeviceRecord::ipAsc(device, device) && !DeviceRecord::macDesc(device, device) &&
                !DeviceRecord::nameAsc(device, device) && !DeviceRecord::uidDesc(device, device),
            "a record sorts before itself");
    // The MAC page feeds the record's own mac text back in after a change.
    device->setMacText(device->mac());
    return sum;
}

size_t readSettings(const DeviceReply& reply)
{
    size_t sum = 0;
    SipAccountSettings sip[2];
    sip[0].readJson(reply.member("sip0"));
    sip[1].readJson(reply.member("sip1"));
    for (const SipAccountSettings& s : sip) {
        sum += size_t(s.toText().size()) + size_t(s.isComplete());
        SipAccountSettings copy = s;
        require(copy == s, "a SIP account differs from its copy");
    }
    for (int i = 0; i < ProtocolClient::RtpChannelCount; ++i) {
        char name[16];
        snprintf(name, sizeof name, "rtp%d", i);
        RtpChannelSettings channel;
        channel.readJson(reply.member(name));
        cJSON* json = channel.toJson();
        char* printed = cJSON_PrintUnformatted(json);
        sum += printed ? strlen(printed) : 0;
        cJSON_free(printed);
        cJSON_Delete(json);
        sum += size_t(channel.isSet());
    }
    return sum;
}

// The frame under test, answered to every command the protocol client sends below.
RawFrame* g_frame = nullptr;

RawFrame* replyFrame(const char* text)
{
    return CommandFrame::build(DeviceMac, DeviceIp, OwnMac, OwnIp, text, int(strlen(text)));
}

Adapter adapter()
{
    Adapter a;
    Adapter::setText(a.pcapName, "fuzz0");
    memcpy(a.address, OwnMac, 6);
    memcpy(a.ip, OwnIp, 4);
    return a;
}

// With a frame sink the protocol client never touches a wire: each command is answered on
// the spot by the frame under test and then by a well-formed "fail" with the
// command's id, which ends the wait without a timeout.
ProtocolClient& client()
{
    static ProtocolClient* instance = [] {
        ProtocolClient* s = new ProtocolClient();
        s->setFrameSink([s](RawFrame* sent) {
            const uint32_t id = s->nextId() - 1;
            sent->release();
            if (g_frame)
                s->onPacket(g_frame);
            char text[64];
            snprintf(text, sizeof text, "{\"id\":%d,\"result\":\"fail\"}", int(id));
            RawFrame* closing = replyFrame(text);
            s->onPacket(closing);
            closing->release();
        });
        return s;
    }();
    return *instance;
}

void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // The protocol client writes a debug line for every frame.
    qInstallMessageHandler(quiet);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > size_t(RawFrame::MaxLength))
        return 0;
    RawFrame* frame = RawFrame::fromBytes(data, int(size));
    require(frame != nullptr, "a frame of at most 1514 bytes was refused");
    require(size < size_t(CommandFrame::TextOffset) ||
                strlen(CommandFrame::text(*frame)) <= size - size_t(CommandFrame::TextOffset),
            "the text runs on behind the frame");

    volatile size_t sink = 0;
    if (CommandFrame::isCommandFrame(*frame, OwnMac)) {
        const std::unique_ptr<DeviceReply> reply = DeviceReply::fromFrame(*frame);
        require(!reply->hasDuplicateKeys() || !reply->json(), "a reply naming a key twice was kept");
        // The same text as the log and the debug output show it.
        sink = sink + size_t(CommandLogText::fromCommand(CommandFrame::text(*frame)).size());
        const int id = reply->id();
        require(!reply->answers(uint32_t(id)) || reply->hasId(), "a reply without an id answers");
        require(reply->hasId() || id == -1, "a reply without an id has one");
        sink = sink + size_t(reply->isSuccess()) + size_t(reply->stringMember("method").size());
        require(reply->json() || !reply->isSuccess(), "a reply without JSON succeeds");
        if (DeviceRecord* device = DeviceRecord::makeDevice(reply.get())) {
            require(reply->json() != nullptr, "a record from a reply without JSON");
            uint8_t mac[6];
            device->macBytes(mac);
            require(memcmp(mac, reply->mac(), 6) == 0, "a record addressed elsewhere than its sender");
            sink = sink + readDevice(device);
            device->release();
        }
        sink = sink + readSettings(*reply);
    }

    // The same frame through the protocol client's receive queue and its waits.
    ProtocolClient& s = client();
    const Adapter own = adapter();
    g_frame = frame;
    DeviceRecord* device = DeviceRecord::create();
    device->setMacBytes(DeviceMac);
    device->setIpBytes(DeviceIp);
    s.open(&own);
    SipAccountSettings sip0, sip1;
    const int sipResult = s.getSipSettings(device, sip0, sip1);
    require(s.lastOutcome() != ProtocolClient::Outcome::NoAnswer, "a wait ran out although its answer was queued");
    require(sipResult == -1 || s.lastOutcome() == ProtocolClient::Outcome::Success, "success without a success");
    sink = sink + size_t(sip0.toText().size() + sip1.toText().size());
    s.open(&own);
    QList<RtpChannelSettings> channels;
    for (int i = 0; i < ProtocolClient::RtpChannelCount; ++i)
        channels.append(RtpChannelSettings());
    s.getRtpSettings(device, channels);
    for (const RtpChannelSettings& c : channels)
        sink = sink + size_t(c.rtpIP.size());
    s.open(&own);
    s.setName(device, QStringLiteral("x"));
    g_frame = nullptr;
    device->release();
    frame->release();
    (void)sink;
    return 0;
}
