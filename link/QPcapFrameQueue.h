#pragma once

#include <QMutex>
#include <QWaitCondition>

class QPcapFrame;

// Mutex-guarded first-in first-out list of frame records. Each node holds one
// reference: push takes over the caller's, pop hands it back.
class QPcapFrameQueue
{
public:
    QPcapFrameQueue() = default;
    ~QPcapFrameQueue();

    QPcapFrameQueue(const QPcapFrameQueue&) = delete;
    QPcapFrameQueue& operator=(const QPcapFrameQueue&) = delete;

    void push(QPcapFrame* frame);
    QPcapFrame* pop();
    // Waits up to timeoutMs (forever when negative) for a frame; none on timeout or
    // when wake() was called since wakeCount() returned wakeCountSeen. Reading the
    // count before checking one's own stop flag closes the race with a wake()
    // that lands between that check and the wait.
    QPcapFrame* waitPop(int timeoutMs, unsigned wakeCountSeen);
    unsigned wakeCount() const;
    // Ends the waits in progress without a frame.
    void wake();
    void clear();
    int size() const;

private:
    struct Node
    {
        QPcapFrame* frame;
        Node* next;
    };

    QPcapFrame* takeHeadLocked();

    mutable QMutex m_mutex; // guards m_head, m_tail, m_size, m_wakeups
    QWaitCondition m_notEmpty;
    Node* m_head = nullptr;
    Node* m_tail = nullptr;
    int m_size = 0;
    unsigned m_wakeups = 0;
};
