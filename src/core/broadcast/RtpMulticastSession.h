#pragma once

#include <QMutex>
#include <atomic>
#include <cstdint>
#include <cstring>

struct _RtpSession;
struct _RtpProfile;
class WorkerThread;
class RtpSendThread;
class RtpReceiveThread;
class RtpSessionObserver;

// One RTP stream over UDP/IPv4 to one destination, normally a multicast
// group: picks a free local port pair, splits large payloads, and runs a send
// thread that asks the observer for packets and a receive thread that drains
// the session. Started once; stop() joins both threads and leaves with a BYE.
class RtpMulticastSession
{
public:
    static constexpr int FirstProbePort = 13000;
    static constexpr int ProbePortEnd = 40000; // first candidate not tried
    static constexpr int DefaultIntervalMs = 20;
    static constexpr int MulticastTtl = 255;
    static constexpr int FragmentThreshold = 1300;
    static constexpr int MaxFragmentBytes = 1300;
    static constexpr int FragmentHeaderBytes = 2;
    static constexpr uint8_t FragmentUnitType = 28;
    static constexpr uint8_t FragmentStartBit = 0x80;
    static constexpr uint8_t FragmentEndBit = 0x40;
    static constexpr int MaxPacketsPerPass = 10;
    // The longest an idle send or receive thread sleeps before it looks again.
    static constexpr int MaxIdleSleepMs = 20;

    RtpMulticastSession();
    ~RtpMulticastSession();
    RtpMulticastSession(const RtpMulticastSession&) = delete;
    RtpMulticastSession& operator=(const RtpMulticastSession&) = delete;

    // 0 on success, -1 on failure (bad arguments, no free port, socket or
    // library failure, or a second start).
    int start(const char* host, int portBase, uint16_t destinationPort, int clockRate, int payloadType,
              int intervalMs);
    static bool isPortValid(int port);
    void sendPacket(const uint8_t* payload, int length, uint32_t timestampIncrement);
    void stop();
    void setObserver(RtpSessionObserver* observer) { m_observer = observer; }
    // Idle time after which the receive thread calls onTimeout; 0 is off.
    void setReceiveTimeout(int ms) { m_receiveTimeout = ms; }

    int localPort() const { return m_localPort; }
    int interval() const { return m_interval; }
    int clockRate() const { return m_clockRate; }
    int payloadType() const { return m_payloadType; }
    uint32_t defaultTimestampIncrement() const { return m_defaultIncrement; }

    // Milliseconds of a clock that never jumps; the send schedule and the
    // driver's pacing run on it so that setting the wall clock neither stalls
    // nor floods a broadcast.
    static int64_t monotonicMs();

    // Calls deliver(bytes, length, last) for each RTP payload that a payload of
    // the given length goes out as, in order. Only the last one carries the
    // marker bit and the timestamp increment.
    template <typename Deliver> static void forEachPiece(const uint8_t* payload, int length, Deliver&& deliver);

    // Thread bodies; self is the thread that runs them.
    void runSendLoop(WorkerThread* self);
    void runReceiveLoop(WorkerThread* self);
    void waitForData(int timeoutMs);

private:
    void sendPieceLocked(const uint8_t* bytes, int length, bool last, uint32_t increment);
    void destroyLocked();

    QMutex m_rtpLock; // guards m_rtp, m_profile and m_timestamp: oRTP sessions have no lock of their own
    _RtpSession* m_rtp = nullptr;
    _RtpProfile* m_profile = nullptr;
    uint32_t m_timestamp = 0;

    int m_clockRate = 0;
    int m_payloadType = 0;
    int m_interval = 0;
    int m_localPort = 0;
    uint32_t m_defaultIncrement = 0;
    bool m_started = false;
    RtpSendThread* m_sendThread = nullptr;
    RtpReceiveThread* m_recvThread = nullptr;
    RtpSessionObserver* m_observer = nullptr;
    std::atomic<int> m_receiveTimeout{0};
};

template <typename Deliver> void RtpMulticastSession::forEachPiece(const uint8_t* payload, int length, Deliver&& deliver)
{
    if (!payload || length <= 0)
        return;
    if (length < FragmentThreshold) {
        deliver(payload, length, true);
        return;
    }
    // Fragmentation units in the form of RFC 6184 (type 28): the first byte is
    // taken as a header and its bits are spread over each fragment's two.
    const uint8_t head = payload[0];
    const uint8_t* rest = payload + 1;
    int left = length - 1;
    bool first = true;
    uint8_t buffer[FragmentHeaderBytes + MaxFragmentBytes];
    while (left > 0) {
        const int chunk = left < MaxFragmentBytes ? left : MaxFragmentBytes;
        const bool last = chunk == left;
        buffer[0] = uint8_t((head & 0x60) | FragmentUnitType);
        buffer[1] = uint8_t((head & 0x1F) | (first ? FragmentStartBit : 0) | (last ? FragmentEndBit : 0));
        memcpy(buffer + FragmentHeaderBytes, rest, size_t(chunk));
        deliver(static_cast<const uint8_t*>(buffer), chunk + FragmentHeaderBytes, last);
        rest += chunk;
        left -= chunk;
        first = false;
    }
}
