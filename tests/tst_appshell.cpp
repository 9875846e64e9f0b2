// The parts of the program's shell that need no wire: what a command looks like
// in the log, the settings and adapter dialogs, the status line after a search,
// and the capture permission: its grant and the main window's bar while it is missing.
#include "AboutDialog.h"
#include "AdapterDialog.h"
#include "AdapterList.h"
#include "AlertDialog.h"
#include "AppConfig.h"
#include "CapturePermission.h"
#include "CapturePermissionDialog.h"
#include "CommandLogText.h"
#include "CopyingTableView.h"
#include "MainWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// Takes CAP_NET_RAW and CAP_NET_ADMIN out of this thread's effective set (the
// threads it starts inherit that) and puts them back when it goes, so that a
// root test run sees what an ordinary user sees.
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

// Kept out of the class: moc does not read raw string literals.
void addMaskRows()
{
    auto row = [](const char* name, const char* text, const char* logged) {
        QTest::newRow(name) << QByteArray(text) << QByteArray(logged);
    };
    row("sip objects, blanks", R"({"sip0":{"account" : "1011","password" : "pw \"q\" \\","displayName" : "D"}})",
        R"({"sip0":{"account" : "1011","password" : "******","displayName" : "D"}})");
    row("capital key", R"({"PASSWORD":"x","ID":1})", R"({"PASSWORD":"******","ID":1})");
    row("other keys", R"({"sipPassword":"a","passwd":"b"})", R"({"sipPassword":"******","passwd":"******"})");
    row("number value", R"({"password":1234,"id":2})", R"({"password":******,"id":2})");
    row("unterminated", R"({"password":"abc)", R"({"password":"******")");
    row("escaped key", R"({"pass\u0077ord":"x","n":1})", R"({"pass\u0077ord":"******","n":1})");
    row("pwd, object and array values", R"({"pwd":{"a":"x"},"sip":[{"Passcode":["y"]}]})",
        R"({"pwd":******,"sip":[{"Passcode":******}]})");
    row("not JSON from a password on", R"({"a":"x, "password":"y"})", R"({"a":"x, "******)");
    row("empty", "", "");
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
        QTest::newRow("en") << "en" << 0;
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
        dialog.show();
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("closeButton")), Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
    }

    // The remembered adapter is preselected, Ok stores the choice, and Ok without adapters changes nothing.
    void adapterDialogChoosesAndStores()
    {
        AdapterDialog first;
        first.setList(threeAdapters());
        auto* combo = first.findChild<QComboBox*>();
        QVERIFY(combo->count() == 3 && combo->currentIndex() == 2);
        QCOMPARE(combo->itemText(0), QStringLiteral("Office 10.0.0.5"));
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
        ProtocolClient::SearchSummary summary;
        summary.overflow = rows == 4096 ? 812 : 0;
        summary.refused = summary.overflow ? 3 : 0;
        summary.foreignClaims = summary.overflow ? 1 : 0;
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
    // A user's PATH has no /usr/sbin: setcap must go by its full path, and a
    // failure must say why and what to type instead.
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
        const CapturePermissionDialog::Outcome outcome = CapturePermissionDialog::grant(program);
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

    // Without capture every search would end in an empty table that reads like a
    // network without devices: the window says why instead, and does not search.
    void mainWindowShowsTheBarWithoutCapture()
    {
        CaptureCapabilitiesDropped dropped;
        QVERIFY(!CapturePermission::hasCapabilities());
        MainWindow window; // its adapters cannot capture: nothing is sent
        window.showNormal();
        window.resize(1366, 768);
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(window.captureMissing());
        auto* bar = window.findChild<QWidget*>(QStringLiteral("captureBar"));
        QVERIFY(bar->isVisible() && bar->findChild<QPushButton*>(QStringLiteral("grantButton"))->isVisible());
        QVERIFY(bar->findChild<QLabel*>()->text().contains(QLatin1String("may not capture")));
        const QRect table(window.tableView()->mapTo(&window, QPoint()), window.tableView()->size());
        QVERIFY(table.top() >= bar->mapTo(&window, QPoint()).y() + bar->height() && table.height() > 100);
        QTest::qWait(MainWindow::AutoSearchDelayMs * 3);
        QVERIFY(!QApplication::activeModalWidget() && window.statusText().isEmpty());
    }
};

QTEST_MAIN(TestAppShell)
#include "tst_appshell.moc"
