#pragma once

#include <QThread>
#include <atomic>
#include <cstdint>

namespace orvane {

class WorkerThread;

// The QThread that actually runs a WorkerThread's body.
class WorkerThreadPrivate : public QThread
{
public:
    explicit WorkerThreadPrivate(WorkerThread* owner) : m_owner(owner) {}

protected:
    void run() override;

private:
    WorkerThread* m_owner;
};

// Base of the long-running workers: a plain class whose run() polls a stop
// request. One owner starts it and, before freeing anything the body uses,
// either stops, waits and deletes it, or hands it to release().
class WorkerThread
{
public:
    WorkerThread();
    virtual ~WorkerThread();

    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    virtual void stop();
    virtual void run() = 0;

    int start();
    bool isStopRequested() const { return m_stopRequested.load(std::memory_order_acquire); }
    bool isRunning() const { return m_running.load(std::memory_order_acquire); }
    void wait();

    static bool shouldStop(const WorkerThread* thread) { return !thread || thread->isStopRequested(); }
    static void msleep(unsigned long milliseconds) { QThread::msleep(milliseconds); }

    // Stops and joins the thread, drops the creator's reference and clears the pointer.
    template <typename T>
    static void release(T*& thread)
    {
        if (!thread)
            return;
        T* t = thread;
        thread = nullptr;
        releaseThread(t);
    }

    uint32_t references() const { return m_references.load(); }

private:
    friend class WorkerThreadPrivate;

    static void releaseThread(WorkerThread* thread);
    void dropReference();

    WorkerThreadPrivate* m_thread;
    std::atomic<bool> m_stopRequested{false};
    std::atomic<bool> m_running{false};
    std::atomic<uint32_t> m_references{1};
};

} // namespace orvane
