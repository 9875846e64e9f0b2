#pragma once

#include <cstdint>

namespace orvane {

class RtpMulticastSession;

// Told by an RTP session's threads when to send and what arrived. Not owned
// by the session.
class RtpSessionObserver
{
public:
    virtual ~RtpSessionObserver() = default;

    // On the send thread; elapsedMs is the sum of the intervals of all packets
    // sent so far. Returns true when a packet was sent.
    virtual bool onWantPacket(RtpMulticastSession* session, uint32_t elapsedMs) = 0;
    // On the receive thread: the whole datagram, its payload and RTP timestamp.
    virtual void onPacket(RtpMulticastSession* session, const uint8_t* packet, int packetLength,
                          const uint8_t* payload, int payloadLength, uint32_t timestamp) = 0;
    // On the receive thread, after the session's receive timeout passed idle.
    virtual void onTimeout(RtpMulticastSession* session) = 0;
    // On the send thread, after onWantPacket() sent nothing: how long the
    // thread may sleep before it asks again. An observer that knows when its
    // next packet is due saves the thread a wake-up every millisecond.
    virtual int idleWaitMs(RtpMulticastSession* session)
    {
        (void)session;
        return 1;
    }
};

} // namespace orvane
