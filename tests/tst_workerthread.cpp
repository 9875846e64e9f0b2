#include "NetNamespacePair.h"
#include "WorkerThread.h"

#include <QtTest>
#include <atomic>

using namespace orvane;

namespace {

std::atomic<int> g_destroyed{0};

// Loops until stopped, or returns by itself after 20 ms when `brief`.
class LoopThread : public WorkerThread
{
public:
    explicit LoopThread(bool brief = false) : brief(brief) {}
    ~LoopThread() override { ++g_destroyed; }
    void run() override
    {
        if (brief) {
            msleep(20);
            return;
        }
        while (!isStopRequested()) {
            ++steps;
            msleep(1);
        }
    }
    std::atomic<int> steps{0};
    const bool brief;
};

} // namespace

class TestWorkerThread : public QObject
{
    Q_OBJECT
private slots:
    void init() { g_destroyed = 0; }
    void stopBeforeStartIsForgotten()
    {
        LoopThread* t = new LoopThread;
        t->stop();
        QCOMPARE(t->start(), 0);
        QTRY_VERIFY(t->steps.load() > 5);
        QCOMPARE(t->references(), 2u);
        WorkerThread::release(t);
        QCOMPARE(g_destroyed.load(), 1);
    }
    void endsByItselfAndCanStartAgain()
    {
        LoopThread t(true);
        for (int round = 0; round < 2; ++round) {
            t.start();
            QVERIFY(t.isRunning());
            QTRY_VERIFY(!t.isRunning());
            t.wait();
            // The running reference is gone; the creator's stays.
            QCOMPARE(t.references(), 1u);
        }
    }
    void releaseJoinsAndDestroysOnce_data()
    {
        QTest::addColumn<bool>("bodyEnded");
        QTest::newRow("still running") << false;
        QTest::newRow("body already ended") << true;
    }
    void releaseJoinsAndDestroysOnce()
    {
        QFETCH(bool, bodyEnded);
        LoopThread* slot = new LoopThread(bodyEnded);
        slot->start();
        if (bodyEnded)
            QTRY_VERIFY(!slot->isRunning());
        QCOMPARE(g_destroyed.load(), 0);
        QElapsedTimer timer;
        timer.start();
        WorkerThread::release(slot);
        QVERIFY(!slot);
        WorkerThread::release(slot); // a null slot is left alone
        QVERIFY(WorkerThread::shouldStop(nullptr));
        QCOMPARE(g_destroyed.load(), 1);
        QVERIFY(timer.elapsed() < 2000);
    }
    void stopWaitDeleteLeavesNoThread()
    {
        const int before = settledThreadCount();
        for (int i = 0; i < 20; ++i) {
            LoopThread* t = new LoopThread;
            t->start();
            t->stop();
            t->wait();
            QVERIFY(!t->isRunning());
            delete t;
        }
        QCOMPARE(g_destroyed.load(), 20);
        QTRY_VERIFY(processThreadCount() <= before);
    }
};

QTEST_GUILESS_MAIN(TestWorkerThread)
#include "tst_workerthread.moc"
