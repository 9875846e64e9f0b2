// The job dialog's worker thread (closing, stopping, late signals) and the toast's timing.
#include "ProgressDialog.h"
#include "Toast.h"
#include "ToastView.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSemaphore>
#include <QSignalSpy>
#include <QtTest>
#include <atomic>
#include <limits>

namespace {

// A job whose behaviour the test chooses. Like every job whose run() uses its own
// members, it stops its worker before those members go.
class TestJob : public ProgressDialog
{
public:
    enum Mode { WaitForAbort, PollStop, ReportAndClose };

    explicit TestJob(Mode mode) : m_mode(mode) {}
    ~TestJob() override { stop(); }

    void run() override
    {
        m_entered = true;
        if (m_mode == WaitForAbort) {
            // Long enough that a stop() waiting before abortWork() shows as a timeout.
            m_releasedByAbort = m_release.tryAcquire(1, 10000);
        } else if (m_mode == PollStop) {
            while (!isStopped())
                QThread::msleep(1);
        } else {
            emit setMessageQueued(QStringLiteral("Searching"));
            emit setProgressQueued(0.5f);
        }
        m_closesEmitted++;
        emit workFinished();
    }
    void abortWork() override
    {
        m_aborts++;
        m_release.release();
    }
    bool waitUntilEntered() const { return QTest::qWaitFor([this] { return m_entered.load(); }, 5000); }

    std::atomic<Mode> m_mode;
    std::atomic<bool> m_entered{false};
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
    void jobReportsAndClosesAccepted()
    {
        TestJob job(TestJob::ReportAndClose);
        QTimer::singleShot(10000, &job, [&job] { job.done(-1); });
        job.start();
        QCOMPARE(job.exec(), int(QDialog::Accepted));
        QVERIFY(job.m_aborts == 0 && job.message() == QLatin1String("Searching"));
        auto* bar = job.findChild<QProgressBar*>();
        QCOMPARE(bar->value(), 50);
        // A job dividing by a zero total: converting that to int is undefined, the bar keeps its value.
        job.setProgress(std::numeric_limits<float>::quiet_NaN());
        job.setProgress(std::numeric_limits<float>::infinity());
        QCOMPARE(bar->value(), 50);
        QVERIFY(!job.cancelButton()->isVisibleTo(&job));
    }

    void closingDuringJobAbortsAndStaysRejected_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("Esc") << 0;
        QTest::newRow("close button") << 1;
        QTest::newRow("Cancel") << 2;
    }
    void closingDuringJobAbortsAndStaysRejected()
    {
        QFETCH(int, how);
        TestJob job(TestJob::WaitForAbort);
        job.setCancellable(true);
        QSignalSpy accepted(&job, &QDialog::accepted);
        QElapsedTimer clock;
        QTimer::singleShot(0, &job, [&] {
            QVERIFY(job.waitUntilEntered());
            clock.start();
            if (how == 0)
                QTest::keyClick(&job, Qt::Key_Escape);
            else if (how == 1)
                job.close();
            else
                QTest::mouseClick(job.cancelButton(), Qt::LeftButton);
        });
        job.start();
        QCOMPARE(job.exec(), int(QDialog::Rejected));
        // abortWork() is what ended the blocked worker, not the job's own timeout.
        QVERIFY(job.m_aborts >= 1 && job.m_releasedByAbort && job.isStopped());
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
        // The stopped job did emit workFinished(); once its queued delivery has
        // arrived, the dialog must still be rejected.
        QCOMPARE(job.m_closesEmitted.load(), 1);
        QCoreApplication::sendPostedEvents();
        QVERIFY(job.result() == QDialog::Rejected && accepted.isEmpty());
    }

    void lateCloseOfStoppedJobDoesNotAcceptNextJob()
    {
        QElapsedTimer clock;
        {
            TestJob job(TestJob::WaitForAbort);
            QSignalSpy accepted(&job, &QDialog::accepted);
            job.start();
            QVERIFY(job.waitUntilEntered());
            // No event loop runs between the two jobs, so the first one's workFinished() is
            // still queued when the second starts.
            job.reject();
            QCOMPARE(job.m_closesEmitted.load(), 1);
            job.m_entered = false;
            job.m_mode = TestJob::PollStop;
            job.start();
            QVERIFY(job.waitUntilEntered());
            QCoreApplication::sendPostedEvents();
            QVERIFY(accepted.isEmpty() && !job.isStopped());
            clock.start();
        }
        // Destroying the dialog ended its running job.
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    }

    // A second message replaces the first and stays its full time: neither the
    // first one's timer nor its timeout already waiting in the queue may end it.
    void secondToastReplacesFirstForFullTime()
    {
        QWidget page;
        page.resize(400, 300);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        Toast toast;
        toast.show(&page, QStringLiteral("first"), 33, 300);
        QPointer<ToastView> first = toast.view();
        auto* timer = toast.findChild<QTimer*>();
        QVERIFY(timer && QMetaObject::invokeMethod(timer, "timeout", Qt::DirectConnection));
        QElapsedTimer clock;
        clock.start();
        toast.show(&page, QStringLiteral("second"), 33, 600);
        QPointer<ToastView> second = toast.view();
        QVERIFY(first.isNull() && page.findChildren<ToastView*>().size() == 1);
        QTRY_VERIFY_WITH_TIMEOUT(second.isNull(), 8000);
        QVERIFY2(clock.elapsed() >= 590, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!toast.view());
    }

    void toastSurvivesItsParent()
    {
        Toast toast;
        {
            QWidget dialog;
            toast.show(&dialog, QStringLiteral("gone with the dialog"), 36, 50);
            QVERIFY(toast.view());
        }
        QVERIFY(!toast.view());
        // The timer still fires and must not touch the view that died with its parent.
        QTest::qWait(150);
        toast.hide();
    }
};

QTEST_MAIN(TestFeedbackWidgets)
#include "tst_feedbackwidgets.moc"
