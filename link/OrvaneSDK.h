#pragma once

#include "OrvaneAdapter.h"
#include "QPcapFrameQueue.h"
#include "QPcapObserver.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QList>
#include <QMutex>
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

class OrvaneCommandObserver;
class OrvaneDevice;
class OrvaneReply;
class QPcap;
class QPcapFrame;
class RtpSettings;
class SipSettings;

// The device command set: numbers each command, formats its JSON text, sends it
// as a command frame and waits for the reply carrying the same id. Commands come
// from one worker thread at a time; replies arrive on the capture receive thread.
class OrvaneSDK : public QPcapObserver
{
public:
    static constexpr int CommandBufferSize = 1024;
    static constexpr int MaxCommandLength = CommandBufferSize - 1;
    static constexpr int ReplyTimeoutMs = 3000;
    static constexpr int RtpChannelCount = 10;
    // Frames nobody waits for (other hosts' searches, late answers) pile up
    // between jobs; beyond this many the oldest are dropped.
    static constexpr int MaxQueuedReplies = 4096;

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
    using FrameSink = std::function<void(QPcapFrame*)>;

    OrvaneSDK();
    ~OrvaneSDK() override;

    OrvaneSDK(const OrvaneSDK&) = delete;
    OrvaneSDK& operator=(const OrvaneSDK&) = delete;

    void setObserver(OrvaneCommandObserver* observer) { m_observer.store(observer); }
    // With a sink set, open() leaves the capture engine stopped and frames go to
    // the sink instead; replies are then fed through onPacket().
    void setFrameSink(FrameSink sink);

    int open(const OrvaneAdapter* adapter);
    void close();
    bool isOpen() const;
    // Waits until the capture engine has the adapter open, so that a search
    // started right after open() gets its whole time; false after timeoutMs.
    bool waitUntilCaptureOpen(int timeoutMs) const;

    // False when nothing went out (no adapter open, or the text does not fit a frame).
    bool sendCommand(const uint8_t mac[6], const uint8_t ip[4], const char* text, int length);
    // The first reply answering id, or none after timeoutMs (never when negative) or cancelWait().
    std::unique_ptr<OrvaneReply> waitReply(uint32_t id, int timeoutMs);
    // Ends a wait or search in progress at once; safe from any thread.
    void cancelWait();
    bool isWaiting() const { return m_waiting.load(); }
    uint32_t nextId() const { return m_nextId.load(); }
    Outcome lastOutcome() const { return m_lastOutcome.load(); }

    // The capture engine's callback for each received frame.
    void onPacket(QPcapFrame* frame) override;

    // Collects a record for every search reply until timeoutMs has passed (no
    // deadline when negative) or cancelWait() is called. Records hold one reference each.
    void search(QList<OrvaneDevice*>& devices, int timeoutMs, bool alarmTest);

    // Each returns 0 when the device answered "result" "success", else -1,
    // including when the text would not fit into a command.
    int setIpDhcp(OrvaneDevice* device);
    int setIpStatic(OrvaneDevice* device, const QString& ip, const QString& gateway, const QString& netmask,
                    const QString& dns1, const QString& dns2);
    int setSN(OrvaneDevice* device, const QString& sn);
    int setName(OrvaneDevice* device, const QString& name);
    int setMac(OrvaneDevice* device, const QString& mac);
    int setServer(OrvaneDevice* device, const QString& serverIp, int port);
    int setDeviceInfo(OrvaneDevice* device, const QString& areaCode, const QString& number,
                      const QString& name, int powerLevel, const QString& resourceTypeSequenceCode,
                      const QString& resourceSonTypeSequenceCode, const QString& resourceTypeCode,
                      const QString& resourceSonTypeCode);
    int playVolume(OrvaneDevice* device);
    int setDeviceVolume(OrvaneDevice* device, int micVolume, int outVolume, int autoMute);
    int setAccountPassword(OrvaneDevice* device, const QString& account, const QString& password);
    int getSipSettings(OrvaneDevice* device, SipSettings& sip0, SipSettings& sip1);
    int setSipSettings(OrvaneDevice* device, const SipSettings& sip0, const SipSettings& sip1);
    int getRtpSettings(OrvaneDevice* device, QList<RtpSettings>& channels);
    int setRtpSettings(OrvaneDevice* device, const QList<RtpSettings>& channels);
    int reboot(OrvaneDevice* device);
    int resetDefault(OrvaneDevice* device);

    // A text made safe to stand between the quotes of a JSON string, as UTF-8.
    static QByteArray jsonEscape(const QString& text);

private:
    uint32_t takeId() { return m_nextId.fetch_add(1); }
    void beginWait(unsigned cancelsSeen);
    std::unique_ptr<OrvaneReply> waitReplySince(uint32_t id, int timeoutMs, unsigned cancelsSeen);
    // Formats a command into text; false (and a log line) when it would exceed MaxCommandLength.
    bool format(QByteArray& text, const char* method, const char* pattern, ...)
        __attribute__((format(printf, 4, 5)));
    bool fits(const char* method, int length, int limit);
    // Sends text to the device and waits for the reply to id.
    std::unique_ptr<OrvaneReply> exchange(OrvaneDevice* device, uint32_t id, const QByteArray& text);
    int execute(OrvaneDevice* device, uint32_t id, const QByteArray& text);
    // 0 for a reply whose result is "success", else -1; records the outcome.
    int finish(const OrvaneReply* reply);
    int notSent();
    // Takes the next frame off the reply queue, blocking until the deadline or a cancel.
    QPcapFrame* nextReplyFrame(const QDeadlineTimer& deadline);

    QPcapFrameQueue m_replies;
    std::atomic<uint32_t> m_nextId{0};
    std::atomic<bool> m_waiting{false};
    std::atomic<unsigned> m_cancels{0}; // counts cancelWait() calls
    std::atomic<OrvaneCommandObserver*> m_observer{nullptr};
    std::atomic<Outcome> m_lastOutcome{Outcome::Success};

    mutable QMutex m_mutex; // guards m_adapter and m_sink
    std::unique_ptr<OrvaneAdapter> m_adapter;
    FrameSink m_sink;

    // Last, so that it is gone before anything its receive thread reaches.
    std::unique_ptr<QPcap> m_capture;
};
