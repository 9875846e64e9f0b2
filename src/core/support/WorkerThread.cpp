#include "WorkerThread.h"

namespace orvane {

void WorkerThreadPrivate::run()
{
    WorkerThread* owner = m_owner;
    owner->run();
    owner->m_running.store(false, std::memory_order_release);
    owner->dropReference();
}

WorkerThread::WorkerThread() : m_thread(new WorkerThreadPrivate(this)) {}

WorkerThread::~WorkerThread()
{
    // Destroying a running thread is a caller's bug; joining here turns a
    // use-after-free into a wait. A body that dropped the last reference
    // itself is already past the last use of the object.
    if (m_thread->isRunning() && QThread::currentThread() != m_thread)
        m_thread->wait();
    if (QThread::currentThread() == m_thread) {
        QObject::connect(m_thread, &QThread::finished, m_thread, &QObject::deleteLater);
        return;
    }
    delete m_thread;
}

void WorkerThread::stop()
{
    m_stopRequested.store(true, std::memory_order_release);
}

int WorkerThread::start()
{
    m_references.fetch_add(1);
    m_stopRequested.store(false, std::memory_order_release);
    m_running.store(true, std::memory_order_release);
    m_thread->start(QThread::InheritPriority);
    return 0;
}

void WorkerThread::wait()
{
    m_thread->quit();
    m_thread->wait();
}

void WorkerThread::dropReference()
{
    if (m_references.fetch_sub(1) == 1)
        delete this;
}

void WorkerThread::releaseThread(WorkerThread* thread)
{
    thread->stop();
    thread->wait();
    thread->dropReference();
}

} // namespace orvane
