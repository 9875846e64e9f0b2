#include "WorkerThread.h"

#include <QtTest>
#include <atomic>

namespace {

std::atomic<int> g_destroyed{0};

// Loops until stopped, counting its steps.
class LoopThread : public WorkerThread
{
public:
    ~LoopThread() override { ++g_destroyed; }
    void run() override
    {
        while (!isStopRequested()) {
            ++steps;
            msleep(1);
        }
    }
    std::atomic<int> steps{0};
};

// Returns by itself after a short while.
class ShortThread : public WorkerThread
{
public:
    ~ShortThread() override { ++g_destroyed; }
    void run() override { msleep(20); }
};

// Tests its stop through the pointer its owner holds, as the RTP threads do.
class PointerWatchingThread : public WorkerThread
{
public:
    explicit PointerWatchingThread(WorkerThread* const* slot) : m_slot(slot) {}
    void run() override
    {
        while (!shouldStop(*m_slot))
            msleep(1);
    }

private:
    WorkerThread* const* m_slot;
};

} // namespace

class TestVyThread : public QObject
{
    Q_OBJECT
private slots:
    void init() { g_destroyed = 0; }
    void releaseOfNullDoesNothing();
    void shouldStopOfNullIsTrue();
    void stopBeforeStartIsForgotten();
    void endsByItselfAndCanStartAgain();
    void releaseStopsJoinsAndDestroys();
    void releaseAfterBodyEndedDestroysOnce();
    void stopWaitDeleteLeavesNoThread();
};

void TestVyThread::releaseOfNullDoesNothing()
{
    LoopThread* none = nullptr;
    WorkerThread::release(none);
    QVERIFY(!none);
    QCOMPARE(g_destroyed.load(), 0);
}

void TestVyThread::shouldStopOfNullIsTrue()
{
    QVERIFY(WorkerThread::shouldStop(nullptr));
    LoopThread t;
    QVERIFY(!WorkerThread::shouldStop(&t));
    t.stop();
    QVERIFY(WorkerThread::shouldStop(&t));
}

void TestVyThread::stopBeforeStartIsForgotten()
{
    LoopThread* t = new LoopThread;
    t->stop();
    QCOMPARE(t->start(), 0);
    QTRY_VERIFY(t->steps.load() > 5);
    QVERIFY(t->isRunning());
    QCOMPARE(t->references(), 2u);
    WorkerThread::release(t);
    QCOMPARE(g_destroyed.load(), 1);
}

void TestVyThread::endsByItselfAndCanStartAgain()
{
    ShortThread t;
    QVERIFY(!t.isRunning());
    t.start();
    QVERIFY(t.isRunning());
    QTRY_VERIFY(!t.isRunning());
    t.wait();
    // The running reference is gone; the creator's stays.
    QCOMPARE(t.references(), 1u);
    t.start();
    QVERIFY(t.isRunning());
    t.wait();
    QVERIFY(!t.isRunning());
    QCOMPARE(t.references(), 1u);
}

void TestVyThread::releaseStopsJoinsAndDestroys()
{
    WorkerThread* slot = nullptr;
    PointerWatchingThread* t = new PointerWatchingThread(&slot);
    slot = t;
    t->start();
    QTest::qWait(20);
    QElapsedTimer timer;
    timer.start();
    WorkerThread::release(slot);
    QVERIFY(!slot);
    QVERIFY(timer.elapsed() < 2000);
}

void TestVyThread::releaseAfterBodyEndedDestroysOnce()
{
    ShortThread* t = new ShortThread;
    t->start();
    QTRY_VERIFY(!t->isRunning());
    QCOMPARE(g_destroyed.load(), 0);
    WorkerThread::release(t);
    QVERIFY(!t);
    QCOMPARE(g_destroyed.load(), 1);
}

void TestVyThread::stopWaitDeleteLeavesNoThread()
{
    const int before = QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size();
    for (int i = 0; i < 20; ++i) {
        LoopThread* t = new LoopThread;
        t->start();
        t->stop();
        t->wait();
        QVERIFY(!t->isRunning());
        delete t;
    }
    QCOMPARE(g_destroyed.load(), 20);
    // At most as many as before: a thread of an earlier case may still be on its way out.
    QTRY_VERIFY(QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size() <= before);
}

QTEST_GUILESS_MAIN(TestVyThread)
#include "tst_vythread.moc"
