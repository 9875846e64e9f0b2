// The parts of the program's shell that need no wire: what a command looks
// like in the log, the about dialog's two settings, and the capture
// permission request.
#include "AboutDialog.h"
#include "AlertDialog.h"
#include "CapturePermission.h"
#include "CapturePermissionDialog.h"
#include "CommandLogText.h"
#include "AppConfig.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>
#include <QtTest>

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
    void alarmTestIsStored();
    void permissionDialogButtons_data();
    void permissionDialogButtons();
    void grantCommand();
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
    QCOMPARE(dialog.size(), QSize(400, 250));
    QStringList texts;
    for (QLabel* label : dialog.findChildren<QLabel*>())
        texts << label->text();
    for (const char* expected : {"System Version : ", "1.2.5-beta", "Build Date : ", "20230327", "Language : ",
                                 "Alarm Test : "})
        QVERIFY2(texts.contains(QLatin1String(expected)), expected);
    // Showing the dialog stores nothing.
    QCOMPARE(AppConfig().language(), language);
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
    QWidget window;
    window.resize(800, 600);
    window.show();
    AboutDialog dialog(&window);
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

void TestAppShell::alarmTestIsStored()
{
    AppConfig().setAlarmTest(1);
    AboutDialog dialog;
    QTest::keyClick(dialog.alarmTestCheckBox(), Qt::Key_Space);
    QCOMPARE(AppConfig().alarmTest(), 0);
    dialog.alarmTestCheckBox()->setChecked(true);
    QCOMPARE(AppConfig().alarmTest(), 1);
}

void TestAppShell::permissionDialogButtons_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("result");
    QTest::newRow("Ok") << "Ok" << int(QDialog::Accepted);
    QTest::newRow("Cancel") << "Cancel" << int(QDialog::Rejected);
}

void TestAppShell::permissionDialogButtons()
{
    QFETCH(QString, button);
    QFETCH(int, result);
    CapturePermissionDialog dialog;
    dialog.setText(QStringLiteral("why"));
    QCOMPARE(dialog.text(), QStringLiteral("why"));
    QPushButton* pressed = nullptr;
    for (QPushButton* b : dialog.findChildren<QPushButton*>()) {
        QVERIFY(b->minimumWidth() >= 100);
        if (b->text() == button)
            pressed = b;
    }
    QVERIFY(pressed);
    QTimer::singleShot(50, pressed, [pressed] { QTest::mouseClick(pressed, Qt::LeftButton); });
    QCOMPARE(dialog.exec(), result);
}

void TestAppShell::grantCommand()
{
    QCOMPARE(CapturePermission::grantProgram(), QStringLiteral("pkexec"));
    QCOMPARE(CapturePermission::grantArguments(QStringLiteral("/opt/orvane/orvane")),
             (QStringList{"setcap", "cap_net_raw,cap_net_admin=eip", "/opt/orvane/orvane"}));
    // The tests run as root or with the capabilities, or as a user without them; either answer is consistent.
    if (CapturePermission::hasCapabilities())
        QVERIFY(!CapturePermission::isMissing(nullptr, nullptr));
    else
        QVERIFY(CapturePermission::isMissing(nullptr, nullptr));
}

QTEST_MAIN(TestAppShell)
#include "tst_appshell.moc"
