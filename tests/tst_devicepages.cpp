// The maintenance, firmware, volume, SIP and RTP pages and their jobs through
// the real widgets, against emulated devices across a veth pair: what goes
// out on the wire for each click, and what the operator sees afterwards.
#include "EmulatedSegment.h"
#include "MainWindowOnSegment.h"
#include "VolumePage.h"
#include "DeviceTableModel.h"
#include "DeviceTableDelegate.h"
#include "DeviceSearch.h"
#include "RtpChannelsPage.h"
#include "SipPage.h"
#include "MaintenancePage.h"
#include "SetVersionInfoJob.h"
#include "VersionPage.h"
#include "RtpChannelSettings.h"
#include "SipAccountSettings.h"
#include "PixmapButton.h"
#include "CopyingTableView.h"
#include "Toast.h"
#include "ToastView.h"

#include <QApplication>
#include <QCheckBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSlider>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

namespace {

// A window like the main one: the table above, one page below.
struct Screen
{
    Screen()
    {
        window.resize(1000, 700);
        table = new CopyingTableView(&window);
        table->setGeometry(0, 50, 1000, 350);
        model = new DeviceTableModel(table);
        window.show();
    }
    template <typename Page> Page* addPage(ProtocolClient* client)
    {
        auto* page = new Page(&window, client, model);
        page->setGeometry(0, 400, 1000, 300);
        page->show();
        return page;
    }
    void tick(int row)
    {
        QStyleOptionViewItem option;
        option.rect = table->visualRect(model->index(row, 0));
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                          DeviceTableDelegate::checkBoxRect(option).center());
    }
    QString cell(int row, int column) const { return model->index(row, column).data().toString(); }
    QStringList macsOf(const QList<int>& rows) const
    {
        QStringList out;
        for (int row : rows)
            out << model->deviceAt(row)->mac();
        return out;
    }

    QWidget window;
    CopyingTableView* table;
    DeviceTableModel* model;
};

QString toastText(SettingsPage* page)
{
    return page->toast() && page->toast()->view() ? page->toast()->view()->label()->text() : QString();
}

void press(QWidget* page, const char* button)
{
    auto* b = page->findChild<QPushButton*>(QLatin1String(button));
    QVERIFY2(b, button);
    QTest::mouseClick(b, Qt::LeftButton);
}

QLineEdit* edit(QWidget* page, const QString& name)
{
    auto* e = page->findChild<QLineEdit*>(name);
    if (!e)
        qWarning("no edit %s", qPrintable(name));
    return e;
}

QString labelText(QWidget* page, const char* name)
{
    auto* label = page->findChild<QLabel*>(QLatin1String(name));
    return label ? label->text() : QStringLiteral("<no label>");
}

QStringList destinations(const QList<ReceivedCommand>& commands)
{
    QStringList out;
    for (const ReceivedCommand& c : commands)
        out << c.destination;
    return out;
}

// Handles modal dialogs as they come up while a click runs its jobs.
class ModalHandler
{
public:
    explicit ModalHandler(std::function<void(QWidget*)> handle) : m_handle(std::move(handle))
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (QWidget* modal = QApplication::activeModalWidget())
                m_handle(modal);
        });
        m_timer.start(20);
    }

private:
    std::function<void(QWidget*)> m_handle;
    QTimer m_timer;
};

const char* const SipKeys[] = {"account", "password", "displayName", "serverHost", "serverPort"};

SipAccountSettings sipOf(const QStringList& values)
{
    SipAccountSettings s;
    s.account = values.value(0);
    s.password = values.value(1);
    s.displayName = values.value(2);
    s.serverHost = values.value(3);
    s.serverPort = values.value(4);
    return s;
}

QJsonObject sipJson(const SipAccountSettings& s)
{
    return QJsonObject{{"account", s.account},
                       {"password", s.password},
                       {"displayName", s.displayName},
                       {"serverHost", s.serverHost},
                       {"serverPort", s.serverPort}};
}

} // namespace

class TestDevicePages : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    // The channel text rule shared with orvane-cli; no wire needed.
    void endpointText_data();
    void endpointText();

    // Maintenance.

    // Volume.
    void volumesShown_data();
    void volumesShown();
    void muteRemembersTheValue_data();
    void muteRemembersTheValue();
    void audioTest();

    // SIP.
    void sipReadFillsTheFields();
    void sipWriteAndSummary_data();
    void sipWriteAndSummary();

    // RTP.
    void rtpReadFillsTheEdits();
    void rtpWriteSendsTheEditsAndSummary();
    void rtpSetBeforeAnyReadSendsValidJson();

    // Firmware.
    void firmwareNeedsAFile();
    void firmwareOutcomeIsShown();

    // The main window's play icon and the pages behind their columns.
    void mainWindowPlayIconAndPages();

private:
    bool showDevices(Screen& screen, const QByteArray& config, int generated, int expectedRows);
    bool startWebSegment(const QByteArray& config, int devices);
    void stopWebSegment();

    std::unique_ptr<NetNamespacePair> m_pair;
    std::unique_ptr<ProtocolClient> m_client;
    EmulatedSegment m_segment;
    QProcess m_webEmulator;
    QTemporaryDir m_dir;
    bool m_webAddresses = false;
    std::unique_ptr<ModalHandler> m_operator;
};

void TestDevicePages::initTestCase()
{
    Q_INIT_RESOURCE(resources);
    QStandardPaths::setTestModeEnabled(true);
    QString reason;
    if (!NetNamespacePair::canRun(&reason)) {
        if (NetNamespacePair::requiredByEnvironment())
            QFAIL(qPrintable(reason));
        return; // the network tests skip one by one
    }
    m_pair.reset(new NetNamespacePair);
    QVERIFY2(m_pair->ok(), qPrintable(m_pair->error()));
    m_client.reset(new ProtocolClient);
    QString error;
    QVERIFY2(EmulatedSegment::openNear(*m_client, *m_pair, &error), qPrintable(error));
}

void TestDevicePages::cleanupTestCase()
{
    m_segment.stop();
    stopWebSegment();
    m_client.reset();
    m_pair.reset();
}

void TestDevicePages::init()
{
    static const QStringList offline{"endpointText", "volumesShown", "firmwareNeedsAFile"};
    if (!m_pair && !offline.contains(QLatin1String(QTest::currentTestFunction())))
        QSKIP("network test skipped: namespaces cannot be made here");
    // The operator agrees to every question and closes every result list; the
    // questions and lists themselves are tst_devicejobs' business.
    m_operator.reset(new ModalHandler([](QWidget* modal) {
        if (modal->objectName() == QLatin1String("confirmDialog") ||
            modal->objectName() == QLatin1String("resultListDialog"))
            press(modal, "okButton");
    }));
}

void TestDevicePages::cleanup()
{
    m_operator.reset();
    m_segment.stop();
    stopWebSegment();
}

void TestDevicePages::stopWebSegment()
{
    if (m_webEmulator.state() == QProcess::NotRunning)
        return;
    m_webEmulator.terminate();
    if (!m_webEmulator.waitForFinished(10000))
        m_webEmulator.kill();
    m_webEmulator.waitForFinished(1000);
}

bool TestDevicePages::showDevices(Screen& screen, const QByteArray& config, int generated, int expectedRows)
{
    if (!m_pair) {
        qWarning("no namespaces");
        return false;
    }
    QString error;
    if (!m_segment.start(*m_pair, config, generated, &error)) {
        qWarning("%s", qPrintable(error));
        return false;
    }
    if (!EmulatedSegment::waitForDevices(*m_client, expectedRows))
        return false;
    screen.model->setDevices(DeviceSearch::run(*m_client, 500, false));
    return screen.model->rowCount() == expectedRows;
}

// ---------------------------------------------------------------------------
// Rules

void TestDevicePages::endpointText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("ip");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("shownBack");

    QTest::newRow("address and port") << "239.0.0.1:5004"
                                      << "239.0.0.1" << 5004 << "239.0.0.1:5004";
    QTest::newRow("address alone") << "239.0.0.1"
                                   << "239.0.0.1" << 0 << "239.0.0.1";
    QTest::newRow("colon without port") << "239.0.0.1:"
                                        << "239.0.0.1" << 0 << "239.0.0.1";
    QTest::newRow("empty") << ""
                           << "" << 0 << "";
    QTest::newRow("two colons split at the last") << "a:b:7"
                                                  << "a:b" << 7 << "a:b:7";
    QTest::newRow("colon in front") << ":5004"
                                    << ":5004" << 0 << ":5004";
    QTest::newRow("port not a number") << "239.0.0.1:abc"
                                       << "239.0.0.1" << 0 << "239.0.0.1";
    // Would otherwise reach the device as a port it cannot listen on.
    QTest::newRow("port above 65535") << "239.0.0.1:70000"
                                      << "239.0.0.1" << 0 << "239.0.0.1";
    QTest::newRow("negative port") << "239.0.0.1:-5"
                                   << "239.0.0.1" << 0 << "239.0.0.1";
    QTest::newRow("highest port") << "239.0.0.1:65535"
                                  << "239.0.0.1" << 65535 << "239.0.0.1:65535";
}

void TestDevicePages::endpointText()
{
    QFETCH(QString, text);
    QFETCH(QString, ip);
    QFETCH(int, port);
    QFETCH(QString, shownBack);
    const RtpChannelSettings s = RtpChannelSettings::fromEndpointText(text);
    QCOMPARE(s.enable, 1);
    QCOMPARE(s.rtpIP, ip);
    QCOMPARE(s.rtpPort, port);
    QCOMPARE(s.endpointText(), shownBack);
}

// ---------------------------------------------------------------------------
// Maintenance








// ---------------------------------------------------------------------------
// Volume

void TestDevicePages::volumesShown_data()
{
    QTest::addColumn<QString>("mic"); // empty: the search reply had none
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("autoMute");
    QTest::addColumn<int>("input");
    QTest::addColumn<int>("output");
    QTest::addColumn<bool>("ticked");
    QTest::newRow("no micVolume, auto-mute on") << ""
                                                << "35"
                                                << "1" << 0 << 35 << true;
    QTest::newRow("no micVolume, auto-mute off") << ""
                                                 << "35"
                                                 << "0" << 0 << 35 << false;
    QTest::newRow("both set") << "60"
                              << "0"
                              << "0" << 60 << 0 << false;
}

void TestDevicePages::volumesShown()
{
    QFETCH(QString, mic);
    QFETCH(QString, out);
    QFETCH(QString, autoMute);
    QFETCH(int, input);
    QFETCH(int, output);
    QFETCH(bool, ticked);
    Screen screen;
    DeviceRecord* device = DeviceRecord::create();
    device->setName(QStringLiteral("Hall"));
    device->setUid(QStringLiteral("UID9"));
    if (!mic.isEmpty())
        device->setValue(QStringLiteral("micVolume"), mic);
    device->setValue(QStringLiteral("outVolume"), out);
    device->setValue(QStringLiteral("autoMute"), autoMute);
    screen.model->setDevices({device});
    auto* page = screen.addPage<VolumePage>(m_client.get());
    page->setCurrentDevice(device);

    QCOMPARE(labelText(page, "deviceLabel"), QStringLiteral("Current Device Hall-UID9"));
    QCOMPARE(labelText(page, "inputLabel"), QStringLiteral("Input Volume : %1").arg(input));
    QCOMPARE(labelText(page, "outputLabel"), QStringLiteral("Output Volume : %1").arg(output));
    QCOMPARE(page->findChild<QSlider*>(QStringLiteral("inputSlider"))->value(), input);
    QCOMPARE(page->findChild<QSlider*>(QStringLiteral("outputSlider"))->value(), output);
    QCOMPARE(page->findChild<PixmapButton*>(QStringLiteral("microphoneButton"))->isAlternate(), input == 0);
    QCOMPARE(page->findChild<PixmapButton*>(QStringLiteral("audioButton"))->isAlternate(), output == 0);
    QCOMPARE(page->findChild<QCheckBox*>(QStringLiteral("autoMuteBox"))->isChecked(), ticked);

    page->setCurrentDevice(nullptr);
    QCOMPARE(labelText(page, "deviceLabel"), QString());
    QCOMPARE(labelText(page, "inputLabel"), QStringLiteral("Input Volume : 0"));
    QCOMPARE(labelText(page, "outputLabel"), QStringLiteral("Output Volume : 0"));
    QVERIFY(page->findChild<PixmapButton*>(QStringLiteral("audioButton"))->isAlternate());
}

void TestDevicePages::muteRemembersTheValue_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("slider");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("remembered");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("muted");    // after the first press
    QTest::addColumn<int>("restored"); // after the second press
    QTest::newRow("output at 35") << "audioButton"
                                  << "outputSlider"
                                  << "Output Volume"
                                  << "outVolume2"
                                  << "" << 35 << 0 << 35;
    QTest::newRow("input at 80") << "microphoneButton"
                                 << "inputSlider"
                                 << "Input Volume"
                                 << "micVolume2"
                                 << "" << 80 << 0 << 80;
    QTest::newRow("at 0, nothing remembered") << "audioButton"
                                              << "outputSlider"
                                              << "Output Volume"
                                              << "outVolume2"
                                              << "" << 0 << 0 << 0;
    QTest::newRow("at 0, remembered earlier") << "microphoneButton"
                                              << "inputSlider"
                                              << "Input Volume"
                                              << "micVolume2"
                                              << "42" << 0 << 42 << 0;
}

void TestDevicePages::muteRemembersTheValue()
{
    QFETCH(QString, button);
    QFETCH(QString, slider);
    QFETCH(QString, label);
    QFETCH(QString, key);
    QFETCH(QString, remembered);
    QFETCH(int, start);
    QFETCH(int, muted);
    QFETCH(int, restored);
    Screen screen;
    QVERIFY(showDevices(screen, "[]", 1, 1));
    DeviceRecord* device = screen.model->deviceAt(0);
    if (!remembered.isEmpty())
        device->setValue(key, remembered);
    auto* page = screen.addPage<VolumePage>(m_client.get());
    auto* mute = page->findChild<PixmapButton*>(button);
    auto* s = page->findChild<QSlider*>(slider);
    const QString labelName = button == QLatin1String("audioButton") ? "outputLabel" : "inputLabel";

    // Without a current device the button does nothing.
    s->setValue(start);
    QTest::mouseClick(mute, Qt::LeftButton);
    QCOMPARE(s->value(), start);

    page->setCurrentDevice(device);
    s->setValue(start);
    QTest::mouseClick(mute, Qt::LeftButton);
    QCOMPARE(s->value(), muted);
    QCOMPARE(labelText(page, qPrintable(labelName)), QStringLiteral("%1 : %2").arg(label).arg(muted));
    QCOMPARE(mute->isAlternate(), muted == 0);
    if (start != 0)
        QCOMPARE(device->intValue(key), start);
    QTest::mouseClick(mute, Qt::LeftButton);
    QCOMPARE(s->value(), restored);
    QCOMPARE(mute->isAlternate(), restored == 0);
    // Only "Set" reaches the device, with what the slider shows.
    QVERIFY(m_segment.commands(QStringLiteral("SetDeviceVolume")).isEmpty());
    press(page, "setButton");
    const QList<ReceivedCommand> sent = m_segment.commands(QStringLiteral("SetDeviceVolume"));
    QCOMPARE(sent.size(), 1);
    const char* wireKey = button == QLatin1String("audioButton") ? "outVolume" : "micVolume";
    QCOMPARE(sent.first().json.value(QLatin1String(wireKey)).toInt(-1), restored);
    QCOMPARE(device->intValue(QLatin1String(wireKey)), restored);
}


void TestDevicePages::audioTest()
{
    Screen screen;
    QVERIFY(showDevices(screen, "[]", 2, 2));
    auto* page = screen.addPage<VolumePage>(m_client.get());
    press(page, "testButton");
    QVERIFY(!QApplication::activeModalWidget());
    QVERIFY(m_segment.commands(QStringLiteral("PlayVolume")).isEmpty());
    page->setCurrentDevice(screen.model->deviceAt(1));
    press(page, "testButton");
    QCOMPARE(destinations(m_segment.commands(QStringLiteral("PlayVolume"))), screen.macsOf({1}));
    QVERIFY(m_segment.commands(QStringLiteral("SetDeviceVolume")).isEmpty());
}

// ---------------------------------------------------------------------------
// SIP

void TestDevicePages::sipReadFillsTheFields()
{
    const SipAccountSettings a{sipOf({"1001", "pw1", "Hall", "198.18.0.10", "5060"})};
    const SipAccountSettings b{sipOf({"2002", "pw2", "", "198.18.0.20", "5070"})};
    QJsonArray config{QJsonObject{{"sip0", sipJson(a)}, {"sip1", sipJson(b)}},
                      QJsonObject{{"sip0", sipJson(b)}, {"sip1", sipJson(SipAccountSettings())}}};
    Screen screen;
    QVERIFY(showDevices(screen, QJsonDocument(config).toJson(), 0, 2));
    auto* page = screen.addPage<SipPage>(m_client.get());

    page->setCurrentDevice(screen.model->deviceAt(0));
    QCOMPARE(destinations(m_segment.commands(QStringLiteral("GetSipSettings"))), screen.macsOf({0}));
    QCOMPARE(labelText(page, "deviceLabel"), QStringLiteral("Current Device Device 1-UID000001"));
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(edit(page, QStringLiteral("%1%2Edit").arg(SipKeys[i]).arg(1))->text(),
                 sipJson(a).value(QLatin1String(SipKeys[i])).toString());
        QCOMPARE(edit(page, QStringLiteral("%1%2Edit").arg(SipKeys[i]).arg(2))->text(),
                 sipJson(b).value(QLatin1String(SipKeys[i])).toString());
    }

    // Another row: that device's accounts, read before the fields change.
    page->setCurrentDevice(screen.model->deviceAt(1));
    QCOMPARE(destinations(m_segment.commands(QStringLiteral("GetSipSettings"))), screen.macsOf({0, 1}));
    QCOMPARE(edit(page, QStringLiteral("account1Edit"))->text(), QStringLiteral("2002"));
    QCOMPARE(edit(page, QStringLiteral("account2Edit"))->text(), QString());

    // No device: only the header goes.
    page->setCurrentDevice(nullptr);
    QCOMPARE(labelText(page, "deviceLabel"), QString());
    QCOMPARE(edit(page, QStringLiteral("account1Edit"))->text(), QStringLiteral("2002"));
    QCOMPARE(m_segment.commands(QStringLiteral("GetSipSettings")).size(), 2);
}

void TestDevicePages::sipWriteAndSummary_data()
{
    QTest::addColumn<QStringList>("first");
    QTest::addColumn<QStringList>("second");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("summary");
    QTest::newRow("first complete") << QStringList{"1001", "pw1", "Hall", "198.18.0.10", "5060"}
                                    << QStringList{"", "", "", "", ""} << "setButton"
                                    << "1001@198.18.0.10";
    QTest::newRow("first lacks its password")
        << QStringList{"1001", "", "Hall", "198.18.0.10", "5060"}
        << QStringList{"1002", "pw2", "", "198.18.0.20", "5062"} << "setAllButton"
        << "1002@198.18.0.20";
    QTest::newRow("neither complete")
        << QStringList{"1001", "", "", "", ""} << QStringList{"", "", "", "", ""} << "setAllButton"
        << "";
}

void TestDevicePages::sipWriteAndSummary()
{
    QFETCH(QStringList, first);
    QFETCH(QStringList, second);
    QFETCH(QString, button);
    QFETCH(QString, summary);
    Screen screen;
    QVERIFY(showDevices(screen, "[]", 2, 2));
    for (int row = 0; row < 2; ++row)
        screen.model->deviceAt(row)->setField(QStringLiteral("sipInfo"), QStringLiteral("old@host"));
    auto* page = screen.addPage<SipPage>(m_client.get());
    page->setCurrentDevice(screen.model->deviceAt(1));
    for (int i = 0; i < 5; ++i) {
        edit(page, QStringLiteral("%1%2Edit").arg(SipKeys[i]).arg(1))->setText(first.at(i));
        edit(page, QStringLiteral("%1%2Edit").arg(SipKeys[i]).arg(2))->setText(second.at(i));
    }
    press(page, qPrintable(button));

    const QList<int> rows = button == QLatin1String("setButton") ? QList<int>{1} : QList<int>{0, 1};
    const QList<ReceivedCommand> sent = m_segment.commands(QStringLiteral("SetSipSettings"));
    QCOMPARE(destinations(sent), screen.macsOf(rows));
    for (const ReceivedCommand& c : sent) {
        QCOMPARE(c.json.value(QStringLiteral("sip0")).toObject(), sipJson(sipOf(first)));
        QCOMPARE(c.json.value(QStringLiteral("sip1")).toObject(), sipJson(sipOf(second)));
    }
    for (int row = 0; row < 2; ++row)
        QCOMPARE(screen.cell(row, DeviceTableModel::SipColumn), rows.contains(row) ? summary : "old@host");
    // The device now holds what was sent: the next read shows it.
    page->setCurrentDevice(screen.model->deviceAt(1));
    QCOMPARE(edit(page, QStringLiteral("serverHost1Edit"))->text(), first.at(3));
}

// ---------------------------------------------------------------------------
// RTP

void TestDevicePages::rtpReadFillsTheEdits()
{
    QJsonObject device{{"rtp0", QJsonObject{{"enable", 1}, {"rtpIP", "239.0.0.1"}, {"rtpPort", 5004}}},
                       {"rtp2", QJsonObject{{"enable", 1}, {"rtpIP", "239.0.0.3"}, {"rtpPort", 0}}},
                       {"rtp9", QJsonObject{{"enable", 0}, {"rtpIP", "239.0.0.10"}, {"rtpPort", 6010}}}};
    Screen screen;
    QVERIFY(showDevices(screen, QJsonDocument(QJsonArray{device, QJsonObject{}}).toJson(), 0, 2));
    auto* page = screen.addPage<RtpChannelsPage>(m_client.get());
    QVERIFY(page->channels().isEmpty());
    page->setCurrentDevice(screen.model->deviceAt(0));
    QCOMPARE(destinations(m_segment.commands(QStringLiteral("GetRtpSettings"))), screen.macsOf({0}));
    QCOMPARE(page->channels().size(), 10);
    const QStringList expected{"239.0.0.1:5004", "", "239.0.0.3", "", "", "", "", "", "", "239.0.0.10:6010"};
    for (int i = 0; i < 10; ++i)
        QCOMPARE(edit(page, QStringLiteral("rtpEdit%1").arg(i + 1))->text(), expected.at(i));

    // A device without channels empties every edit.
    page->setCurrentDevice(screen.model->deviceAt(1));
    for (int i = 0; i < 10; ++i)
        QCOMPARE(edit(page, QStringLiteral("rtpEdit%1").arg(i + 1))->text(), QString());
}

void TestDevicePages::rtpWriteSendsTheEditsAndSummary()
{
    Screen screen;
    QVERIFY(showDevices(screen, "[]", 3, 3));
    auto* page = screen.addPage<RtpChannelsPage>(m_client.get());
    page->setCurrentDevice(screen.model->deviceAt(0));
    // A channel that is not ADDRESS:PORT stops the whole write before anything is sent.
    for (const char* bad : {"hello", "239.0.0.2", "239.0.0.2:0", "239.0.0.2:70000", "a:b:7"}) {
        edit(page, QStringLiteral("rtpEdit2"))->setText(QLatin1String(bad));
        press(page, "setButton");
        QVERIFY2(m_segment.commands(QStringLiteral("SetRtpSettings")).isEmpty(), bad);
    }
    // Only filled channels are switched on.
    const QStringList typed{"", "239.0.0.2:5002", "239.0.0.3:6000", "", "", "", "", "", "", "239.0.0.10:6010"};
    for (int i = 0; i < 10; ++i)
        edit(page, QStringLiteral("rtpEdit%1").arg(i + 1))->setText(typed.at(i));
    screen.tick(2);
    screen.tick(0);
    press(page, "setAllButton");

    const QList<ReceivedCommand> sent = m_segment.commands(QStringLiteral("SetRtpSettings"));
    QCOMPARE(destinations(sent), screen.macsOf({0, 2}));
    for (const ReceivedCommand& c : sent) {
        QCOMPARE(c.json.size(), 12); // id, method, rtp0 to rtp9
        for (int i = 0; i < 10; ++i) {
            const QJsonObject got = c.json.value(QStringLiteral("rtp%1").arg(i)).toObject();
            QCOMPARE(got.value(QStringLiteral("enable")).toInt(-1), typed.at(i).isEmpty() ? 0 : 1);
            QCOMPARE(QStringLiteral("%1:%2").arg(got.value(QStringLiteral("rtpIP")).toString())
                         .arg(got.value(QStringLiteral("rtpPort")).toInt()),
                     typed.at(i).isEmpty() ? QStringLiteral(":0") : typed.at(i));
        }
    }
    QCOMPARE(screen.cell(0, DeviceTableModel::RtpColumn), QStringLiteral("239.0.0.2:5002"));
    QCOMPARE(screen.cell(1, DeviceTableModel::RtpColumn), QString());

    // Read back from the device: what was sent, in the page's own notation.
    page->setCurrentDevice(screen.model->deviceAt(2));
    QCOMPARE(edit(page, QStringLiteral("rtpEdit3"))->text(), QStringLiteral("239.0.0.3:6000"));
    QCOMPARE(edit(page, QStringLiteral("rtpEdit4"))->text(), QString());
}

void TestDevicePages::rtpSetBeforeAnyReadSendsValidJson()
{
    Screen screen;
    QVERIFY(showDevices(screen, R"([{"misbehave":{"delayMs":250}}])", 0, 1));
    DeviceRecord* device = screen.model->deviceAt(0);
    device->setField(QStringLiteral("rtpInfo"), QStringLiteral("239.9.9.9:9"));
    auto* page = screen.addPage<RtpChannelsPage>(m_client.get());
    bool closed = false;
    {
        // The operator closes the first read before the device answers.
        ModalHandler handler([&closed](QWidget* modal) {
            if (!closed && modal->objectName() == QLatin1String("rtpReadJob")) {
                QTest::keyClick(modal, Qt::Key_Escape);
                closed = true;
            }
        });
        page->setCurrentDevice(device);
    }
    QVERIFY(closed);
    QVERIFY(page->channels().isEmpty());
    edit(page, QStringLiteral("rtpEdit1"))->setText(QStringLiteral("239.0.0.1:5004"));
    press(page, "setButton");

    // The command is well-formed JSON (the emulator log parses it) and carries no channel.
    const QList<ReceivedCommand> sent = m_segment.commands(QStringLiteral("SetRtpSettings"));
    QCOMPARE(sent.size(), 1);
    QCOMPARE(sent.first().json.keys(), (QStringList{"id", "method"}));
    // Nothing about the channels was sent, so the table keeps what it knew.
    QCOMPARE(screen.cell(0, DeviceTableModel::RtpColumn), QStringLiteral("239.9.9.9:9"));
}

// ---------------------------------------------------------------------------
// Firmware

void TestDevicePages::firmwareNeedsAFile()
{
    Screen screen;
    DeviceRecord* device = DeviceRecord::create();
    screen.model->setDevices({device});
    auto* page = screen.addPage<VersionPage>(m_client.get());
    press(page, "setButton");
    QCOMPARE(toastText(page), QString());
    page->setCurrentDevice(device);
    press(page, "setButton");
    QCOMPARE(toastText(page), QStringLiteral("Please input upgrade server address"));
    page->toast()->hide();
    press(page, "setAllButton");
    QCOMPARE(toastText(page), QStringLiteral("Please input upgrade server address"));
    QVERIFY(page->lastResultLines().isEmpty());
}

bool TestDevicePages::startWebSegment(const QByteArray& config, int devices)
{
    auto fail = [](const QString& why) {
        qWarning("%s", qPrintable(why));
        return false;
    };
    if (!m_pair || !m_dir.isValid())
        return fail(QStringLiteral("no namespaces"));
    const QString farIf = m_pair->interfaceName(NetNamespacePair::Far);
    const QString nearIf = m_pair->interfaceName(NetNamespacePair::Near);
    if (!m_webAddresses) {
        // Each device's address on the far end, so that its web interface can
        // listen there; the far end's own MAC for them on the near end, since
        // the search replies come from each device's MAC, which no kernel owns.
        QProcess show;
        show.start(QStringLiteral("ip"),
                   {QStringLiteral("-n"), m_pair->namespaceName(NetNamespacePair::Far), QStringLiteral("-br"),
                    QStringLiteral("link"), QStringLiteral("show"), farIf});
        show.waitForFinished();
        const QRegularExpressionMatch farMac =
            QRegularExpression(QStringLiteral("([0-9a-f]{2}(:[0-9a-f]{2}){5})"))
                .match(QString::fromLatin1(show.readAll()));
        if (!farMac.hasMatch())
            return fail(QStringLiteral("no MAC on the far end"));
        if (!m_pair->ip(NetNamespacePair::Near,
                        {QStringLiteral("route"), QStringLiteral("add"), QStringLiteral("198.18.0.0/15"),
                         QStringLiteral("dev"), nearIf}))
            return fail(m_pair->error());
        for (int k = 1; k <= devices; ++k) {
            const QString ip = QStringLiteral("198.18.1.%1").arg(k);
            if (!m_pair->ip(NetNamespacePair::Far,
                            {QStringLiteral("addr"), QStringLiteral("add"), ip + QStringLiteral("/15"),
                             QStringLiteral("dev"), farIf}) ||
                !m_pair->ip(NetNamespacePair::Near,
                            {QStringLiteral("neigh"), QStringLiteral("replace"), ip, QStringLiteral("lladdr"),
                             farMac.captured(1), QStringLiteral("nud"), QStringLiteral("permanent"),
                             QStringLiteral("dev"), nearIf}))
                return fail(m_pair->error());
        }
        m_webAddresses = true;
    }
    const QString configPath = m_dir.filePath(QStringLiteral("web-devices.json"));
    const QString ready = m_dir.filePath(QStringLiteral("web-ready"));
    QFile::remove(ready);
    QFile file(configPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(config) != config.size())
        return fail(QStringLiteral("cannot write the configuration"));
    file.close();
    m_webEmulator.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_webEmulator.start(
        QStringLiteral("ip"),
        {QStringLiteral("netns"), QStringLiteral("exec"), m_pair->namespaceName(NetNamespacePair::Far),
         QStringLiteral(ORVANE_EMULATOR_PATH), QStringLiteral("--interface"), farIf,
         QStringLiteral("--config"), configPath, QStringLiteral("--web"), QStringLiteral("--log"),
         m_dir.filePath(QStringLiteral("web-emulator.log")), QStringLiteral("--ready-file"), ready});
    if (!m_webEmulator.waitForStarted())
        return fail(QStringLiteral("the emulator did not start"));
    QElapsedTimer timer;
    timer.start();
    while (!QFile::exists(ready) && m_webEmulator.state() == QProcess::Running && timer.elapsed() < 15000)
        m_webEmulator.waitForFinished(20);
    return QFile::exists(ready) || fail(QStringLiteral("the emulator did not come up"));
}

void TestDevicePages::firmwareOutcomeIsShown()
{
    QVERIFY(startWebSegment(R"([{}, {"misbehave":{"refuseLogin":true}}, {"misbehave":{"webOff":true}},
                                {"misbehave":{"webSilent":true}}])",
                            4));
    QVERIFY(EmulatedSegment::waitForDevices(*m_client, 4));
    Screen screen;
    screen.model->setDevices(DeviceSearch::run(*m_client, 500, false));
    QCOMPARE(screen.model->rowCount(), 4);
    QTemporaryFile image;
    QVERIFY(image.open());
    image.write(QByteArray(64 * 1024, 'F'));
    image.flush();

    auto* page = screen.addPage<VersionPage>(m_client.get());
    page->setCurrentDevice(screen.model->deviceAt(0));
    page->findChild<QLineEdit*>(QStringLiteral("fileEdit"))->setText(image.fileName());

    // The silent web interface holds the job up until the operator closes it;
    // then the result comes up with one line per device.
    QStringList shown;
    QElapsedTimer timer;
    timer.start();
    m_operator.reset();
    ModalHandler handler([&](QWidget* modal) {
        if (modal->objectName() == QLatin1String("confirmDialog")) {
            press(modal, "okButton");
        } else if (modal->objectName() == QLatin1String("settingJob") && timer.elapsed() > 3000) {
            QTest::keyClick(modal, Qt::Key_Escape);
        } else if (modal->objectName() == QLatin1String("resultListDialog")) {
            auto* list = modal->findChild<QTreeWidget*>(QStringLiteral("resultList"));
            for (int i = 0; i < list->topLevelItemCount(); ++i)
                shown << list->topLevelItem(i)->text(1) + QLatin1Char(' ') + list->topLevelItem(i)->text(2);
            press(modal, "okButton");
        }
    });
    {
        // The job's threads connect from the near end, as the program would from its host.
        NetnsScope scope(m_pair->namespaceName(NetNamespacePair::Near));
        QVERIFY(scope.ok());
        press(page, "setAllButton");
    }
    QVERIFY(!QApplication::activeModalWidget());
    const QStringList lines = page->lastResultLines();
    QCOMPARE(lines.size(), 4);
    for (int row = 0; row < 4; ++row) {
        const DeviceRecord* d = screen.model->deviceAt(row);
        QVERIFY2(lines.at(row).startsWith(QStringLiteral("%1 %2: ").arg(d->mac(), d->ip())),
                 qPrintable(lines.at(row)));
    }
    QVERIFY2(lines.at(0).endsWith(QLatin1String(": uploaded (HTTP 200)")), qPrintable(lines.at(0)));
    // What the operator read: one line per device, the outcome in plain words.
    const DeviceTableModel& m = *screen.model;
    const QStringList outcomes{" ok (HTTP 200)", " failed (login refused", " no answer (network error", " cancelled"};
    QCOMPARE(shown.size(), 4);
    for (int row = 0; row < 4; ++row)
        QVERIFY2(shown.at(row).startsWith(m.deviceAt(row)->mac() + outcomes.at(row)), qPrintable(shown.at(row)));
}

// ---------------------------------------------------------------------------
// Main window

void TestDevicePages::mainWindowPlayIconAndPages()
{
    QString error;
    QVERIFY2(m_segment.start(*m_pair, "[]", 2, &error), qPrintable(error));
    std::unique_ptr<MainWindow> window = openMainWindow(*m_pair);
    QVERIFY(window);
    QSignalSpy finished(window.get(), &MainWindow::searchFinished);
    QVERIFY(finished.wait(20000) || !finished.isEmpty());
    QCOMPARE(window->model()->rowCount(), 2);
    auto clickCell = [&](int row, int column) {
        CopyingTableView* table = window->tableView();
        const QModelIndex index = window->model()->index(row, column);
        table->scrollTo(index);
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(index).center());
    };

    // The play icon: one PlayVolume to that row's device, and no page.
    clickCell(1, DeviceTableModel::PlayColumn);
    QVERIFY(!QApplication::activeModalWidget());
    QCOMPARE(destinations(m_segment.commands(QStringLiteral("PlayVolume"))),
             QStringList{window->model()->deviceAt(1)->mac()});
    QVERIFY(!window->currentPage());

    struct
    {
        int column;
        const char* page;
        const char* read; // the command showing the page sends, if any
    } const columns[] = {{DeviceTableModel::SystemColumn, "testPage", nullptr},
                         {DeviceTableModel::VolumeColumn, "audioPage", nullptr},
                         {DeviceTableModel::VersionColumn, "versionPage", nullptr},
                         {DeviceTableModel::RtpColumn, "rtpPage", "GetRtpSettings"},
                         {DeviceTableModel::SipColumn, "sipPage", "GetSipSettings"}};
    for (const auto& c : columns) {
        clickCell(0, c.column);
        QVERIFY(window->currentPage());
        QCOMPARE(window->currentPage()->objectName(), QLatin1String(c.page));
        QCOMPARE(window->currentPage()->currentDevice(), window->model()->deviceAt(0));
        if (c.read)
            QCOMPARE(destinations(m_segment.commands(QLatin1String(c.read))),
                     QStringList{window->model()->deviceAt(0)->mac()});
    }
    // Playing from the icon leaves the page as it is.
    clickCell(0, DeviceTableModel::PlayColumn);
    QCOMPARE(window->currentPage()->objectName(), QLatin1String("sipPage"));
    QCOMPARE(m_segment.commands(QStringLiteral("PlayVolume")).size(), 2);
}

QTEST_MAIN(TestDevicePages)
#include "tst_devicepages.moc"
