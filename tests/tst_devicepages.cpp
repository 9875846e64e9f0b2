// The volume, SIP and RTP pages and the plan preview through the real widgets.
#include "PageScreen.h"
#include "PixmapButton.h"
#include "PlanActions.h"
#include "RtpChannelsPage.h"
#include "SipPage.h"
#include "VolumePage.h"

#include <QSlider>

using namespace orvane;

namespace {

const QStringList SipKeys{"account", "password", "displayName", "serverHost", "serverPort"};

QJsonObject sipJson(const QStringList& values)
{
    QJsonObject o;
    for (int i = 0; i < SipKeys.size(); ++i)
        o.insert(SipKeys.at(i), values.value(i));
    return o;
}

QJsonObject channel(int on, const char* ip, int port) { return {{"enable", on}, {"rtpIP", ip}, {"rtpPort", port}}; }

const QStringList RtpEdits{"rtpEdit1", "rtpEdit2", "rtpEdit3", "rtpEdit4", "rtpEdit5",
                           "rtpEdit6", "rtpEdit7", "rtpEdit8", "rtpEdit9", "rtpEdit10"};

} // namespace

class TestDevicePages : public QObject
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
    void muteRemembersTheValue_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("remembered");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("muted");    // after the first press
        QTest::addColumn<int>("restored"); // after the second press
        QTest::newRow("output at 35") << "audioButton" << "" << 35 << 0 << 35;
        QTest::newRow("at 0, remembered earlier") << "microphoneButton" << "42" << 0 << 42 << 0;
    }
    void muteRemembersTheValue()
    {
        QFETCH(QString, button);
        QFETCH(QString, remembered);
        QFETCH(int, start);
        QFETCH(int, muted);
        QFETCH(int, restored);
        const bool output = button == "audioButton";
        const QString key = output ? "outVolume" : "micVolume";
        Screen screen(1);
        DeviceRecord* device = screen.model->deviceAt(0);
        if (!remembered.isEmpty())
            device->setValue(key + "2", remembered);
        auto* page = screen.addPage<VolumePage>(&m_client, -1);
        auto* mute = page->findChild<PixmapButton*>(button);
        auto* slider = page->findChild<QSlider*>(output ? "outputSlider" : "inputSlider");

        // Without a current device the button does nothing.
        slider->setValue(start);
        QTest::mouseClick(mute, Qt::LeftButton);
        QCOMPARE(slider->value(), start);

        page->setCurrentDevice(device);
        slider->setValue(start);
        QTest::mouseClick(mute, Qt::LeftButton);
        QCOMPARE(slider->value(), muted);
        if (start != 0)
            QCOMPARE(device->intValue(key + "2"), start);
        QTest::mouseClick(mute, Qt::LeftButton);
        QCOMPARE(slider->value(), restored);
        // Only "Set" reaches the device, with what the slider shows.
        QVERIFY(m_devices->commands().isEmpty());
        press(page, "setButton");
        QCOMPARE(m_devices->destinations("SetDeviceVolume", qPrintable(key)), QStringList{QString::number(restored)});
        QCOMPARE(device->intValue(key), restored);
    }
    void readsFillTheFields_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QJsonObject>("reply");
        QTest::addColumn<QStringList>("edits");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QStringList>("list"); // the result list, if one comes up
        const QStringList sipEdits{"account1Edit", "serverPort1Edit", "account2Edit", "displayName2Edit"};
        QTest::newRow("SIP accounts")
            << "sip" << int(Ok)
            << QJsonObject{{"sip0", sipJson({"1001", "pw1", "Hall", "198.18.0.10", "5060"})},
                           {"sip1", sipJson({"2002", "pw2", "", "198.18.0.20", "5070"})}}
            << sipEdits << QStringList{"1001", "5060", "2002", ""} << QStringList{};
        QTest::newRow("SIP device refuses: said so, fields emptied")
            << "sip" << int(Refuse) << QJsonObject{} << sipEdits << QStringList{"", "", "", ""}
            << QStringList{"Device 1|" + macOf(1) + "|failed (the device refused it)"};
        QTest::newRow("RTP channels")
            << "rtp" << int(Ok)
            << QJsonObject{{"rtp0", channel(1, "239.0.0.1", 5004)}, {"rtp2", channel(1, "239.0.0.3", 0)},
                           {"rtp9", channel(0, "239.0.0.10", 6010)}}
            << RtpEdits << QStringList{"239.0.0.1:5004", "", "239.0.0.3", "", "", "", "", "", "", "239.0.0.10:6010"}
            << QStringList{};
    }
    void readsFillTheFields()
    {
        QFETCH(QString, page);
        QFETCH(int, answer);
        QFETCH(QJsonObject, reply);
        QFETCH(QStringList, edits);
        QFETCH(QStringList, expected);
        QFETCH(QStringList, list);
        Screen screen(2);
        m_devices->script(macOf(1), Answer(answer), reply);
        Operator op;
        SettingsPage* p = page == "sip" ? static_cast<SettingsPage*>(screen.addPage<SipPage>(&m_client, -1))
                                        : screen.addPage<RtpChannelsPage>(&m_client, -1);
        for (const QString& name : edits)
            edit(p, name)->setText(QStringLiteral("stale"));
        p->setCurrentDevice(screen.model->deviceAt(0));
        QCOMPARE(m_devices->destinations(), QStringList{macOf(1)});
        for (int i = 0; i < edits.size(); ++i)
            QCOMPARE(edit(p, edits.at(i))->text(), expected.at(i));
        QCOMPARE(op.lists, list.isEmpty() ? QList<QStringList>{} : QList<QStringList>{list});
    }
    void sipWriteAndSummary_data()
    {
        QTest::addColumn<QStringList>("first");
        QTest::addColumn<QStringList>("second");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("summary");
        QTest::newRow("first complete") << QStringList{"1001", "pw1", "Hall", "198.18.0.10", "5060"}
                                        << QStringList{"", "", "", "", ""} << "setButton" << "1001@198.18.0.10";
        QTest::newRow("first lacks its password") << QStringList{"1001", "", "Hall", "198.18.0.10", "5060"}
                                                  << QStringList{"1002", "pw2", "", "198.18.0.20", "5062"}
                                                  << "setAllButton" << "1002@198.18.0.20";
        QTest::newRow("port out of range: nothing sent") << QStringList{"1001", "pw", "", "h", "65536"}
                                                         << QStringList{"", "", "", "", ""} << "setAllButton" << "-";
    }
    void sipWriteAndSummary()
    {
        QFETCH(QStringList, first);
        QFETCH(QStringList, second);
        QFETCH(QString, button);
        QFETCH(QString, summary);
        Screen screen(2);
        for (int row = 0; row < 2; ++row)
            screen.model->deviceAt(row)->setField(QStringLiteral("sipInfo"), QStringLiteral("old@host"));
        auto* page = screen.addPage<SipPage>(&m_client, 1);
        m_devices->reset();
        for (int i = 0; i < 5; ++i) {
            edit(page, QStringLiteral("%1%2Edit").arg(SipKeys[i]).arg(1))->setText(first.at(i));
            edit(page, QStringLiteral("%1%2Edit").arg(SipKeys[i]).arg(2))->setText(second.at(i));
        }
        Operator op;
        press(page, qPrintable(button));
        if (summary == "-") {
            QCOMPARE(toastText(page), QStringLiteral("The server port must be a number from 1 to 65535"));
            QVERIFY(m_devices->commands().isEmpty());
            return;
        }
        const bool one = button == "setButton";
        QCOMPARE(m_devices->destinations(), one ? QStringList{macOf(2)} : (QStringList{macOf(1), macOf(2)}));
        const QJsonObject sent = m_devices->commands().first().json;
        QCOMPARE(sent.value("sip0").toObject(), sipJson(first));
        QCOMPARE(sent.value("sip1").toObject(), sipJson(second));
        QCOMPARE(screen.column(DeviceTableModel::SipColumn), (QStringList{one ? "old@host" : summary, summary}));
    }
    void rtpWriteSendsTheEditsAndSummary()
    {
        Screen screen(3);
        auto* page = screen.addPage<RtpChannelsPage>(&m_client);
        m_devices->reset();
        // A channel that is not ADDRESS:PORT stops the whole write before anything is sent.
        for (const char* bad : {"hello", "239.0.0.2:0", "a:b:7"}) {
            edit(page, "rtpEdit2")->setText(QLatin1String(bad));
            press(page, "setButton");
            QVERIFY2(m_devices->commands().isEmpty(), bad);
            QVERIFY2(toastText(page).startsWith("Channel 2: "), qPrintable(toastText(page)));
        }
        // Only filled channels are switched on.
        const QStringList typed{"", "239.0.0.2:5002", "239.0.0.3:6000", "", "", "", "", "", "", "239.0.0.10:6010"};
        for (int i = 0; i < 10; ++i)
            edit(page, QStringLiteral("rtpEdit%1").arg(i + 1))->setText(typed.at(i));
        screen.tick(2);
        screen.tick(0);
        Operator op;
        press(page, "setAllButton");
        QCOMPARE(m_devices->destinations(), (QStringList{macOf(1), macOf(3)}));
        for (const FakeDevices::Sent& c : m_devices->commands()) {
            for (int i = 0; i < 10; ++i) {
                const QJsonObject got = c.json.value(QStringLiteral("rtp%1").arg(i)).toObject();
                QCOMPARE(got.value("enable").toInt(-1), typed.at(i).isEmpty() ? 0 : 1);
                QCOMPARE(RtpChannelSettings(1, got.value("rtpIP").toString(), got.value("rtpPort").toInt()).endpointText(),
                         typed.at(i));
            }
        }
        QCOMPARE(screen.column(DeviceTableModel::RtpColumn), (QStringList{"239.0.0.2:5002", "", "239.0.0.2:5002"}));
    }
    // Closing the read before the device answers leaves the page without channels:
    // a Set then changes none of them rather than switching all ten off.
    void rtpSetAfterACancelledReadSendsNoChannel()
    {
        Screen screen(1);
        DeviceRecord* device = screen.model->deviceAt(0);
        device->setField(QStringLiteral("rtpInfo"), QStringLiteral("239.9.9.9:9"));
        m_devices->script(macOf(1), Silent);
        auto* page = screen.addPage<RtpChannelsPage>(&m_client, -1);
        Operator op;
        bool cancelled = false;
        op.onModal = [&](QWidget* modal) {
            if (cancelled || modal->objectName() != "jobDialog" || m_devices->commands().isEmpty())
                return false;
            press(modal, "cancelButton");
            return cancelled = true;
        };
        page->setCurrentDevice(device);
        QCOMPARE(op.lists.size(), 1);
        QVERIFY(page->channels().isEmpty());
        m_devices->script(macOf(1), Ok);
        edit(page, "rtpEdit1")->setText(QStringLiteral("239.0.0.1:5004"));
        press(page, "setButton");
        const QList<FakeDevices::Sent> sent = m_devices->commands("SetRtpSettings");
        QCOMPARE(sent.size(), 1);
        QCOMPARE(sent.first().json.keys(), (QStringList{"id", "method"}));
        QCOMPARE(screen.column(DeviceTableModel::RtpColumn), QStringList{"239.9.9.9:9"});
    }
    // Plans as the operator handles them: an export, an empty plan, then one applied to the ticked devices,
    // each file chosen where the last one was; an export that cannot be written says so.
    void plansThroughTheFileDialogsApplyToTickedDevices()
    {
        Screen screen(3);
        QTemporaryDir dir;
        QFile plan(dir.filePath("plan.csv"));
        QVERIFY(plan.open(QIODevice::WriteOnly) && QFile(dir.filePath("empty.csv")).open(QIODevice::WriteOnly));
        plan.write(QStringLiteral("mac,name\n%1,Hall A\n%2,Hall B\n%3,Device 3\n%4,Gone\n")
                       .arg(macOf(1), macOf(2), macOf(3), macOf(9)).toUtf8());
        plan.flush();
        QStringList typed{dir.filePath("devices.csv"), "empty.csv", "plan.csv", "gone/devices.csv"}, warned, shown;
        Operator op;
        op.onModal = [&](QWidget* modal) {
            auto* name = modal->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            if (name)
                name->setText(typed.takeFirst());
            else if (modal->inherits("QMessageBox"))
                warned << modal->property("text").toString();
            if (modal->objectName() != "planPreviewDialog")
                return (name || modal->inherits("QMessageBox")) && QMetaObject::invokeMethod(modal, "accept");
            auto* tree = modal->findChild<QTreeWidget*>(QStringLiteral("planTree"));
            for (int i = 0; i < tree->topLevelItemCount(); ++i) {
                QTreeWidgetItem* device = tree->topLevelItem(i);
                const bool tickable = device->flags() & Qt::ItemIsUserCheckable;
                shown << device->text(0) + (tickable && device->checkState(0) == Qt::Checked ? " [x]" : "");
                for (int f = 0; f < device->childCount(); ++f)
                    shown << "  " + device->child(f)->text(0) + "|" + device->child(f)->text(1) + "|" +
                                 device->child(f)->text(2);
            }
            for (QTreeWidgetItem* item : tree->findItems("Device 2", Qt::MatchStartsWith))
                item->setCheckState(0, Qt::Unchecked);
            press(modal, "okButton");
            return true;
        };
        PlanActions::exportDevices(&screen.window, screen.model->devices());
        PlanActions::applyPlan(&screen.window, m_client, screen.model->devices(), [] {});
        QVERIFY(m_devices->commands().isEmpty());
        PlanActions::applyPlan(&screen.window, m_client, screen.model->devices(),
                               [&screen] { screen.model->refresh(); });
        PlanActions::exportDevices(&screen.window, screen.model->devices());
        // In plan order; nothing to tick for a device without changes or one not found.
        QCOMPARE(shown, (QStringList{"Device 1 (" + macOf(1) + ") [x]", "  name|Device 1|Hall A",
                                     "Device 2 (" + macOf(2) + ") [x]", "  name|Device 2|Hall B",
                                     "Device 3 (" + macOf(3) + ")", macOf(9)}));
        QCOMPARE(m_devices->destinations("SetName"), QStringList{macOf(1)});
        QCOMPARE(screen.column(DeviceTableModel::NameColumn), (QStringList{"Hall A", "Device 2", "Device 3"}));
        QFile csv(dir.filePath("devices.csv"));
        QVERIFY(csv.open(QIODevice::ReadOnly) && csv.readAll().contains("02:00:00:00:00:02,UID2,,,,Device 2,"));
        QCOMPARE(warned.value(0), "The plan was not applied; nothing was sent.\n\nthe header has no mac column");
        QVERIFY(warned.size() == 2 &&
                warned[1].startsWith(dir.filePath("gone/devices.csv") + " could not be written"));
    }

private:
    ProtocolClient m_client;
    std::unique_ptr<FakeDevices> m_devices;
};

QTEST_MAIN(TestDevicePages)
#include "tst_devicepages.moc"
