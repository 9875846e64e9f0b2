// libFuzzer target: arbitrary frame bytes through everything a received frame
// reaches, from the capture record to a device record, and through the
// protocol client's queue and waits.
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
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const uint8_t OwnMac[6] = {0x02, 0xaa, 0xbb, 0xcc, 0xdd, 0x01};
const uint8_t OwnIp[4] = {198, 18, 0, 1};
const uint8_t DeviceMac[6] = {0x02, 0x00, 0x00, 0x00, 0x00, 0x01};
const uint8_t DeviceIp[4] = {198, 18, 1, 1};

void require(bool condition, const char* what)
{
    if (!condition) {
        fprintf(stderr, "fuzz_receive: %s\n", what);
        abort();
    }
}

// The frame under test, answered to every command the protocol client sends below.
RawFrame* g_frame = nullptr;

// With a frame sink the protocol client never touches a wire: each command is
// answered on the spot by the frame under test and then by a well-formed
// "fail" with the command's id, which ends the wait without a timeout.
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
            const int n = snprintf(text, sizeof text, "{\"id\":%d,\"result\":\"fail\"}", int(id));
            RawFrame* closing = CommandFrame::build(DeviceMac, DeviceIp, OwnMac, OwnIp, text, n);
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
        sink = sink + size_t(CommandLogText::fromCommand(CommandFrame::text(*frame)).size());
        require(reply->hasId() || reply->id() == -1, "a reply without an id has one");
        require(reply->json() || !reply->isSuccess(), "a reply without JSON succeeds");
        if (DeviceRecord* device = DeviceRecord::makeDevice(reply.get())) {
            uint8_t mac[6];
            device->macBytes(mac);
            require(memcmp(mac, reply->mac(), 6) == 0, "a record addressed elsewhere than its sender");
            // Every value the record offers, so that a field left half-made shows.
            for (int f = 0; f < DeviceRecord::FieldCount; ++f)
                sink = sink + size_t(device->text(DeviceRecord::Field(f)).size());
            const QMap<QString, QString> others = device->others();
            for (auto it = others.cbegin(); it != others.cend(); ++it)
                sink = sink + size_t(device->intValue(it.key()));
            require(!DeviceRecord::ipAsc(device, device) && !DeviceRecord::nameAsc(device, device),
                    "a record sorts before itself");
            // The MAC page feeds the record's own mac text back in after a change.
            device->setMacText(device->mac());
            device->release();
        }
    }

    // The same frame through the protocol client's receive queue and its waits.
    ProtocolClient& s = client();
    Adapter own;
    memcpy(own.address, OwnMac, 6);
    memcpy(own.ip, OwnIp, 4);
    g_frame = frame;
    DeviceRecord* device = DeviceRecord::create();
    device->setMacBytes(DeviceMac);
    device->setIpBytes(DeviceIp);
    s.open(&own);
    SipAccountSettings sip0, sip1;
    const int sipResult = s.getSipSettings(device, sip0, sip1);
    require(s.lastOutcome() != ProtocolClient::Outcome::NoAnswer, "a wait ran out although its answer was queued");
    require(sipResult == -1 || s.lastOutcome() == ProtocolClient::Outcome::Success, "success without a success");
    QList<RtpChannelSettings> channels;
    for (int i = 0; i < ProtocolClient::RtpChannelCount; ++i)
        channels.append(RtpChannelSettings());
    s.open(&own);
    s.getRtpSettings(device, channels);
    s.open(&own);
    g_frame = nullptr;
    device->release();
    frame->release();
    return 0;
}
