// The parts of the program's shell that need no wire: what a command looks
// like in the log, the settings dialog, and the capture permission: its
// request, its grant and the main window's bar while it is missing.
#include "AboutDialog.h"
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
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
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

} // namespace

class TestAppShell : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void logTextMasksPasswords_data();
    void logTextMasksPasswords();
    void logTextStaysOnOneLine();
    void aboutDialogShowsStoredSettings_data();
    void aboutDialogShowsStoredSettings();
    void choosingALanguageStoresItAndShowsTheNotice_data();
    void choosingALanguageStoresItAndShowsTheNotice();
    void grantRunsSetcapByPathAndSaysWhyItFailed_data();
    void grantRunsSetcapByPathAndSaysWhyItFailed();
    void mainWindowShowsTheBarWithoutCapture();
};

void TestAppShell::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void TestAppShell::init()
{
    QFile::remove(AppConfig::filePath());
}

void TestAppShell::logTextMasksPasswords_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("logged");
    QTest::newRow("account command")
        << QByteArray(R"({"id":3,"method":"SetAccountPassword", "account":"tech", "password":"s3cret"})")
        << QByteArray(R"({"id":3,"method":"SetAccountPassword", "account":"tech", "password":"******"})");
    QTest::newRow("search reply")
        << QByteArray(R"({"id":0,"method":"search","account":"admin","password":"admin","name":"password"})")
        << QByteArray(R"({"id":0,"method":"search","account":"admin","password":"******","name":"password"})");
    QTest::newRow("sip objects with blanks")
        << QByteArray(R"({"sip0":{"account" : "1011","password" : "pw \"q\" \\","displayName" : "D"}})")
        << QByteArray(R"({"sip0":{"account" : "1011","password" : "******","displayName" : "D"}})");
    QTest::newRow("capital key") << QByteArray(R"({"PASSWORD":"x","ID":1})")
                                 << QByteArray(R"({"PASSWORD":"******","ID":1})");
    QTest::newRow("other password keys") << QByteArray(R"({"sipPassword":"a","passwd":"b"})")
                                         << QByteArray(R"({"sipPassword":"******","passwd":"******"})");
    QTest::newRow("number value") << QByteArray(R"({"password":1234,"id":2})")
                                  << QByteArray(R"({"password":******,"id":2})");
    QTest::newRow("unterminated") << QByteArray(R"({"password":"abc)") << QByteArray(R"({"password":"******")");
    QTest::newRow("escaped key") << QByteArray(R"({"pass\u0077ord":"x","n":1})")
                                 << QByteArray(R"({"pass\u0077ord":"******","n":1})");
    QTest::newRow("pwd, object and array values") << QByteArray(R"({"pwd":{"a":"x"},"sip":[{"Passcode":["y"]}]})")
                                                  << QByteArray(R"({"pwd":******,"sip":[{"Passcode":******}]})");
    QTest::newRow("not JSON from a password on") << QByteArray(R"({"a":"x, "password":"y"})")
                                                 << QByteArray(R"({"a":"x, "******)");
    QTest::newRow("no password") << QByteArray(R"({"id":1,"method":"SetName","name":"Hall"})")
                                 << QByteArray(R"({"id":1,"method":"SetName","name":"Hall"})");
    QTest::newRow("empty") << QByteArray() << QByteArray();
}

void TestAppShell::logTextMasksPasswords()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, logged);
    QCOMPARE(CommandLogText::fromCommand(text.constData()), logged);
}

void TestAppShell::logTextStaysOnOneLine()
{
    const QByteArray text = "{\"rtp0\":{\n\t\"enable\":\t1,\r\n\t\"rtpIP\":\t\"239.0.0.1\"\n}}";
    const QByteArray logged = CommandLogText::fromCommand(text.constData());
    QVERIFY(!logged.contains('\n') && !logged.contains('\r') && !logged.contains('\t'));
    QCOMPARE(logged.simplified(), QByteArray(R"({"rtp0":{ "enable": 1, "rtpIP": "239.0.0.1" }})"));
    QCOMPARE(CommandLogText::fromCommand(nullptr), QByteArray());
}

void TestAppShell::aboutDialogShowsStoredSettings_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<int>("alarmTest");
    QTest::addColumn<int>("index");
    QTest::newRow("CN in capitals") << "CN" << 1 << 1;
    QTest::newRow("en") << "en" << 0 << 0;
    QTest::newRow("unknown") << "de" << 2 << 0;
}

void TestAppShell::aboutDialogShowsStoredSettings()
{
    QFETCH(QString, language);
    QFETCH(int, alarmTest);
    QFETCH(int, index);
    {
        AppConfig c;
        c.setLanguage(language);
        c.setAlarmTest(alarmTest);
    }
    AboutDialog dialog;
    QCOMPARE(dialog.languageComboBox()->currentIndex(), index);
    QCOMPARE(dialog.alarmTestCheckBox()->isChecked(), alarmTest != 0);
    // Showing the dialog stores nothing; a click on the box does.
    QCOMPARE(AppConfig().language(), language);
    QTest::keyClick(dialog.alarmTestCheckBox(), Qt::Key_Space);
    QCOMPARE(AppConfig().alarmTest(), alarmTest != 0 ? 0 : 1);
    dialog.show();
    QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("closeButton")), Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
}

void TestAppShell::choosingALanguageStoresItAndShowsTheNotice_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("stored");
    QTest::newRow("Simple Chinese") << 1 << "cn";
    QTest::newRow("English") << 0 << "en";
}

void TestAppShell::choosingALanguageStoresItAndShowsTheNotice()
{
    QFETCH(int, index);
    QFETCH(QString, stored);
    AppConfig().setLanguage(index == 0 ? QStringLiteral("cn") : QStringLiteral("en"));
    AboutDialog dialog;
    QString notice;
    QTimer::singleShot(100, [&notice] {
        if (auto* alert = qobject_cast<AlertDialog*>(QApplication::activeModalWidget())) {
            notice = alert->text();
            alert->accept();
        }
    });
    dialog.languageComboBox()->setCurrentIndex(index);
    QCOMPARE(notice, QStringLiteral("Language settings will take effect after restart"));
    QCOMPARE(AppConfig().language(), stored);
}

void TestAppShell::grantRunsSetcapByPathAndSaysWhyItFailed_data()
{
    QTest::addColumn<int>("exitCode"); // -1: no pkexec at all
    QTest::addColumn<QString>("errorText");
    QTest::addColumn<QString>("reason"); // empty: granted
    const QString refused = QStringLiteral("Failed to set capabilities on file (Operation not supported)");
    const QString noPkexec = QStringLiteral("pkexec is not installed (Debian package pkexec or policykit-1)");
    QTest::newRow("granted") << 0 << QString() << QString();
    QTest::newRow("password prompt dismissed")
        << 126 << QString() << "the administrator password was not given";
    QTest::newRow("setcap refused") << 1 << refused << refused;
    QTest::newRow("no pkexec") << -1 << QString() << noPkexec;
}

// A user's PATH has no /usr/sbin: setcap must go by its full path, and a
// failure must say why and what to type instead.
void TestAppShell::grantRunsSetcapByPathAndSaysWhyItFailed()
{
    QFETCH(int, exitCode);
    const bool pkexecInstalled = exitCode >= 0;
    QFETCH(QString, errorText);
    QFETCH(QString, reason);
    QTemporaryDir bin;
    const QString argsFile = bin.filePath(QStringLiteral("args"));
    if (pkexecInstalled) {
        QFile script(bin.filePath(QStringLiteral("pkexec")));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write(QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$@\" > '%1'\necho '%2' >&2\nexit %3\n")
                         .arg(argsFile, errorText)
                         .arg(exitCode)
                         .toUtf8());
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", bin.path().toUtf8());
    const QString program = QStringLiteral("/opt/My Tools/orvane");
    const CapturePermissionDialog::Outcome outcome = CapturePermissionDialog::grant(program);
    qputenv("PATH", path);

    QCOMPARE(outcome.granted, reason.isEmpty());
    QCOMPARE(outcome.reason, reason);
    if (pkexecInstalled) {
        QFile args(argsFile);
        QVERIFY(args.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(args.readAll()),
                 QStringLiteral("/usr/sbin/setcap\ncap_net_raw,cap_net_admin=eip\n%1\n").arg(program));
    }
    const QString text = CapturePermissionDialog::outcomeText(outcome, program);
    if (reason.isEmpty()) {
        QCOMPARE(text, QStringLiteral("Please restart the program"));
    } else {
        QVERIFY2(text.contains(reason), qPrintable(text));
        QVERIFY2(text.contains(QLatin1String(
                     "sudo /usr/sbin/setcap cap_net_raw,cap_net_admin=eip '/opt/My Tools/orvane'")),
                 qPrintable(text));
    }
}

// Without capture every search would end in an empty table that reads like a
// network without devices: the window says why instead, and does not search.
void TestAppShell::mainWindowShowsTheBarWithoutCapture()
{
    CaptureCapabilitiesDropped dropped;
    QVERIFY(!CapturePermission::hasCapabilities());
    {
        MainWindow window;
        window.showNormal();
        window.resize(1366, 768);
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(window.captureMissing());
        auto* bar = window.findChild<QWidget*>(QStringLiteral("captureBar"));
        QVERIFY(bar->isVisible() && bar->findChild<QPushButton*>(QStringLiteral("grantButton"))->isVisible());
        QVERIFY(bar->findChild<QLabel*>()->text().contains(QLatin1String("may not capture")));
        QVERIFY(window.tableView()->geometry().top() >= bar->geometry().bottom());
        QVERIFY(window.tableView()->height() > 100);
        QTest::qWait(MainWindow::AutoSearchDelayMs * 3);
        QVERIFY(!QApplication::activeModalWidget());
    }
}

QTEST_MAIN(TestAppShell)
#include "tst_appshell.moc"
