// The program's shell without the wire: command log text, settings and adapter dialogs, search status line,
// capture permission (grant, the main window's bar), the job dialog's worker thread and the toast's timing.
#include "AboutDialog.h"
#include "AdapterDialog.h"
#include "AdapterList.h"
#include "AlertDialog.h"
#include "AppConfig.h"
#include "CapturePermission.h"
#include "CapturePermissionDialog.h"
#include "CommandLogText.h"
#include "MainWindow.h"
#include "ProgressDialog.h"
#include "Toast.h"
#include "ToastView.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>
#include <atomic>
#include <limits>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace orvane;

namespace {

// Drops CAP_NET_RAW/CAP_NET_ADMIN from this thread (and those it starts) so root sees what a user sees.
struct CaptureCapabilitiesDropped
{
    CaptureCapabilitiesDropped()
    {
        syscall(SYS_capget, &header, saved);
        __user_cap_data_struct reduced[2] = {saved[0], saved[1]};
        reduced[0].effective &= ~((1u << CAP_NET_RAW) | (1u << CAP_NET_ADMIN));
        syscall(SYS_capset, &header, reduced);
    }
    ~CaptureCapabilitiesDropped() { syscall(SYS_capset, &header, saved); }
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved[2] = {};
};

std::unique_ptr<AdapterList> threeAdapters()
{
    std::unique_ptr<AdapterList> list(new AdapterList);
    const char* entries[][3] = {{"eth0", "Office", "10.0.0.5"}, {"eth1", "Lab", "192.168.50.2"},
                                {"eth2", "Site", "192.168.1.9"}};
    for (auto& e : entries) {
        std::unique_ptr<Adapter> a(new Adapter);
        Adapter::setText(a->pcapName, e[0]);
        Adapter::setText(a->description, e[1]);
        AdapterList::parseDotted(e[2], a->ip);
        list->append(std::move(a));
    }
    return list;
}

// Like every job whose run() uses its own members, it stops its worker before those members go.
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
    void abortWork() override { ++m_aborts; m_release.release(); }
    bool waitUntilEntered() const { return QTest::qWaitFor([this] { return m_entered.load(); }, 5000); }
    std::atomic<Mode> m_mode;
    std::atomic<bool> m_entered{false}, m_releasedByAbort{false};
    std::atomic<int> m_aborts{0}, m_closesEmitted{0};
    QSemaphore m_release;
};

// Kept out of the class: moc does not read raw string literals.
void addMaskRows()
{
    auto row = [](const char* name, const char* text, const char* logged) {
        QTest::newRow(name) << QByteArray(text) << QByteArray(logged);
    };
    row("sip objects, blanks", R"({"sip0":{"account" : "1011","password" : "pw \"q\" \\","displayName" : "D"}})",
        R"({"sip0":{"account" : "1011","password" : "******","displayName" : "D"}})");
    row("other keys", R"({"PASSWORD":"x","sipPassword":"a","passwd":"b"})",
        R"({"PASSWORD":"******","sipPassword":"******","passwd":"******"})");
    row("number value", R"({"password":1234,"id":2})", R"({"password":******,"id":2})");
    row("unterminated", R"({"password":"abc)", R"({"password":"******")");
    row("escaped key", R"({"pass\u0077ord":"x","n":1})", R"({"pass\u0077ord":"******","n":1})");
    row("pwd, object and array values", R"({"pwd":{"a":"x"},"sip":[{"Passcode":["y"]}]})",
        R"({"pwd":******,"sip":[{"Passcode":******}]})");
    row("not JSON from the broken string on", R"({"a":"x, "password":"y"})", R"({"a":******)");
    row("one line", "{\"rtp0\":{\n\t\"enable\":\t1,\r\n\t\"ip\":\t\"239.0.0.1\"\n}}",
        R"({"rtp0":{  "enable": 1,   "ip": "239.0.0.1" }})");
}

} // namespace

class TestAppShell : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init() { QFile::remove(AppConfig::filePath()); }

    void logTextMasksPasswords_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("logged");
        addMaskRows();
    }
    void logTextMasksPasswords()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, logged);
        QCOMPARE(CommandLogText::fromCommand(text.constData()), logged);
    }

    void aboutDialogShowsAndStoresSettings_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<int>("index");
        QTest::newRow("CN in capitals") << "CN" << 1;
        QTest::newRow("unknown") << "de" << 0;
    }
    void aboutDialogShowsAndStoresSettings()
    {
        QFETCH(QString, language);
        QFETCH(int, index);
        AppConfig().setLanguage(language);
        AppConfig().setAlarmTest(index);
        AboutDialog dialog;
        QCOMPARE(dialog.languageComboBox()->currentIndex(), index);
        QVERIFY(dialog.alarmTestCheckBox()->isChecked() == (index != 0) && dialog.searchTimeSpinBox()->value() == 2);
        // Showing the dialog stores nothing; a change does.
        QCOMPARE(AppConfig().language(), language);
        QTest::keyClick(dialog.alarmTestCheckBox(), Qt::Key_Space);
        QCOMPARE(AppConfig().alarmTest(), 1 - index);
        dialog.searchTimeSpinBox()->setValue(3.5);
        QCOMPARE(AppConfig().searchTime(), 3500);
        QString notice;
        QTimer::singleShot(0, [&notice] {
            auto* alert = qobject_cast<AlertDialog*>(QApplication::activeModalWidget());
            notice = alert->text();
            alert->accept();
        });
        dialog.languageComboBox()->setCurrentIndex(1 - index);
        QCOMPARE(notice, QStringLiteral("Language settings will take effect after restart"));
        QCOMPARE(AppConfig().language(), index ? QStringLiteral("en") : QStringLiteral("cn"));
    }

    // The remembered adapter is preselected, Ok stores the choice, Ok without adapters changes nothing.
    void adapterDialogChoosesAndStores()
    {
        AdapterDialog first;
        first.setList(threeAdapters());
        auto* combo = first.findChild<QComboBox*>();
        QVERIFY(combo->count() == 3 && combo->currentIndex() == 2 && combo->itemText(0) == "Office 10.0.0.5");
        AppConfig().setNetwork(QStringLiteral("eth0"));
        AdapterDialog dialog;
        dialog.setList(threeAdapters());
        QCOMPARE(dialog.findChild<QComboBox*>()->currentIndex(), 0);
        dialog.findChild<QComboBox*>()->setCurrentIndex(1);
        dialog.show();
        QTest::mouseClick(dialog.findChild<QPushButton*>(), Qt::LeftButton);
        QVERIFY(dialog.result() == QDialog::Accepted && AppConfig().network() == QLatin1String("eth1"));
        AdapterDialog none;
        none.setList(nullptr);
        none.show();
        QTest::mouseClick(none.findChild<QPushButton*>(), Qt::LeftButton);
        QVERIFY(none.result() == QDialog::Rejected && !none.selectedAdapter());
        QCOMPARE(AppConfig().network(), QStringLiteral("eth1"));
    }

    void searchStatusSaysWhatWasNotListed_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<bool>("early");
        QTest::addColumn<QString>("status");
        QTest::newRow("none") << 0 << false << "No devices answered on eth0";
        QTest::newRow("one, early") << 1 << true << "1 device on eth0; search ended early";
        QTest::newRow("flooded") << 4096 << false
                                 << "4096 devices on eth0; answers not listed beyond 4096 devices: 812; answers "
                                    "refused for naming a key twice: 3; answers naming a MAC other than their "
                                    "sender's: 1 (see the MAC column)";
    }
    // The log is not where an operator looks: what a search could not list is said in the window.
    void searchStatusSaysWhatWasNotListed()
    {
        QFETCH(int, rows);
        QFETCH(bool, early);
        QFETCH(QString, status);
        const bool flooded = rows == 4096;
        const ProtocolClient::SearchSummary summary{rows, 0, flooded ? 812 : 0, flooded ? 3 : 0, flooded ? 1 : 0, 0};
        QCOMPARE(MainWindow::searchStatus(rows, QStringLiteral("eth0"), summary, early), status);
    }

    void grantRunsSetcapByPathAndSaysWhyItFailed_data()
    {
        QTest::addColumn<int>("exitCode"); // -1: no pkexec at all
        QTest::addColumn<QString>("errorText");
        QTest::addColumn<QString>("reason"); // empty: granted
        const QString refused = QStringLiteral("Failed to set capabilities on file (Operation not supported)");
        QTest::newRow("granted") << 0 << QString() << QString();
        QTest::newRow("password prompt dismissed") << 126 << QString() << "the administrator password was not given";
        QTest::newRow("setcap refused") << 1 << refused << refused;
        QTest::newRow("no pkexec") << -1 << QString()
                                   << "pkexec is not installed (Debian package pkexec or policykit-1)";
    }
    // A user's PATH has no /usr/sbin: setcap goes by full path; a failure says why and what to type.
    void grantRunsSetcapByPathAndSaysWhyItFailed()
    {
        QFETCH(int, exitCode);
        QFETCH(QString, errorText);
        QFETCH(QString, reason);
        QTemporaryDir bin;
        const QString argsFile = bin.filePath(QStringLiteral("args"));
        if (exitCode >= 0) {
            QFile script(bin.filePath(QStringLiteral("pkexec")));
            QVERIFY(script.open(QIODevice::WriteOnly));
            script.write(QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$@\" > '%1'\necho '%2' >&2\nexit %3\n")
                             .arg(argsFile, errorText).arg(exitCode).toUtf8());
            script.close();
            script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", bin.path().toUtf8());
        const QString program = QStringLiteral("/opt/My Tools/orvane");
        const auto outcome = CapturePermissionDialog::grant(program);
        qputenv("PATH", path);
        QVERIFY(outcome.granted == reason.isEmpty() && outcome.reason == reason);
        QFile args(argsFile);
        if (args.open(QIODevice::ReadOnly))
            QCOMPARE(QString::fromUtf8(args.readAll()),
                     QStringLiteral("/usr/sbin/setcap\ncap_net_raw,cap_net_admin=eip\n%1\n").arg(program));
        const QString text = CapturePermissionDialog::outcomeText(outcome, program);
        QVERIFY2(reason.isEmpty() ? text == QLatin1String("Please restart the program")
                                  : text.contains(reason) && text.contains(QLatin1String("sudo /usr/sbin/setcap "
                                                               "cap_net_raw,cap_net_admin=eip '/opt/My Tools/orvane'")),
                 qPrintable(text));
    }

    // Without capture a search would show an empty table like a network without devices: say why instead.
    void mainWindowShowsTheBarWithoutCapture()
    {
        CaptureCapabilitiesDropped dropped;
        QVERIFY(!CapturePermission::hasCapabilities());
        MainWindow window; // its adapters cannot capture: nothing is sent
        window.showNormal();
        auto* bar = window.findChild<QWidget*>(QStringLiteral("captureBar"));
        QVERIFY(bar->isVisible() && bar->findChild<QPushButton*>(QStringLiteral("grantButton"))->isVisible());
        QVERIFY(window.captureMissing() && bar->findChild<QLabel*>()->text().contains("may not capture"));
        QTest::qWait(MainWindow::AutoSearchDelayMs * 3);
        QVERIFY(!QApplication::activeModalWidget() && window.statusText().isEmpty());
        // Ok to the question, and what came of it: pkexec refusing, granting, then at start-up none at all.
        QStringList notices;
        QTimer answer;
        connect(&answer, &QTimer::timeout, [&notices] {
            if (auto* notice = qobject_cast<AlertDialog*>(QApplication::activeModalWidget()))
                notices << notice->text();
            QMetaObject::invokeMethod(QApplication::activeModalWidget(), "accept");
        });
        answer.start(10);
        const QByteArray path = qgetenv("PATH");
        for (const char* pkexec : {"/bin/false", "/bin/true"}) {
            QTemporaryDir bin;
            QVERIFY(QFile::link(pkexec, bin.filePath(QStringLiteral("pkexec"))));
            qputenv("PATH", bin.path().toUtf8());
            QTest::mouseClick(bar->findChild<QPushButton*>(QStringLiteral("grantButton")), Qt::LeftButton);
        }
        CapturePermissionDialog::checkAtStartup(AppConfig().network());
        qputenv("PATH", path);
        const QString failed = "The permission could not be granted: %1.\nTo grant it by hand, run:\n" +
                               CapturePermission::manualCommand(qApp->applicationFilePath());
        QCOMPARE(notices,
                 (QStringList{failed.arg("setcap ended with code 1"), "Please restart the program",
                              failed.arg("pkexec is not installed (Debian package pkexec or policykit-1)")}));
    }

    void jobReportsAndClosesAccepted()
    {
        TestJob job(TestJob::ReportAndClose);
        job.start();
        QCOMPARE(job.exec(), int(QDialog::Accepted));
        QVERIFY(job.m_aborts == 0 && job.message() == QLatin1String("Searching"));
        auto* bar = job.findChild<QProgressBar*>();
        QVERIFY(bar->value() == 50 && !job.cancelButton()->isVisibleTo(&job));
        // A job dividing by a zero total: converting that to int is undefined, the bar keeps its value.
        job.setProgress(std::numeric_limits<float>::quiet_NaN());
        job.setProgress(std::numeric_limits<float>::infinity());
        QCOMPARE(bar->value(), 50);
    }

    void closingDuringJobAbortsAndStaysRejected_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("Esc") << 0;
        QTest::newRow("Cancel") << 1;
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
            how == 0 ? QTest::keyClick(&job, Qt::Key_Escape) : QTest::mouseClick(job.cancelButton(), Qt::LeftButton);
        });
        job.start();
        QCOMPARE(job.exec(), int(QDialog::Rejected));
        // abortWork() is what ended the blocked worker, not the job's own timeout.
        QVERIFY(job.m_aborts >= 1 && job.m_releasedByAbort && job.isStopped() && clock.elapsed() < 5000);
        // The stopped job's queued workFinished() must not accept the dialog.
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
            // No event loop runs between the jobs: the first one's workFinished() is still queued.
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

    // A second message stays its full time: neither the first one's timer nor its queued timeout ends it.
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
        QVERIFY2(clock.elapsed() >= 590 && !toast.view(), qPrintable(QString::number(clock.elapsed())));
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

QTEST_MAIN(TestAppShell)
#include "tst_appshell.moc"
