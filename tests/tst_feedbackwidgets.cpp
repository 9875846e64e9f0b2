#include "ProgressDialog.h"
#include "Toast.h"
#include "ToastView.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>
#include <atomic>
#include <limits>
#include <memory>

namespace {

// A job whose behaviour the test chooses. Like every job whose run() uses its own
// members, it stops its worker before those members go.
class TestJob : public ProgressDialog
{
public:
    enum Mode
    {
        WaitForAbort,   // block until abortWork() releases it, then emit workFinished()
        PollStop,       // loop until isStopped()
        ReportAndClose, // send a message and a progress, then workFinished()
    };

    explicit TestJob(Mode mode) : m_mode(mode) {}
    ~TestJob() override { stop(); }

    void setMode(Mode mode) { m_mode = mode; }

    void run() override
    {
        m_busy = true;
        m_entered = true;
        switch (m_mode.load()) {
        case WaitForAbort:
            // Long enough that a stop() waiting before abortWork() shows as a timeout.
            m_releasedByAbort = m_release.tryAcquire(1, 10000);
            break;
        case PollStop:
            while (!isStopped())
                QThread::msleep(1);
            break;
        case ReportAndClose:
            emit setMessageQueued(QStringLiteral("Searching"));
            emit setProgressQueued(0.5f);
            break;
        }
        m_closesEmitted++;
        emit workFinished();
        m_busy = false;
    }

    void abortWork() override
    {
        m_aborts++;
        m_busyAtAbort = m_busy.load();
        m_release.release();
    }

    bool waitUntilEntered() const
    {
        return QTest::qWaitFor([this] { return m_entered.load(); }, 5000);
    }

    std::atomic<Mode> m_mode;
    std::atomic<bool> m_entered{false};
    std::atomic<bool> m_busy{false};
    std::atomic<bool> m_busyAtAbort{false};
    std::atomic<bool> m_releasedByAbort{false};
    std::atomic<int> m_aborts{0};
    std::atomic<int> m_closesEmitted{0};
    QSemaphore m_release;
};

} // namespace

class TestFeedbackWidgets : public QObject
{
    Q_OBJECT

private slots:
    void jobReportsAndClosesAccepted();
    void progressIsTruncatedPercent_data();
    void progressIsTruncatedPercent();
    void closingDuringJobAbortsAndStaysRejected_data();
    void closingDuringJobAbortsAndStaysRejected();
    void lateCloseOfStoppedJobDoesNotAcceptNextJob();
    void destroyingDialogEndsRunningJob();

    void secondToastReplacesFirstForFullTime();
    void toastSurvivesItsParent();
};

void TestFeedbackWidgets::jobReportsAndClosesAccepted()
{
    TestJob job(TestJob::ReportAndClose);
    QTimer::singleShot(10000, &job, [&job] { job.done(-1); });
    job.start();
    QCOMPARE(job.exec(), int(QDialog::Accepted));
    QCOMPARE(job.m_aborts.load(), 0);
    QCOMPARE(job.findChild<QLabel*>()->text(), QStringLiteral("Searching"));
    QCOMPARE(job.findChild<QProgressBar*>()->value(), 50);
}

void TestFeedbackWidgets::progressIsTruncatedPercent_data()
{
    QTest::addColumn<float>("fraction");
    QTest::addColumn<int>("value");

    QTest::newRow("half") << 0.5f << 50;
    QTest::newRow("almost all") << 0.999f << 99;
    // A job dividing by a zero total; the bar keeps its last value.
    QTest::newRow("not a number") << std::numeric_limits<float>::quiet_NaN() << 30;
    QTest::newRow("infinite") << std::numeric_limits<float>::infinity() << 30;
}

void TestFeedbackWidgets::progressIsTruncatedPercent()
{
    QFETCH(float, fraction);
    QFETCH(int, value);

    ProgressDialog dialog;
    auto* bar = dialog.findChild<QProgressBar*>();
    dialog.setProgress(0.3f);
    dialog.setProgress(fraction);
    QCOMPARE(bar->value(), value);
    QCOMPARE(bar->maximum(), 0);
}

void TestFeedbackWidgets::closingDuringJobAbortsAndStaysRejected_data()
{
    QTest::addColumn<bool>("escape");

    QTest::newRow("Esc") << true;
    QTest::newRow("close button") << false;
}

void TestFeedbackWidgets::closingDuringJobAbortsAndStaysRejected()
{
    QFETCH(bool, escape);

    TestJob job(TestJob::WaitForAbort);
    QSignalSpy accepted(&job, &QDialog::accepted);
    QElapsedTimer clock;
    QTimer::singleShot(0, &job, [&] {
        QVERIFY(job.waitUntilEntered());
        clock.start();
        if (escape)
            QTest::keyClick(&job, Qt::Key_Escape);
        else
            job.close();
    });
    job.start();
    QCOMPARE(job.exec(), int(QDialog::Rejected));

    // abortWork() ran while the worker was still blocked, and that is what ended it,
    // not the job's own timeout.
    QCOMPARE(job.m_aborts.load(), 1);
    QVERIFY(job.m_busyAtAbort.load());
    QVERIFY(job.m_releasedByAbort.load());
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(job.isStopped());

    // The stopped job did emit workFinished(); once its queued delivery has
    // arrived, the dialog must still be rejected.
    QCOMPARE(job.m_closesEmitted.load(), 1);
    QCoreApplication::sendPostedEvents();
    QCOMPARE(job.result(), int(QDialog::Rejected));
    QCOMPARE(accepted.count(), 0);
}

void TestFeedbackWidgets::lateCloseOfStoppedJobDoesNotAcceptNextJob()
{
    TestJob job(TestJob::WaitForAbort);
    QSignalSpy accepted(&job, &QDialog::accepted);
    job.start();
    QVERIFY(job.waitUntilEntered());
    // No event loop runs between the two jobs, so the first one's workFinished() is still
    // queued when the second starts.
    job.reject();
    QCOMPARE(job.m_closesEmitted.load(), 1);
    job.m_entered = false;
    job.setMode(TestJob::PollStop);
    job.start();
    QVERIFY(job.waitUntilEntered());

    QCoreApplication::sendPostedEvents();
    QCOMPARE(accepted.count(), 0);
    QVERIFY(!job.isStopped());
    job.stop();
}

void TestFeedbackWidgets::destroyingDialogEndsRunningJob()
{
    auto job = std::make_unique<TestJob>(TestJob::PollStop);
    job->start();
    QVERIFY(job->waitUntilEntered());
    QElapsedTimer clock;
    clock.start();
    job.reset();
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
}

// A second message replaces the first and stays its full time: neither the
// first one's timer nor its timeout already waiting in the queue may end it.
void TestFeedbackWidgets::secondToastReplacesFirstForFullTime()
{
    QWidget page;
    page.resize(400, 300);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));

    Toast toast;
    toast.show(&page, QStringLiteral("first"), 33, 300);
    QPointer<ToastView> first = toast.view();
    QTest::qWait(100);
    auto* timer = toast.findChild<QTimer*>();
    QVERIFY(timer);
    QVERIFY(QMetaObject::invokeMethod(timer, "timeout", Qt::DirectConnection));

    QElapsedTimer clock;
    clock.start();
    toast.show(&page, QStringLiteral("second"), 33, 600);
    QPointer<ToastView> second = toast.view();
    QVERIFY(first.isNull());
    QCOMPARE(page.findChildren<ToastView*>().size(), 1);
    while (second && second->isVisible() && clock.elapsed() < 8000)
        QTest::qWait(10);
    const qint64 shownFor = clock.elapsed();
    QVERIFY2(shownFor >= 590 && shownFor < 6000, qPrintable(QString::number(shownFor)));
    QVERIFY(second.isNull());
    QVERIFY(!toast.view());
}

void TestFeedbackWidgets::toastSurvivesItsParent()
{
    Toast toast;
    {
        QWidget dialog;
        dialog.resize(400, 300);
        toast.show(&dialog, QStringLiteral("gone with the dialog"), 36, 50);
        QVERIFY(toast.view());
    }
    QVERIFY(!toast.view());
    // The timer still fires and must not touch the view that died with its parent.
    QTest::qWait(150);
    toast.hide();
}

QTEST_MAIN(TestFeedbackWidgets)
#include "tst_feedbackwidgets.moc"
