#pragma once

#include <QMutex>

class RTPAudioPacket;

// First-in first-out hand-over of encoded packets between the encoder's
// thread and the RTP send thread. The queue owns what it holds.
class RTPPacketQueue
{
public:
    RTPPacketQueue() = default;
    ~RTPPacketQueue();
    RTPPacketQueue(const RTPPacketQueue&) = delete;
    RTPPacketQueue& operator=(const RTPPacketQueue&) = delete;

    void push(RTPAudioPacket* packet);
    // The oldest packet, now owned by the caller, or null when empty.
    RTPAudioPacket* pop();
    void clear();
    int count() const;

private:
    struct Node
    {
        RTPAudioPacket* packet;
        Node* next;
    };

    mutable QMutex m_lock; // guards m_head, m_tail and m_count
    Node* m_head = nullptr;
    Node* m_tail = nullptr;
    int m_count = 0;
};
