#include "RTPPacketQueue.h"

#include "RTPAudioPacket.h"

RTPPacketQueue::~RTPPacketQueue()
{
    clear();
}

void RTPPacketQueue::push(RTPAudioPacket* packet)
{
    if (!packet)
        return;
    Node* node = new Node{packet, nullptr};
    QMutexLocker lock(&m_lock);
    if (m_tail)
        m_tail->next = node;
    else
        m_head = node;
    m_tail = node;
    ++m_count;
}

RTPAudioPacket* RTPPacketQueue::pop()
{
    Node* node = nullptr;
    {
        QMutexLocker lock(&m_lock);
        node = m_head;
        if (!node)
            return nullptr;
        m_head = node->next;
        if (!m_head)
            m_tail = nullptr;
        --m_count;
    }
    RTPAudioPacket* packet = node->packet;
    delete node;
    return packet;
}

void RTPPacketQueue::clear()
{
    Node* node = nullptr;
    {
        QMutexLocker lock(&m_lock);
        node = m_head;
        m_head = m_tail = nullptr;
        m_count = 0;
    }
    // Freed outside the lock: the list is already detached.
    while (node) {
        Node* next = node->next;
        delete node->packet;
        delete node;
        node = next;
    }
}

int RTPPacketQueue::count() const
{
    QMutexLocker lock(&m_lock);
    return m_count;
}
