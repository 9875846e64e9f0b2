// Device jobs and the pages that start them, against scripted devices in-process.
#include "DeviceJob.h"
#include "DeviceTasks.h"
#include "IpPage.h"
#include "MacPage.h"
#include "MaintenancePage.h"
#include "NamePage.h"
#include "PageScreen.h"
#include "VersionPage.h"
#include "VolumePage.h"

#include <QMessageBox>
#include <QSignalSpy>
#include <memory>

using namespace orvane;

namespace {

struct PageCase
{
    QString page, button;
    QList<int> ticked, rows; // rows: addressed, in order
    bool confirm;
    QString question, key; // question: a part of it, empty: none; key: the command member compared
    QStringList values;    // one per device addressed, in order
    QString toast;
};

} // namespace

Q_DECLARE_METATYPE(PageCase)

class TestDeviceJobs : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        Q_INIT_RESOURCE(resources);
        QStandardPaths::setTestModeEnabled(true);
        m_devices.reset(new FakeDevices(m_client));
    }
    void cleanup() { m_devices->reset(); }
    // Refused before anything went out; the device keeps its name.
    void outcomes_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("open");
        QTest::addColumn<QString>("detail");
        QTest::newRow("too long for one frame") << QString(1100, 'x') << true << "the values do not fit into one command";
        QTest::newRow("no adapter") << "Hall" << false << "no network adapter is open";
    }
    void outcomes()
    {
        QFETCH(QString, name);
        QFETCH(bool, open);
        QFETCH(QString, detail);
        ProtocolClient closed;
        FakeDevices closedDevices(closed, false);
        const QList<DeviceRecord*> devices = makeDevices(1);
        {
            DeviceJob job(open ? m_client : closed, DeviceTasks::setName({name}), devices);
            job.run();
            QCOMPARE(outcomeWords(job.results()), QStringList{"not sent"});
            QCOMPARE(job.results().first().detail, detail);
            QCOMPARE(devices.first()->name(), QStringLiteral("Device 1"));
        }
        QVERIFY(m_devices->commands().isEmpty());
        releaseAll(devices);
    }
    void retryKeepsEachDeviceItsValue()
    {
        const QList<DeviceRecord*> devices = makeDevices(5);
        m_devices->script(macOf(2), Refuse);
        m_devices->script(macOf(4), Refuse);
        const QStringList ips{"198.18.3.254", "198.18.3.255", "198.18.4.0", "198.18.4.1", "198.18.4.2"};
        QList<DeviceTasks::StaticAddress> addresses;
        for (const QString& ip : ips)
            addresses.append({ip, "198.18.0.1", "255.254.0.0", "", ""});
        DeviceJob job(m_client, DeviceTasks::setStaticIp(addresses), devices);
        job.start();
        QTRY_VERIFY(job.isFinished());
        job.wait();
        QCOMPARE(outcomeWords(job.results()), (QStringList{"ok", "failed", "ok", "failed", "ok"}));
        // Only a device that took it shows it.
        QCOMPARE(devices.at(1)->ip(), QStringLiteral("198.18.1.2"));
        m_devices->reset();
        m_devices->script(macOf(4), Refuse);
        std::unique_ptr<DeviceJob> retry = job.retryFailed();
        retry->run();
        QCOMPARE(m_devices->destinations(), (QStringList{macOf(2), macOf(4)}));
        QCOMPARE(m_devices->destinations({}, "ip"), (QStringList{ips.at(1), ips.at(3)}));
        QCOMPARE(outcomeWords(retry->results()), (QStringList{"ok", "failed"}));
        QCOMPARE(retry->results().at(1).index, 3);
        QCOMPARE(devices.at(1)->ip(), ips.at(1));
        retry.reset();
        releaseAll(devices);
    }
    // Several devices at once (the firmware uploads): results come in any order,
    // a device the batch names twice or does not have is ignored, one it never
    // names reads as cancelled, and the table learns only what succeeded.
    void batchReportsEachDeviceOnce()
    {
        const QList<DeviceRecord*> devices = makeDevices(4);
        DeviceJob::Task task{"Upgrading firmware", {}, [](DeviceRecord* d, int) { d->setVersion("2.0"); }};
        bool sawCancel = false;
        task.batch = [&sawCancel](const QList<DeviceRecord*>&, const std::function<bool()>& cancelled,
                                  const DeviceJob::Done& done) {
            done(2, DeviceResult::Outcome::Success, "HTTP 200");
            done(0, DeviceResult::Outcome::Failed, "login refused");
            done(2, DeviceResult::Outcome::Failed, "twice");
            done(7, DeviceResult::Outcome::Success, "");
            sawCancel = cancelled();
        };
        DeviceJob job(m_client, task, devices);
        QSignalSpy progress(&job, &DeviceJob::progress);
        connect(&job, &DeviceJob::deviceFinished, &job, [&job] { job.cancel(); }, Qt::DirectConnection);
        job.start();
        QTRY_VERIFY(job.isFinished());
        job.wait();
        QVERIFY(sawCancel);
        QCOMPARE(outcomeWords(job.results()), (QStringList{"failed", "cancelled", "ok", "cancelled"}));
        QVERIFY(devices.at(2)->version() == QLatin1String("2.0") && devices.at(0)->version().isEmpty());
        QCOMPARE(progress.at(1).at(2).toString(), QStringLiteral("Device 3"));
        QCOMPARE(job.retryFailed()->total(), 3);
        releaseAll(devices);
    }
    void setAllShowsEveryDeviceAndRetriesTheFailed()
    {
        Screen screen(5);
        auto* page = screen.addPage<NamePage>(&m_client);
        m_devices->script(macOf(2), Refuse);
        m_devices->script(macOf(4), Silent);
        edit(page, "nameEdit")->setText(QStringLiteral("Hall"));
        Operator op(true, 1);
        // The silent device answers the retry.
        op.beforeRetry = [this] { m_devices->script(macOf(4), Ok); };
        press(page, "setAllButton");
        QCOMPARE(op.questions.size(), 1);
        QVERIFY2(op.questions.first().contains("all 5 listed devices.\n5 devices: Device 1, Device 2, Device 3 and 2 more"),
                 qPrintable(op.questions.first()));
        QCOMPARE(op.lists.size(), 2);
        QCOMPARE(op.lists.at(0),
                 (QStringList{"Device 1|" + macOf(1) + "|ok", "Device 2|" + macOf(2) + "|failed (the device refused it)",
                              "Device 3|" + macOf(3) + "|ok", "Device 4|" + macOf(4) + "|no answer (no reply within 3 s)",
                              "Device 5|" + macOf(5) + "|ok"}));
        // Retry failed addressed exactly the two.
        QCOMPARE(m_devices->destinations().mid(5), (QStringList{macOf(2), macOf(4)}));
        QCOMPARE(op.lists.at(1), (QStringList{"Device 2|" + macOf(2) + "|failed (the device refused it)",
                                              "Device 4|" + macOf(4) + "|ok"}));
        QCOMPARE(screen.column(DeviceTableModel::NameColumn), (QStringList{"Hall", "Device 2", "Hall", "Hall", "Hall"}));
    }
    void pagesAskAndAddress_data()
    {
        QTest::addColumn<PageCase>("c");
        const auto row = [](const char* name, const PageCase& c) { QTest::newRow(name) << c; };
        row("name Set: the current row, no question",
            {"name", "setButton", {2}, {2}, true, "", "name", {"Hall"}, "Setting name: ok"});
        row("name Set All: ticked rows top to bottom",
            {"name", "setAllButton", {3, 1}, {1, 3}, true, "2 devices: Device 2, Device 4", "name", {"Hall", "Hall"}, ""});
        row("IP Set All: consecutive addresses",
            {"ip", "setAllButton", {}, {0, 1, 2, 3}, true, "all 4 listed devices", "ip",
             {"198.18.3.254", "198.18.3.255", "198.18.4.0", "198.18.4.1"}, ""});
        row("MAC Set All counts up",
            {"mac", "setAllButton", {0, 1, 2}, {0, 1, 2}, true, "3 devices", "mac",
             {"00:1a:2b:3c:4d:fe", "00:1a:2b:3c:4d:ff", "00:1a:2b:3c:4e:00"}, ""});
        row("MAC Set declined", {"mac", "setButton", {}, {}, false, "Device 1", "mac", {}, ""});
        row("reboot asks", {"maintenance", "rebootButton", {}, {0}, true, "1 device", "method", {"reboot"}, "Rebooting: ok"});
        row("reboot of all declined",
            {"maintenance", "rebootAllButton", {}, {}, false, "all 4 listed devices", "method", {}, ""});
        row("restore all, two ticked",
            {"maintenance", "restoreAllButton", {2, 3}, {2, 3}, true, "2 devices: Device 3, Device 4", "method",
             {"ResetDefault", "ResetDefault"}, ""});
        row("web login Set: the digest goes out",
            {"maintenance", "loginSetButton", {}, {0}, true, "", "password", {"5ebe2294ecd0e0f08eab7690d2a6ee69"},
             "Setting web login: ok"});
        row("volume test sound: the current device only",
            {"volume", "testButton", {1}, {0}, true, "", "method", {"PlayVolume"}, "Playing test sound: ok"});
    }
    void pagesAskAndAddress()
    {
        QFETCH(PageCase, c);
        Screen screen(4);
        SettingsPage* p = nullptr;
        if (c.page == "name") {
            p = screen.addPage<NamePage>(&m_client, c.ticked.value(0, 0));
            edit(p, "nameEdit")->setText(QStringLiteral("Hall"));
        } else if (c.page == "ip") {
            p = screen.addPage<IpPage>(&m_client);
            edit(p, "ipEdit")->setText(QStringLiteral("198.18.3.254"));
            edit(p, "gatewayEdit")->setText(QStringLiteral("198.18.0.1"));
            edit(p, "netmaskEdit")->setText(QStringLiteral("255.254.0.0"));
        } else if (c.page == "mac") {
            p = screen.addPage<MacPage>(&m_client);
            edit(p, "macEdit")->setText(QStringLiteral("00:1A:2B:3C:4D:FE"));
        } else if (c.page == "maintenance") {
            p = screen.addPage<MaintenancePage>(&m_client);
            edit(p, "accountEdit")->setText(QStringLiteral("tech"));
            edit(p, "passwordEdit")->setText(QStringLiteral("secret"));
        } else {
            p = screen.addPage<VolumePage>(&m_client);
        }
        if (c.button.contains("All"))
            for (int row : c.ticked)
                screen.tick(row);
        Operator op(c.confirm);
        press(p, qPrintable(c.button));
        QCOMPARE(op.questions.size(), c.question.isEmpty() ? 0 : 1);
        if (!c.question.isEmpty())
            QVERIFY2(op.questions.first().contains(c.question), qPrintable(op.questions.first()));
        QCOMPARE(m_devices->destinations({}, qPrintable(c.key)), c.values);
        QStringList macs;
        for (int row : c.rows)
            macs << macOf(row + 1);
        QCOMPARE(m_devices->destinations(), macs);
        QCOMPARE(toastText(p), c.toast);
        if (c.key == "password") { // showing the device again never shows the password
            p->setCurrentDevice(screen.model->deviceAt(0));
            QCOMPARE(edit(p, "passwordEdit")->text(), QString());
        }
        // Several devices, or none: a result list, never for a single success.
        QCOMPARE(op.lists.size(), c.values.size() > 1 ? 1 : 0);
    }
    void fieldChecksSendNothing_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("toast");
        QTest::newRow("IP leading zero") << "ip" << "ipEdit" << "192.168.001.10" << "setButton" << "IP error";
        QTest::newRow("empty netmask") << "ip" << "netmaskEdit" << "" << "setAllButton" << "Netmask error";
        QTest::newRow("netmask with holes") << "ip" << "netmaskEdit" << "255.0.255.0" << "setButton"
                                            << "255.0.255.0 is not a usable netmask (ones, then zeros)";
        QTest::newRow("gateway outside the subnet") << "ip" << "gatewayEdit" << "10.0.0.1" << "setAllButton"
            << "gateway 10.0.0.1 is outside the subnet of 198.18.0.9/255.254.0.0";
        QTest::newRow("empty name") << "name" << "nameEdit" << "" << "setAllButton" << "Please input device name";
        QTest::newRow("MAC of 32 characters in a batch")
            << "mac" << "macEdit" << "00:11:22:33:44:55:66:77:88:99:aa" << "setAllButton" << "Please input device mac";
        QTest::newRow("account checked first") << "maintenance" << "accountEdit" << "" << "loginSetButton"
                                               << "Please input account";
        QTest::newRow("no password") << "maintenance" << "passwordEdit" << "" << "loginSetAllButton"
                                     << "Please input password";
        QTest::newRow("firmware without a file") << "version" << "fileEdit" << "" << "setAllButton"
                                                 << "Please input upgrade server address";
        QTest::newRow("firmware file empty") << "version" << "fileEdit" << "/dev/null" << "setAllButton"
                                             << "/dev/null is empty";
    }
    void fieldChecksSendNothing()
    {
        QFETCH(QString, page);
        QFETCH(QString, field);
        QFETCH(QString, text);
        QFETCH(QString, button);
        QFETCH(QString, toast);
        Screen screen(2);
        using P = SettingsPage*;
        const P p = page == "ip"        ? P(screen.addPage<IpPage>(&m_client))
                    : page == "name"    ? P(screen.addPage<NamePage>(&m_client))
                    : page == "mac"     ? P(screen.addPage<MacPage>(&m_client))
                    : page == "version" ? P(screen.addPage<VersionPage>(&m_client))
                                        : P(screen.addPage<MaintenancePage>(&m_client));
        for (QLineEdit* e : p->findChildren<QLineEdit*>())
            e->setText(e->objectName() == "netmaskEdit" ? QStringLiteral("255.254.0.0") : QStringLiteral("198.18.0.9"));
        edit(p, field)->setText(text);
        Operator op;
        press(p, qPrintable(button));
        QCOMPARE(toastText(p), toast);
        QVERIFY(op.questions.isEmpty() && m_devices->commands().isEmpty());
    }
    // An address another listed device holds is named before anything is sent;
    // the operator may leave those devices out and set the rest.
    void addressConflictsAreNamedAndSkipped()
    {
        Screen screen(4);
        auto* p = screen.addPage<IpPage>(&m_client);
        edit(p, "ipEdit")->setText(QStringLiteral("198.18.1.2")); // devices 2 to 4 hold .2 to .4
        edit(p, "gatewayEdit")->setText(QStringLiteral("198.18.0.1"));
        edit(p, "netmaskEdit")->setText(QStringLiteral("255.254.0.0"));
        QString warning;
        Operator op;
        op.onModal = [&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            if (!box)
                return false;
            warning = box->text();
            for (QAbstractButton* b : box->buttons())
                if (b->text() == QLatin1String("Skip these devices"))
                    QMetaObject::invokeMethod(b, &QAbstractButton::click, Qt::QueuedConnection);
            return true;
        };
        press(p, "setAllButton");
        QCOMPARE(warning.count(QLatin1String("is held by")), 3);
        QCOMPARE(m_devices->destinations({}, "ip"), QStringList{"198.18.1.5"});
        QCOMPARE(m_devices->destinations(), QStringList{macOf(4)});
    }
    void cancelStopsAfterTheCurrentDevice()
    {
        Screen screen(3);
        m_devices->script(macOf(1), Silent);
        auto* page = screen.addPage<NamePage>(&m_client);
        edit(page, "nameEdit")->setText(QStringLiteral("Hall"));
        QString progress;
        Operator op;
        op.onModal = [&](QWidget* dialog) {
            if (dialog->objectName() != "jobDialog" || m_devices->commands().isEmpty())
                return false;
            progress = dialog->findChild<QLabel*>(QStringLiteral("progressText"))->text();
            press(dialog, "cancelButton");
            return true;
        };
        press(page, "setAllButton");
        QCOMPARE(progress, QStringLiteral("Setting name: 1 of 3"));
        QCOMPARE(m_devices->destinations(), QStringList{macOf(1)});
        QCOMPARE(op.lists.size(), 1);
        QCOMPARE(op.lists.first().at(0), "Device 1|" + macOf(1) + "|cancelled (stopped while waiting for the reply)");
        QCOMPARE(op.lists.first().at(2), "Device 3|" + macOf(3) + "|cancelled (not started)");
        QCOMPARE(screen.column(DeviceTableModel::NameColumn), (QStringList{"Device 1", "Device 2", "Device 3"}));
    }

private:
    ProtocolClient m_client;
    std::unique_ptr<FakeDevices> m_devices;
};

QTEST_MAIN(TestDeviceJobs)
#include "tst_devicejobs.moc"
