#include "QPcapFrameQueue.h"

#include "QPcapFrame.h"

#include <QDeadlineTimer>

QPcapFrameQueue::~QPcapFrameQueue()
{
    clear();
}

void QPcapFrameQueue::push(QPcapFrame* frame)
{
    if (!frame)
        return;
    Node* node = new Node{frame, nullptr};
    QMutexLocker lock(&m_mutex);
    if (m_tail)
        m_tail->next = node;
    else
        m_head = node;
    m_tail = node;
    ++m_size;
    m_notEmpty.wakeOne();
}

QPcapFrame* QPcapFrameQueue::takeHeadLocked()
{
    Node* node = m_head;
    if (!node)
        return nullptr;
    m_head = node->next;
    if (!m_head)
        m_tail = nullptr;
    --m_size;
    QPcapFrame* frame = node->frame;
    delete node;
    return frame;
}

QPcapFrame* QPcapFrameQueue::pop()
{
    QMutexLocker lock(&m_mutex);
    return takeHeadLocked();
}

unsigned QPcapFrameQueue::wakeCount() const
{
    QMutexLocker lock(&m_mutex);
    return m_wakeups;
}

QPcapFrame* QPcapFrameQueue::waitPop(int timeoutMs, unsigned wakeCountSeen)
{
    QDeadlineTimer deadline(timeoutMs < 0 ? QDeadlineTimer::Forever : QDeadlineTimer(timeoutMs));
    QMutexLocker lock(&m_mutex);
    while (!m_head && wakeCountSeen == m_wakeups) {
        if (!m_notEmpty.wait(&m_mutex, deadline))
            break;
    }
    return takeHeadLocked();
}

void QPcapFrameQueue::wake()
{
    QMutexLocker lock(&m_mutex);
    ++m_wakeups;
    m_notEmpty.wakeAll();
}

void QPcapFrameQueue::clear()
{
    Node* node;
    {
        QMutexLocker lock(&m_mutex);
        node = m_head;
        m_head = m_tail = nullptr;
        m_size = 0;
    }
    while (node) {
        Node* next = node->next;
        node->frame->release();
        delete node;
        node = next;
    }
}

int QPcapFrameQueue::size() const
{
    QMutexLocker lock(&m_mutex);
    return m_size;
}
