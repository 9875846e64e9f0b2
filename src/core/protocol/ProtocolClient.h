#pragma once

#include "Adapter.h"
#include "RawFrameQueue.h"
#include "CaptureObserver.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QList>
#include <QMutex>
#include <QString>
#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace orvane {

class CommandObserver;
class DeviceRecord;
class DeviceReply;
class CaptureEngine;
class RawFrame;
class RtpChannelSettings;
class SipAccountSettings;

// The device command set: numbers each command, formats its JSON text, sends it
// as a command frame and waits for the reply carrying the same id. Commands come
// from one worker thread at a time; replies arrive on the capture receive thread.
class ProtocolClient : public CaptureObserver
{
public:
    static constexpr int CommandBufferSize = 1024;
    static constexpr int MaxCommandLength = CommandBufferSize - 1;
    static constexpr int ReplyTimeoutMs = 3000;
    static constexpr int RtpChannelCount = 10;
    // Devices one search keeps, far above any real segment; answers from
    // further MACs are counted, not stored, so a flood cannot exhaust memory.
    static constexpr int MaxSearchDevices = 4096;
    // Frames nobody waits for (late answers, floods) pile up between jobs;
    // beyond this many the oldest are dropped. Room for a full search's answers.
    static constexpr int MaxQueuedReplies = 2 * MaxSearchDevices;

    // What a search met besides the devices it listed, for front ends that
    // tell the operator something was wrong on the segment.
    struct SearchSummary
    {
        int devices = 0;       // records made, one per sender MAC
        int duplicates = 0;    // further answers from a MAC already listed
        int overflow = 0;      // answers beyond MaxSearchDevices
        int refused = 0;       // texts naming a key twice
        int foreignClaims = 0; // records whose text names a MAC other than the sender's
        int sharedMacs = 0;    // MACs that answered as two devices (another UID or address)
    };

    // Why the last device command returned what it did, for front ends that
    // explain a failure; the commands themselves keep returning 0 or -1.
    enum class Outcome
    {
        Success,
        Failed,
        NotSent,
        Cancelled,
        NoAnswer
    };

    // Receives each frame that would go to the wire and takes over its reference.
    using FrameSink = std::function<void(RawFrame*)>;

    ProtocolClient();
    ~ProtocolClient() override;

    ProtocolClient(const ProtocolClient&) = delete;
    ProtocolClient& operator=(const ProtocolClient&) = delete;

    void setObserver(CommandObserver* observer) { m_observer.store(observer); }
    // With a sink set, open() leaves the capture engine stopped and frames go to
    // the sink instead; replies are then fed through onPacket().
    void setFrameSink(FrameSink sink);

    int open(const Adapter* adapter);
    void close();
    bool isOpen() const;
    // Waits until the capture engine has the adapter open, so that a search
    // started right after open() gets its whole time; false after timeoutMs.
    bool waitUntilCaptureOpen(int timeoutMs) const;

    // The open adapter's MAC; false when none is open.
    bool adapterMac(uint8_t mac[6]) const;
    // The open adapter's IPv4 address, host order; false when none is open.
    bool adapterIp(uint32_t* address) const;
    // Sends a frame that is not a command (an ARP probe) and takes over its
    // reference; false when no adapter is open.
    bool sendFrame(RawFrame* frame);
    // Sees every received frame, on the receive thread, before the command
    // replies are picked out; must not block. Null removes it.
    using FrameListener = std::function<void(const RawFrame&)>;
    void setFrameListener(FrameListener listener);

    // False when nothing went out (no adapter open, or the text does not fit a frame).
    bool sendCommand(const uint8_t mac[6], const uint8_t ip[4], const char* text, int length);
    // Ends a wait or search in progress at once; safe from any thread.
    void cancelWait();
    // How many cancels there have been so far; safe from any thread.
    unsigned cancelCount() const { return m_cancels.load(); }

    // Made by the thread that sends the commands of one job, with the
    // cancelCount() noted on the window's thread when the operator started the
    // job. While it lives, a cancel since then stops every command and search
    // at once, without sending: one that lands between two commands, or just
    // before a wait begins, is not lost.
    class CancelScope
    {
    public:
        CancelScope(ProtocolClient& client, unsigned since) : m_client(client) { client.m_cancelsSince = since; }
        ~CancelScope() { m_client.m_cancelsSince.reset(); }
        CancelScope(const CancelScope&) = delete;
        CancelScope& operator=(const CancelScope&) = delete;

    private:
        ProtocolClient& m_client;
    };
    bool isWaiting() const { return m_waiting.load(); }
    uint32_t nextId() const { return m_nextId.load(); }
    Outcome lastOutcome() const { return m_lastOutcome.load(); }

    // The capture engine's callback for each received frame.
    void onPacket(RawFrame* frame) override;

    // Called on the searching thread with each record as it is added and the
    // number listed so far; returning false ends the search there, so a caller
    // waiting for known devices need not sit out the whole time.
    using SearchProgress = std::function<bool(const DeviceRecord& added, int listed)>;

    // Collects a record for the first search reply of each sender MAC (at most
    // MaxSearchDevices) until timeoutMs has passed (no deadline when negative),
    // cancelWait() is called or progress returns false. Records hold one reference each.
    void search(QList<DeviceRecord*>& devices, int timeoutMs, bool alarmTest, const SearchProgress& progress = {});
    // What the last search met; read it on the thread that searched.
    SearchSummary lastSearch() const;

    // Each returns 0 when the device answered "result" "success", else -1,
    // including when the text would not fit into a command.
    int setIpDhcp(DeviceRecord* device);
    int setIpStatic(DeviceRecord* device, const QString& ip, const QString& gateway, const QString& netmask,
                    const QString& dns1, const QString& dns2);
    int setSN(DeviceRecord* device, const QString& sn);
    int setName(DeviceRecord* device, const QString& name);
    int setMac(DeviceRecord* device, const QString& mac);
    int setServer(DeviceRecord* device, const QString& serverIp, int port);
    int setDeviceInfo(DeviceRecord* device, const QString& areaCode, const QString& number,
                      const QString& name, int powerLevel, const QString& resourceTypeSequenceCode,
                      const QString& resourceSonTypeSequenceCode, const QString& resourceTypeCode,
                      const QString& resourceSonTypeCode);
    int playVolume(DeviceRecord* device);
    int setDeviceVolume(DeviceRecord* device, int micVolume, int outVolume, int autoMute);
    int setAccountPassword(DeviceRecord* device, const QString& account, const QString& password);
    int getSipSettings(DeviceRecord* device, SipAccountSettings& sip0, SipAccountSettings& sip1);
    int setSipSettings(DeviceRecord* device, const SipAccountSettings& sip0, const SipAccountSettings& sip1);
    int getRtpSettings(DeviceRecord* device, QList<RtpChannelSettings>& channels);
    int setRtpSettings(DeviceRecord* device, const QList<RtpChannelSettings>& channels);
    int reboot(DeviceRecord* device);
    int resetDefault(DeviceRecord* device);

    // A text made safe to stand between the quotes of a JSON string, as UTF-8.
    static QByteArray jsonEscape(const QString& text);

private:
    uint32_t takeId() { return m_nextId.fetch_add(1); }
    // The cancel count an operation starting now compares against; false when
    // the job it belongs to has already been cancelled.
    bool startOperation(unsigned* cancels);
    void beginWait(unsigned cancelsSeen);
    std::unique_ptr<DeviceReply> waitReplySince(uint32_t id, const uint8_t* fromMac, int timeoutMs,
                                                unsigned cancelsSeen);
    // Numbers a command, formats what follows its id (from "method" to the
    // closing brace), sends it to the device and waits for the reply: none,
    // with the outcome recorded, when it failed, including a text that would
    // exceed MaxCommandLength (a log line says so).
    std::unique_ptr<DeviceReply> request(DeviceRecord* device, const char* method, const char* pattern, ...)
        __attribute__((format(printf, 4, 5)));
    std::unique_ptr<DeviceReply> requestV(DeviceRecord* device, const char* method, const char* pattern,
                                          va_list args) __attribute__((format(printf, 4, 0)));
    // request() for a command whose reply says only whether it succeeded: 0 or -1.
    int command(DeviceRecord* device, const char* method, const char* pattern, ...)
        __attribute__((format(printf, 4, 5)));
    bool fits(const char* method, int length, int limit);
    // Sends text to the device and waits for the reply to id.
    std::unique_ptr<DeviceReply> exchange(DeviceRecord* device, uint32_t id, const QByteArray& text);
    // 0 for a reply whose result is "success", else -1; records the outcome.
    int finish(const DeviceReply* reply);
    int notSent();
    // Takes the next frame off the reply queue, blocking until the deadline or a cancel.
    RawFrame* nextReplyFrame(const QDeadlineTimer& deadline);

    RawFrameQueue m_replies;
    std::atomic<uint32_t> m_nextId{0};
    std::atomic<bool> m_waiting{false};
    std::atomic<unsigned> m_cancels{0}; // counts cancelWait() calls
    std::optional<unsigned> m_cancelsSince; // set and read only by the thread sending commands
    std::atomic<CommandObserver*> m_observer{nullptr};
    std::atomic<Outcome> m_lastOutcome{Outcome::Success};

    mutable QMutex m_mutex; // guards m_adapter, m_sink, m_listener and m_lastSearch
    std::unique_ptr<Adapter> m_adapter;
    FrameSink m_sink;
    FrameListener m_listener;
    SearchSummary m_lastSearch;

    // Last, so that it is gone before anything its receive thread reaches.
    std::unique_ptr<CaptureEngine> m_capture;
};

} // namespace orvane
