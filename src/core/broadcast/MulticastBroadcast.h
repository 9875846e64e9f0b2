#pragma once

#include "RtpSessionObserver.h"

#include <QMutex>
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>

namespace orvane {

class AudioPacket;
class AudioReader;

// Joins one audio source to one RTP session and decides when each packet
// goes out and how far it moves the RTP timestamp. Used for one run:
// setReader, start, stop.
class MulticastBroadcast : public RtpSessionObserver
{
public:
    static constexpr int64_t ClockRate = 90000;
    static constexpr int PacketIntervalMs = 10;
    static constexpr int64_t LogIntervalMs = 10000;
    static constexpr double MaxPacketDurationMs = 60000.0;
    // A packet that the socket refused this many times in a row ends the
    // broadcast; fewer are retried, so a full send buffer loses nothing.
    static constexpr int MaxSendAttempts = 5;
    // How long a stop waits for the packets a live source still held.
    static constexpr int MaxDrainMs = 500;
    // Between those last packets and the BYE: a receiver reads RTP and RTCP on
    // two sockets and would otherwise take the BYE before the last frames.
    static constexpr int ByeAfterDrainMs = 30;

    MulticastBroadcast();
    // Stops a run the owner forgot to stop, so no thread outlives the driver.
    ~MulticastBroadcast() override;
    MulticastBroadcast(const MulticastBroadcast&) = delete;
    MulticastBroadcast& operator=(const MulticastBroadcast&) = delete;

    // Takes ownership of the source.
    void setReader(AudioReader* reader);
    // For the next start: the adapter to send on (empty: the routing table
    // decides) and the multicast TTL.
    void setInterface(const QString& name) { m_interface = name; }
    void setTtl(int ttl) { m_ttl = ttl; }
    // Called once, on the send thread, when packets can no longer be sent;
    // the text names the cause. Set before start.
    void setFailureHandler(std::function<void(const QString&)> handler)
    {
        m_failureHandler = std::move(handler);
    }

    // 0 on success; negative when there is no source, a run was already made,
    // the source cannot open, or the session cannot start (startError() says why).
    virtual int start(const QString& host, int port);
    QString startError() const { return m_startError; }
    // Stops and frees the session, then closes and frees the source.
    virtual void stop();

    bool onWantPacket(RtpMulticastSession* session, uint32_t elapsedMs) override;
    void onPacket(RtpMulticastSession*, const uint8_t*, int, const uint8_t*, int, uint32_t) override {}
    void onTimeout(RtpMulticastSession*) override {}
    int idleWaitMs(RtpMulticastSession* session) override;

    RtpMulticastSession* session() const { return m_session; }
    // Readable from any thread while running.
    int64_t sentPackets() const { return m_sentPackets.load(); }
    double sentDuration() const { return m_sentDurationShared.load(); }
    // Empty while every packet leaves the socket; once one cannot, what went
    // wrong ("Network is unreachable"), and nothing more is sent.
    QString failure() const;

private:
    RtpMulticastSession* m_session = nullptr;
    AudioReader* m_source = nullptr;
    bool m_used = false;
    QString m_interface;
    int m_ttl;
    QString m_startError;
    std::function<void(const QString&)> m_failureHandler;

    // Touched only by the send thread while running.
    bool m_clockStarted = false;
    int64_t m_startTime = 0; // monotonic ms of the first packet request
    double m_sentDuration = 0.0;
    int64_t m_clockRate = ClockRate;
    bool m_logged = false;
    int64_t m_lastLogTime = 0;
    AudioPacket* m_pending = nullptr; // taken from the source, not yet sent
    int m_attempts = 0;

    mutable QMutex m_failureLock; // guards m_failure
    QString m_failure;
    std::atomic<bool> m_failed{false};
    std::atomic<bool> m_finishing{false};
    std::atomic<bool> m_drained{false};

    std::atomic<int64_t> m_sentPackets{0};
    std::atomic<double> m_sentDurationShared{0.0};
};

} // namespace orvane
