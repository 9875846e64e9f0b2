#pragma once

#include <QMutex>
#include <QString>
#include <atomic>
#include <cstdint>
#include <cstring>

struct _RtpSession;
struct _RtpProfile;

namespace orvane {

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
    // What fits one 1500-byte Ethernet frame behind the IPv4 (20), UDP (8)
    // and RTP (12) headers: every MPEG-1/2 layer III frame travels whole.
    static constexpr int MaxPayloadBytes = 1500 - 20 - 8 - 12;
    // The MPEG-audio header in front of every payload: two zero bytes and the
    // piece's byte offset into the frame (RFC 2250).
    static constexpr int AudioHeaderBytes = 4;
    static constexpr int MaxFragmentOffset = 0xFFFF;
    static constexpr int MaxPacketsPerPass = 10;
    // The longest an idle send or receive thread sleeps before it looks again.
    static constexpr int MaxIdleSleepMs = 20;

    RtpMulticastSession();
    ~RtpMulticastSession();
    RtpMulticastSession(const RtpMulticastSession&) = delete;
    RtpMulticastSession& operator=(const RtpMulticastSession&) = delete;

    // Both take effect at the next start. The interface is the network
    // adapter's name; empty leaves the choice to the routing table.
    void setMulticastInterface(const QString& name) { m_interface = name; }
    void setTtl(int ttl) { m_ttl = ttl; }
    // The RTCP CNAME; empty gives user@host.
    void setCanonicalName(const QString& cname) { m_cname = cname; }
    static QString defaultCanonicalName();

    // 0 on success, -1 on failure (bad arguments, no free port, socket or
    // library failure, an unknown interface, or a second start); startError()
    // says which in plain words.
    int start(const char* host, int portBase, uint16_t destinationPort, int clockRate, int payloadType,
              int intervalMs);
    static bool isPortValid(int port);
    // 0 when every piece left the socket, else the socket's errno. After a
    // failure neither the timestamp nor the sequence number moves, so the same
    // payload can be sent again without a gap a receiver would see.
    int sendPacket(const uint8_t* payload, int length, uint32_t timestampIncrement);
    void stop();
    void setObserver(RtpSessionObserver* observer) { m_observer = observer; }
    // Idle time after which the receive thread calls onTimeout; 0 is off.
    void setReceiveTimeout(int ms) { m_receiveTimeout = ms; }

    QString startError() const { return m_startError; }
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
    // the given length goes out as, in order, and returns false as soon as
    // deliver does. A payload is its 4-byte MPEG-audio header and one frame;
    // a frame too long for one packet goes out in pieces, each behind a header
    // that carries the piece's offset into the frame. Only the last piece
    // carries the marker bit and the timestamp increment. A frame whose last
    // piece would start beyond the largest offset is refused whole.
    template <typename Deliver>
    static bool forEachPiece(const uint8_t* payload, int length, Deliver&& deliver);

    // Thread bodies; self is the thread that runs them.
    void runSendLoop(WorkerThread* self);
    void runReceiveLoop(WorkerThread* self);
    void waitForData(int timeoutMs);

private:
    int sendPieceLocked(const uint8_t* bytes, int length, bool last);
    bool applyInterfaceLocked();
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
    QString m_interface;
    QString m_cname;
    QString m_startError;
    int m_ttl = MulticastTtl;
    RtpSendThread* m_sendThread = nullptr;
    RtpReceiveThread* m_recvThread = nullptr;
    RtpSessionObserver* m_observer = nullptr;
    std::atomic<int> m_receiveTimeout{0};
};

template <typename Deliver>
bool RtpMulticastSession::forEachPiece(const uint8_t* payload, int length, Deliver&& deliver)
{
    if (!payload || length <= 0)
        return true;
    if (length <= MaxPayloadBytes)
        return deliver(payload, length, true);
    const uint8_t* frame = payload + AudioHeaderBytes;
    const int frameLength = length - AudioHeaderBytes;
    const int chunk = MaxPayloadBytes - AudioHeaderBytes;
    if ((frameLength - 1) / chunk * chunk > MaxFragmentOffset)
        return false;
    uint8_t buffer[MaxPayloadBytes];
    for (int offset = 0; offset < frameLength; offset += chunk) {
        const int n = frameLength - offset < chunk ? frameLength - offset : chunk;
        buffer[0] = 0;
        buffer[1] = 0;
        buffer[2] = uint8_t(offset >> 8);
        buffer[3] = uint8_t(offset);
        memcpy(buffer + AudioHeaderBytes, frame + offset, size_t(n));
        if (!deliver(static_cast<const uint8_t*>(buffer), AudioHeaderBytes + n, offset + n == frameLength))
            return false;
    }
    return true;
}

} // namespace orvane
