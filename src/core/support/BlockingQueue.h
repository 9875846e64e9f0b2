#pragma once

#include <QDeadlineTimer>
#include <QMutex>
#include <QWaitCondition>
#include <deque>
#include <memory>

namespace orvane {

// First-in first-out hand-over of owned objects between threads. push() takes
// over the caller's ownership, pop() hands it back; whatever is left when the
// queue is cleared or destroyed goes to Release. Waits end on an item, on their
// deadline, or on wake().
template <typename T, typename Release = std::default_delete<T>>
class BlockingQueue
{
public:
    BlockingQueue() = default;
    ~BlockingQueue() { clear(); }

    BlockingQueue(const BlockingQueue&) = delete;
    BlockingQueue& operator=(const BlockingQueue&) = delete;

    void push(T* item)
    {
        if (!item)
            return;
        QMutexLocker lock(&m_mutex);
        m_items.push_back(item);
        m_changed.wakeAll();
    }

    // The oldest item, or null when empty.
    T* pop()
    {
        QMutexLocker lock(&m_mutex);
        return takeHeadLocked();
    }

    // Waits up to timeoutMs (forever when negative) for an item; null on timeout
    // or when wake() was called since wakeCount() returned wakeCountSeen. Reading
    // the count before checking one's own stop flag closes the race with a wake()
    // that lands between that check and the wait.
    T* waitPop(int timeoutMs, unsigned wakeCountSeen)
    {
        const QDeadlineTimer deadline = deadlineAfter(timeoutMs);
        QMutexLocker lock(&m_mutex);
        while (m_items.empty() && wakeCountSeen == m_wakeups) {
            if (!m_changed.wait(&m_mutex, deadline))
                break;
        }
        return takeHeadLocked();
    }

    // Blocks until at least n items are queued, wake() is called or timeoutMs passes.
    bool waitForSize(int n, int timeoutMs)
    {
        const QDeadlineTimer deadline = deadlineAfter(timeoutMs);
        QMutexLocker lock(&m_mutex);
        const unsigned wakeups = m_wakeups;
        while (int(m_items.size()) < n && wakeups == m_wakeups) {
            if (!m_changed.wait(&m_mutex, deadline))
                break;
        }
        return int(m_items.size()) >= n;
    }

    unsigned wakeCount() const
    {
        QMutexLocker lock(&m_mutex);
        return m_wakeups;
    }

    // Ends the waits in progress without an item.
    void wake()
    {
        QMutexLocker lock(&m_mutex);
        ++m_wakeups;
        m_changed.wakeAll();
    }

    void clear()
    {
        std::deque<T*> items;
        {
            QMutexLocker lock(&m_mutex);
            items.swap(m_items);
        }
        for (T* item : items)
            Release()(item);
    }

    int size() const
    {
        QMutexLocker lock(&m_mutex);
        return int(m_items.size());
    }

private:
    static QDeadlineTimer deadlineAfter(int timeoutMs)
    {
        return timeoutMs < 0 ? QDeadlineTimer(QDeadlineTimer::Forever) : QDeadlineTimer(timeoutMs);
    }

    T* takeHeadLocked()
    {
        if (m_items.empty())
            return nullptr;
        T* item = m_items.front();
        m_items.pop_front();
        return item;
    }

    mutable QMutex m_mutex; // guards m_items and m_wakeups
    QWaitCondition m_changed;
    std::deque<T*> m_items;
    unsigned m_wakeups = 0;
};

} // namespace orvane
