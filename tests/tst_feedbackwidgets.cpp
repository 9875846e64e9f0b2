#include "Dialog.h"
#include "PixmapButton.h"
#include "ProgressDialog.h"
#include "Toast.h"
#include "ToastView.h"
#include "WaitDialog.h"
#include "RoundedWidget.h"

#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>
#include <atomic>
#include <cmath>
#include <functional>
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
        CloseAtOnce,    // emit workFinished() and return
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
        case CloseAtOnce:
            break;
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

QImage renderWidget(QWidget& widget)
{
    QImage image(widget.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    // Only what the widget paints itself, not the palette's window background.
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

int countPixels(const QImage& image, const std::function<bool(QRgb)>& match)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += match(image.pixel(x, y)) ? 1 : 0;
    return count;
}

QPixmap filledPixmap(int w, int h, Qt::GlobalColor color)
{
    QPixmap pixmap(w, h);
    pixmap.fill(color);
    return pixmap;
}

} // namespace

class TestFeedbackWidgets : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void iconsAreCompiledIn_data();
    void iconsAreCompiledIn();
    void widgetPaintsBackgroundAndBorder_data();
    void widgetPaintsBackgroundAndBorder();
    void pixmapButtonShowsChosenPicture_data();
    void pixmapButtonShowsChosenPicture();
    void pixmapButtonClicksOnRelease_data();
    void pixmapButtonClicksOnRelease();

    void dialogCentresOnWidget_data();
    void dialogCentresOnWidget();

    void jobReturningAtOnceClosesAccepted();
    void jobReportsMessageAndProgress();
    void progressIsTruncatedPercent_data();
    void progressIsTruncatedPercent();
    void closingDuringJobAbortsAndStaysRejected_data();
    void closingDuringJobAbortsAndStaysRejected();
    void lateCloseOfStoppedJobDoesNotAcceptNextJob();
    void destroyingDialogEndsRunningJob();

    void toastPlacement_data();
    void toastPlacement();
    void toastSitsOverParent();
    void secondToastReplacesFirstForFullTime();
    void replacedToastTimeoutDoesNotHideSuccessor();
    void toastSurvivesItsParent();
};

void TestFeedbackWidgets::initTestCase()
{
    // The icons live in a static library; nothing references them until this.
    Q_INIT_RESOURCE(resources);
}

void TestFeedbackWidgets::iconsAreCompiledIn_data()
{
    QTest::addColumn<QString>("path");

    for (const char* name : {"play", "add", "audio", "microphone", "unavailable", "volume", "volume_mute"})
        QTest::newRow(name) << QStringLiteral(":/resources/%1.png").arg(QLatin1String(name));
}

void TestFeedbackWidgets::iconsAreCompiledIn()
{
    QFETCH(QString, path);

    const QImage icon(path);
    QVERIFY2(!icon.isNull(), qPrintable(path));
    QCOMPARE(icon.width(), icon.height());
    QVERIFY(icon.hasAlphaChannel());
    // Drawn over any background: transparent corners, something opaque inside.
    QCOMPARE(qAlpha(icon.pixel(0, 0)), 0);
    QVERIFY(countPixels(icon, [](QRgb p) { return qAlpha(p) == 255; }) > icon.width());
}

void TestFeedbackWidgets::widgetPaintsBackgroundAndBorder_data()
{
    QTest::addColumn<int>("borderWidth");
    QTest::addColumn<int>("radius");
    QTest::addColumn<bool>("borderExpected");
    QTest::addColumn<bool>("cornerPainted");

    // Width 0 must not fall back to Qt's one-pixel cosmetic pen.
    QTest::newRow("width 0, opaque colour") << 0 << 0 << false << true;
    QTest::newRow("width 0, rounded") << 0 << 10 << false << false;
    QTest::newRow("width 2") << 2 << 0 << true << true;
    QTest::newRow("width 2, rounded") << 2 << 10 << true << false;
}

void TestFeedbackWidgets::widgetPaintsBackgroundAndBorder()
{
    QFETCH(int, borderWidth);
    QFETCH(int, radius);
    QFETCH(bool, borderExpected);
    QFETCH(bool, cornerPainted);

    RoundedWidget widget;
    widget.resize(60, 40);
    widget.setBackgroundColor(0x0000ff, 255);
    widget.setBorder(borderWidth, radius, 0xff0000, 255);
    const QImage image = renderWidget(widget);

    const int reddish = countPixels(image, [](QRgb p) { return qRed(p) > 0; });
    QCOMPARE(reddish > 0, borderExpected);
    if (borderExpected)
        QCOMPARE(image.pixel(0, 20), qRgb(255, 0, 0));
    QCOMPARE(image.pixel(30, 20), qRgb(0, 0, 255));
    QCOMPARE(qAlpha(image.pixel(0, 0)) > 0, cornerPainted);
}

void TestFeedbackWidgets::pixmapButtonShowsChosenPicture_data()
{
    QTest::addColumn<bool>("alternate");
    QTest::addColumn<QRgb>("centre");

    QTest::newRow("normal") << false << qRgb(255, 0, 0);
    QTest::newRow("alternate") << true << qRgb(0, 0, 255);
}

void TestFeedbackWidgets::pixmapButtonShowsChosenPicture()
{
    QFETCH(bool, alternate);
    QFETCH(QRgb, centre);

    PixmapButton button;
    button.resize(30, 30);
    button.setPixmaps(filledPixmap(10, 10, Qt::red), filledPixmap(10, 10, Qt::blue));
    button.setAlternate(alternate);
    const QImage image = renderWidget(button);

    // Centred: a 10 x 10 picture covers 10..19 of a 30 x 30 button.
    QCOMPARE(image.pixel(10, 10), centre);
    QCOMPARE(image.pixel(19, 19), centre);
    QCOMPARE(qAlpha(image.pixel(9, 9)), 0);
    QCOMPARE(button.cursor().shape(), Qt::PointingHandCursor);
}

void TestFeedbackWidgets::pixmapButtonClicksOnRelease_data()
{
    QTest::addColumn<QPoint>("releaseAt");

    QTest::newRow("release on the button") << QPoint(25, 25);
    QTest::newRow("release after dragging outside") << QPoint(150, 120);
}

void TestFeedbackWidgets::pixmapButtonClicksOnRelease()
{
    QFETCH(QPoint, releaseAt);

    QWidget window;
    window.resize(200, 200);
    auto* button = new PixmapButton(&window);
    button->setGeometry(10, 10, 30, 30);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QSignalSpy clicked(button, &PixmapButton::clicked);

    // Through the window, so that Qt's implicit grab decides who gets the release.
    QWindow* handle = window.windowHandle();
    QTest::mousePress(handle, Qt::LeftButton, Qt::NoModifier, QPoint(25, 25));
    QTest::mouseMove(handle, releaseAt);
    QTest::mouseRelease(handle, Qt::LeftButton, Qt::NoModifier, releaseAt);

    QCOMPARE(clicked.count(), 1);
}

void TestFeedbackWidgets::dialogCentresOnWidget_data()
{
    QTest::addColumn<QRect>("windowGeometry");
    QTest::addColumn<QRect>("childGeometry");
    QTest::addColumn<QSize>("dialogSize");
    QTest::addColumn<QPoint>("expected");

    QTest::newRow("main window") << QRect(100, 100, 400, 300) << QRect() << QSize(200, 100)
                                 << QPoint(200, 200);
    QTest::newRow("odd difference rounds down")
        << QRect(100, 100, 401, 301) << QRect() << QSize(200, 100) << QPoint(200, 200);
    QTest::newRow("dialog larger than window")
        << QRect(100, 100, 200, 100) << QRect() << QSize(350, 100) << QPoint(25, 100);
    // A page inside the window: its own geometry is relative to the window.
    QTest::newRow("child widget") << QRect(100, 100, 400, 300) << QRect(50, 40, 100, 100) << QSize(60, 20)
                                  << QPoint(170, 180);
}

void TestFeedbackWidgets::dialogCentresOnWidget()
{
    QFETCH(QRect, windowGeometry);
    QFETCH(QRect, childGeometry);
    QFETCH(QSize, dialogSize);
    QFETCH(QPoint, expected);

    QWidget window;
    window.setGeometry(windowGeometry);
    QWidget* target = &window;
    if (childGeometry.isValid()) {
        target = new QWidget(&window);
        target->setGeometry(childGeometry);
    }

    Dialog dialog;
    QVERIFY(!(dialog.windowFlags() & Qt::WindowContextHelpButtonHint));
    dialog.resize(dialogSize);
    dialog.move(1, 2);
    dialog.centerOn(nullptr);
    QCOMPARE(dialog.pos(), QPoint(1, 2));
    dialog.centerOn(target);
    QCOMPARE(dialog.pos(), expected);
    QCOMPARE(dialog.size(), dialogSize);
}

void TestFeedbackWidgets::jobReturningAtOnceClosesAccepted()
{
    TestJob job(TestJob::CloseAtOnce);
    QTimer::singleShot(10000, &job, [&job] { job.done(-1); });
    QElapsedTimer clock;
    clock.start();
    job.start();
    QCOMPARE(job.exec(), int(QDialog::Accepted));
    QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(job.m_aborts.load(), 0);
}

void TestFeedbackWidgets::jobReportsMessageAndProgress()
{
    TestJob job(TestJob::ReportAndClose);
    QTimer::singleShot(10000, &job, [&job] { job.done(-1); });
    job.start();
    QCOMPARE(job.exec(), int(QDialog::Accepted));
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

    // The stopped job did emit workFinished(); once its queued delivery has had every chance
    // to arrive, the dialog must still be rejected.
    QCOMPARE(job.m_closesEmitted.load(), 1);
    QTest::qWait(100);
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

    QTest::qWait(100);
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

void TestFeedbackWidgets::toastPlacement_data()
{
    QTest::addColumn<QSize>("parent");
    QTest::addColumn<QSize>("view");
    QTest::addColumn<int>("position");
    QTest::addColumn<QPoint>("expected");

    const QSize page(400, 300);
    const QSize view(140, 27);
    QTest::newRow("36 centre") << page << view << 36 << QPoint(130, 136);
    QTest::newRow("33 top centre") << page << view << 33 << QPoint(130, 10);
    QTest::newRow("9 top left") << page << view << 9 << QPoint(10, 10);
    QTest::newRow("20 right middle") << page << view << 20 << QPoint(250, 136);
    QTest::newRow("0 bottom centre") << page << view << 0 << QPoint(130, 263);
    QTest::newRow("top wins over middle") << page << view << 5 << QPoint(130, 10);
    QTest::newRow("left wins over right") << page << view << 24 << QPoint(10, 263);
}

void TestFeedbackWidgets::toastPlacement()
{
    QFETCH(QSize, parent);
    QFETCH(QSize, view);
    QFETCH(int, position);
    QFETCH(QPoint, expected);

    QCOMPARE(Toast::placement(parent, view, position), expected);
}

void TestFeedbackWidgets::toastSitsOverParent()
{
    QWidget page;
    page.resize(400, 300);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));

    Toast toast;
    toast.show(&page, QStringLiteral("The name must not be empty"), 36, 2000);
    ToastView* view = toast.view();
    QVERIFY(view);
    QVERIFY(view->isVisible());
    QCOMPARE(view->parentWidget(), &page);

    QLabel* label = view->label();
    QCOMPARE(label->text(), QStringLiteral("The name must not be empty"));
    QCOMPARE(label->pos(), QPoint(10, 5));
    QCOMPARE(view->size(), label->size() + QSize(20, 10));
    QCOMPARE(view->pos(), Toast::placement(page.size(), view->size(), 36));
    QCOMPARE(label->palette().color(QPalette::WindowText), QColor(255, 255, 255));
    QCOMPARE(view->backgroundColor(), QColor(0, 0, 0, 128));

    toast.hide();
    QVERIFY(!toast.view());
    QVERIFY(page.findChildren<ToastView*>().isEmpty());
}

void TestFeedbackWidgets::secondToastReplacesFirstForFullTime()
{
    QWidget page;
    page.resize(400, 300);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));

    Toast toast;
    toast.show(&page, QStringLiteral("first"), 33, 2000);
    QPointer<ToastView> first = toast.view();
    QTest::qWait(500);

    QElapsedTimer clock;
    clock.start();
    toast.show(&page, QStringLiteral("second"), 33, 2000);
    QPointer<ToastView> second = toast.view();
    QVERIFY(first.isNull());
    QCOMPARE(page.findChildren<ToastView*>().size(), 1);
    QVERIFY(second && second->isVisible());

    // Watch past the moment the first toast would have ended.
    while (second && second->isVisible() && clock.elapsed() < 8000)
        QTest::qWait(10);
    const qint64 shownFor = clock.elapsed();
    QVERIFY2(shownFor >= 1990, qPrintable(QString::number(shownFor)));
    QVERIFY2(shownFor < 6000, qPrintable(QString::number(shownFor)));
    QVERIFY(second.isNull());
    QVERIFY(!toast.view());
}

void TestFeedbackWidgets::replacedToastTimeoutDoesNotHideSuccessor()
{
    QWidget page;
    page.resize(400, 300);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));

    Toast toast;
    toast.show(&page, QStringLiteral("first"), 33, 60000);
    auto* timer = toast.findChild<QTimer*>();
    QVERIFY(timer);
    // The first toast's timeout has fired and its queued call waits in the event
    // queue when the second toast is shown.
    QVERIFY(QMetaObject::invokeMethod(timer, "timeout", Qt::DirectConnection));
    toast.show(&page, QStringLiteral("second"), 33, 60000);
    QPointer<ToastView> second = toast.view();

    QTest::qWait(100);
    QVERIFY(second && second->isVisible());
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
