// The IP, name and MAC pages and their jobs through the real widgets, against
// emulated devices across a veth pair: which devices a click addresses, in
// which order, with which values, and what the table shows afterwards.
#include "EmulatedSegment.h"
#include "DeviceTableModel.h"
#include "DeviceTableDelegate.h"
#include "DeviceSearch.h"
#include "IpPage.h"
#include "MacPage.h"
#include "NamePage.h"
#include "CopyingTableView.h"
#include "Toast.h"
#include "ToastView.h"

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>
#include <QtTest>
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
        table->setSortingEnabled(true);
        window.show();
    }
    template <typename Page>
    Page* addPage(ProtocolClient* sdk)
    {
        auto* page = new Page(&window, sdk, model);
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
    QStringList column(int c) const
    {
        QStringList out;
        for (int row = 0; row < model->rowCount(); ++row)
            out << model->index(row, c).data().toString();
        return out;
    }
    // A record for the emulator's k-th device at row, as a search would have made it.
    void insertDevice(int row, int k)
    {
        DeviceRecord* device = DeviceRecord::create();
        const uint8_t mac[6] = {0x02, 0, 0, 0, uint8_t(k >> 8), uint8_t(k)};
        const uint8_t ip[4] = {198, 18, 1, uint8_t(k)};
        device->setMacBytes(mac);
        device->setIpBytes(ip);
        device->setName(QStringLiteral("Device %1").arg(k));
        QList<DeviceRecord*> devices = model->devices();
        for (DeviceRecord* d : devices)
            d->retain();
        devices.insert(row, device);
        model->setDevices(devices);
    }
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
    QVERIFY(b);
    QTest::mouseClick(b, Qt::LeftButton);
}

QLineEdit* edit(QWidget* page, const char* name)
{
    return page->findChild<QLineEdit*>(QLatin1String(name));
}

QStringList destinations(const QList<ReceivedCommand>& commands)
{
    QStringList out;
    for (const ReceivedCommand& c : commands)
        out << c.destination;
    return out;
}

QStringList values(const QList<ReceivedCommand>& commands, const char* key)
{
    QStringList out;
    for (const ReceivedCommand& c : commands)
        out << c.value(key);
    return out;
}

QString macOfBytes(const DeviceRecord* device)
{
    uint8_t mac[6];
    device->macBytes(mac);
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(mac), 6).toHex(':'));
}

} // namespace

class TestSettingPages : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();
    void setAllAddressesTickedRowsTopToBottom_data();
    void setAllAddressesTickedRowsTopToBottom();
    void setAllFollowsSortedOrder();
    void setAllGivesConsecutiveAddresses();
    void setChangesTheRowAtOnce();
    void addressCheck_data();
    void addressCheck();
    void ipModeFollowsTheDevice();
    void silentDeviceKeepsItsValues();
    void closingTheJobStopsAtTheFirstDevice();
    void macSequences_data();
    void macSequences();
    void emptyNameIsRefused();

private:
    // Starts `count` generated devices after those of config and lists them all.
    bool showDevices(Screen& screen, const QByteArray& config, int generated, int expectedRows);

    std::unique_ptr<NetNamespacePair> m_pair;
    std::unique_ptr<ProtocolClient> m_sdk;
    EmulatedSegment m_segment;
};

void TestSettingPages::initTestCase()
{
    ORVANE_REQUIRE_NETNS();
    Q_INIT_RESOURCE(resources);
    QStandardPaths::setTestModeEnabled(true);
    m_pair.reset(new NetNamespacePair);
    QVERIFY2(m_pair->ok(), qPrintable(m_pair->error()));
    m_sdk.reset(new ProtocolClient);
    QString error;
    QVERIFY2(EmulatedSegment::openNear(*m_sdk, *m_pair, &error), qPrintable(error));
}

void TestSettingPages::cleanupTestCase()
{
    m_segment.stop();
    m_sdk.reset();
    m_pair.reset();
}

void TestSettingPages::cleanup()
{
    m_segment.stop();
}

bool TestSettingPages::showDevices(Screen& screen, const QByteArray& config, int generated, int expectedRows)
{
    QString error;
    if (!m_segment.start(*m_pair, config, generated, &error)) {
        qWarning("%s", qPrintable(error));
        return false;
    }
    if (!EmulatedSegment::waitForDevices(*m_sdk, expectedRows))
        return false;
    screen.model->setDevices(DeviceSearch::run(*m_sdk, 500, false));
    return screen.model->rowCount() == expectedRows;
}

void TestSettingPages::setAllAddressesTickedRowsTopToBottom_data()
{
    QTest::addColumn<QList<int>>("ticked");
    QTest::addColumn<QList<int>>("addressed");
    QTest::newRow("two of five") << QList<int>{3, 1} << QList<int>{1, 3};
    QTest::newRow("none ticked") << QList<int>{} << QList<int>{0, 1, 2, 3, 4};
}

void TestSettingPages::setAllAddressesTickedRowsTopToBottom()
{
    QFETCH(QList<int>, ticked);
    QFETCH(QList<int>, addressed);
    Screen screen;
    QVERIFY(showDevices(screen, "[]", 5, 5));
    auto* page = screen.addPage<NamePage>(m_sdk.get());
    page->setCurrentDevice(screen.model->deviceAt(0));
    for (int row : ticked)
        screen.tick(row);

    edit(page, "nameEdit")->setText(QStringLiteral("Hall"));
    press(page, "setAllButton");

    const QList<ReceivedCommand> sent = m_segment.commands(QStringLiteral("SetName"));
    QCOMPARE(destinations(sent), screen.macsOf(addressed));
    QCOMPARE(values(sent, "name"), QStringList(QVector<QString>(addressed.size(), QStringLiteral("Hall")).toList()));
    for (int row = 0; row < 5; ++row) {
        const QString expected = addressed.contains(row) ? QStringLiteral("Hall") : QStringLiteral("Device %1").arg(row + 1);
        QCOMPARE(screen.model->index(row, DeviceTableModel::NameColumn).data().toString(), expected);
    }
}

void TestSettingPages::setAllFollowsSortedOrder()
{
    Screen screen;
    QVERIFY(showDevices(screen, "[]", 5, 5));
    // Sorted by a header click, as the operator would.
    auto* header = screen.table->horizontalHeader();
    const int x = header->sectionViewportPosition(DeviceTableModel::NameColumn) + 20;
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
    if (screen.model->deviceAt(0)->name() != QLatin1String("Device 5"))
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
    QCOMPARE(screen.column(DeviceTableModel::NameColumn),
             (QStringList{"Device 5", "Device 4", "Device 3", "Device 2", "Device 1"}));

    auto* page = screen.addPage<NamePage>(m_sdk.get());
    page->setCurrentDevice(screen.model->deviceAt(2));
    edit(page, "nameEdit")->setText(QStringLiteral("Lobby"));
    press(page, "setAllButton");
    QCOMPARE(destinations(m_segment.commands(QStringLiteral("SetName"))),
             (QStringList{EmulatedSegment::deviceMac(5), EmulatedSegment::deviceMac(4), EmulatedSegment::deviceMac(3),
                          EmulatedSegment::deviceMac(2), EmulatedSegment::deviceMac(1)}));
}

void TestSettingPages::setAllGivesConsecutiveAddresses()
{
    Screen screen;
    QVERIFY(showDevices(screen, "[]", 3, 3));
    auto* page = screen.addPage<IpPage>(m_sdk.get());
    page->setCurrentDevice(screen.model->deviceAt(1));
    edit(page, "ipEdit")->setText(QStringLiteral("198.18.3.254"));
    edit(page, "gatewayEdit")->setText(QStringLiteral("198.18.0.1"));
    edit(page, "netmaskEdit")->setText(QStringLiteral("255.254.0.0"));
    edit(page, "dns1Edit")->setText(QStringLiteral("198.18.0.53"));
    edit(page, "dns2Edit")->setText(QStringLiteral("198.18.0.54"));
    press(page, "setAllButton");

    const QList<ReceivedCommand> sent = m_segment.commands(QStringLiteral("SetIp"));
    QCOMPARE(destinations(sent), screen.macsOf({0, 1, 2}));
    // Only the last number counts up, and 255 wraps to 0 without a carry.
    QCOMPARE(values(sent, "ip"), (QStringList{"198.18.3.254", "198.18.3.255", "198.18.3.0"}));
    QCOMPARE(values(sent, "IpMode"), (QStringList{"static", "static", "static"}));
    QCOMPARE(values(sent, "gateway"), (QStringList{"198.18.0.1", "198.18.0.1", "198.18.0.1"}));
    QCOMPARE(values(sent, "dns2"), (QStringList{"198.18.0.54", "198.18.0.54", "198.18.0.54"}));
    QCOMPARE(screen.column(DeviceTableModel::IpColumn), (QStringList{"198.18.3.254", "198.18.3.255", "198.18.3.0"}));
    QCOMPARE(screen.column(DeviceTableModel::NetmaskColumn),
             (QStringList{"255.254.0.0", "255.254.0.0", "255.254.0.0"}));
    QCOMPARE(edit(page, "ipEdit")->text(), QStringLiteral("198.18.3.254"));
}

void TestSettingPages::setChangesTheRowAtOnce()
{
    Screen screen;
    QVERIFY(showDevices(screen, "[]", 2, 2));
    auto* page = screen.addPage<IpPage>(m_sdk.get());
    page->setCurrentDevice(screen.model->deviceAt(1));
    edit(page, "ipEdit")->setText(QStringLiteral("198.18.4.7"));
    edit(page, "gatewayEdit")->setText(QStringLiteral("198.18.4.1"));
    edit(page, "netmaskEdit")->setText(QStringLiteral("255.255.255.0"));
    press(page, "setButton");
    const QList<ReceivedCommand> sent = m_segment.commands(QStringLiteral("SetIp"));
    QCOMPARE(destinations(sent), screen.macsOf({1}));
    QCOMPARE(screen.model->index(1, DeviceTableModel::IpColumn).data().toString(), QStringLiteral("198.18.4.7"));
    QCOMPARE(screen.model->index(1, DeviceTableModel::GatewayColumn).data().toString(), QStringLiteral("198.18.4.1"));
    QCOMPARE(screen.model->index(1, DeviceTableModel::NetmaskColumn).data().toString(),
             QStringLiteral("255.255.255.0"));
    QCOMPARE(screen.model->index(0, DeviceTableModel::IpColumn).data().toString(), QStringLiteral("198.18.1.1"));
}

void TestSettingPages::addressCheck_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("toast"); // empty: the command goes out

    QTest::newRow("leading zero") << "ipEdit" << "192.168.001.10" << "setButton" << "IP error";
    QTest::newRow("above 255") << "ipEdit" << "256.1.1.1" << "setButton" << "IP error";
    QTest::newRow("trailing blank") << "ipEdit" << "198.18.0.7 " << "setButton" << "IP error";
    QTest::newRow("three numbers") << "gatewayEdit" << "198.18.0" << "setButton" << "Gateway error";
    QTest::newRow("empty netmask") << "netmaskEdit" << "" << "setAllButton" << "Netmask error";
    QTest::newRow("Set All checks dns1") << "dns1Edit" << "" << "setAllButton" << "Dns1 error";
    QTest::newRow("Set All checks dns2") << "dns2Edit" << "x" << "setAllButton" << "Dns2 error";
    QTest::newRow("Set sends an empty dns1") << "dns1Edit" << "" << "setButton" << "";
    QTest::newRow("zeros are an address") << "dns2Edit" << "0.0.0.0" << "setAllButton" << "";
}

void TestSettingPages::addressCheck()
{
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(QString, button);
    QFETCH(QString, toast);
    Screen screen;
    QVERIFY(showDevices(screen, "[]", 1, 1));
    auto* page = screen.addPage<IpPage>(m_sdk.get());
    page->setCurrentDevice(screen.model->deviceAt(0));
    edit(page, "ipEdit")->setText(QStringLiteral("198.18.1.1"));
    edit(page, "gatewayEdit")->setText(QStringLiteral("198.18.0.1"));
    edit(page, "netmaskEdit")->setText(QStringLiteral("255.254.0.0"));
    edit(page, "dns1Edit")->setText(QStringLiteral("198.18.0.53"));
    edit(page, "dns2Edit")->setText(QStringLiteral("198.18.0.54"));
    edit(page, qPrintable(field))->setText(text);
    press(page, qPrintable(button));

    const QList<ReceivedCommand> sent = m_segment.commands(QStringLiteral("SetIp"));
    if (toast.isEmpty()) {
        QCOMPARE(sent.size(), 1);
        QCOMPARE(sent.first().value(qPrintable(field.chopped(4))), text);
        QCOMPARE(toastText(page), QString());
    } else {
        QCOMPARE(sent.size(), 0);
        QCOMPARE(toastText(page), toast);
        QVERIFY(page->toast()->view()->isVisible());
        // At the top of the page, centred.
        QCOMPARE(page->toast()->view()->y(), Toast::MarginY);
    }
}

void TestSettingPages::ipModeFollowsTheDevice()
{
    Screen screen;
    QVERIFY(showDevices(screen, "[]", 2, 2));
    auto* page = screen.addPage<IpPage>(m_sdk.get());
    auto* mode = page->findChild<QComboBox*>(QStringLiteral("modeComboBox"));
    screen.model->deviceAt(0)->setIpMode(QStringLiteral("dhcp"));
    page->setCurrentDevice(screen.model->deviceAt(0));
    QCOMPARE(mode->currentIndex(), 0);
    QVERIFY(!edit(page, "ipEdit")->isEnabled());
    QCOMPARE(edit(page, "ipEdit")->text(), QStringLiteral("198.18.1.1"));
    mode->setCurrentIndex(1);
    QVERIFY(edit(page, "ipEdit")->isEnabled());
    QCOMPARE(edit(page, "ipEdit")->text(), QStringLiteral("198.18.1.1"));
    page->setCurrentDevice(screen.model->deviceAt(1));
    QCOMPARE(mode->currentIndex(), 1);
    QCOMPARE(page->findChild<QLabel*>(QStringLiteral("deviceLabel"))->text(),
             QStringLiteral("Current Device Device 2-UID000002"));

    // DHCP for every row: one SetIp each, and the table keeps the old addresses.
    mode->setCurrentIndex(0);
    edit(page, "ipEdit")->setText(QStringLiteral("not checked in DHCP mode"));
    press(page, "setAllButton");
    const QList<ReceivedCommand> sent = m_segment.commands(QStringLiteral("SetIp"));
    QCOMPARE(destinations(sent), screen.macsOf({0, 1}));
    QCOMPARE(values(sent, "IpMode"), (QStringList{"dhcp", "dhcp"}));
    QCOMPARE(screen.column(DeviceTableModel::IpColumn), (QStringList{"198.18.1.1", "198.18.1.2"}));

    page->setCurrentDevice(nullptr);
    QCOMPARE(edit(page, "ipEdit")->text(), QString());
    QCOMPARE(mode->currentIndex(), 1);
}

void TestSettingPages::silentDeviceKeepsItsValues()
{
    Screen screen;
    QVERIFY(showDevices(screen, R"([{}, {"misbehave":{"silent":true}}, {}])", 0, 2));
    // The silent device answers no search either; it is put into the table by hand.
    screen.insertDevice(1, 2);
    auto* page = screen.addPage<NamePage>(m_sdk.get());
    page->setCurrentDevice(screen.model->deviceAt(0));
    edit(page, "nameEdit")->setText(QStringLiteral("Hall"));
    QElapsedTimer timer;
    timer.start();
    press(page, "setAllButton");
    // Sanity only: the silent device cost its reply timeout, and the job then closed by itself.
    QVERIFY(timer.elapsed() > 2000 && timer.elapsed() < 20000);
    QVERIFY(!QApplication::activeModalWidget());
    QCOMPARE(destinations(m_segment.commands(QStringLiteral("SetName"))), screen.macsOf({0, 1, 2}));
    QCOMPARE(screen.column(DeviceTableModel::NameColumn), (QStringList{"Hall", "Device 2", "Hall"}));
}

void TestSettingPages::closingTheJobStopsAtTheFirstDevice()
{
    Screen screen;
    QVERIFY(showDevices(screen, R"([{"misbehave":{"silent":true}}])", 2, 2));
    screen.insertDevice(0, 1);
    auto* page = screen.addPage<NamePage>(m_sdk.get());
    page->setCurrentDevice(screen.model->deviceAt(0));
    edit(page, "nameEdit")->setText(QStringLiteral("Hall"));
    bool closed = false;
    QTimer::singleShot(400, [&closed] {
        if (QWidget* job = QApplication::activeModalWidget()) {
            QTest::keyClick(job, Qt::Key_Escape);
            closed = true;
        }
    });
    press(page, "setAllButton");
    QVERIFY(closed);
    // The wait was cut short, not timed out.
    QCOMPARE(m_sdk->lastOutcome(), ProtocolClient::Outcome::Cancelled);
    QTest::qWait(500);
    QCOMPARE(destinations(m_segment.commands(QStringLiteral("SetName"))), screen.macsOf({0}));
    QCOMPARE(screen.column(DeviceTableModel::NameColumn), (QStringList{"Device 1", "Device 2", "Device 3"}));
}

void TestSettingPages::macSequences_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("devices");
    QTest::addColumn<QStringList>("sent");
    QTest::addColumn<QString>("toast");

    QTest::newRow("carry into the fifth byte")
        << "00:1A:2B:3C:4D:FE" << "setAllButton" << 3
        << QStringList{"00:1a:2b:3c:4d:fe", "00:1a:2b:3c:4d:ff", "00:1a:2b:3c:4e:00"} << "";
    QTest::newRow("after 9 comes a") << "00-11-22-33-44-59" << "setAllButton" << 2
                                     << QStringList{"00-11-22-33-44-59", "00-11-22-33-44-5a"} << "";
    QTest::newRow("wraps to zero") << "ff:ff:ff:ff:ff:ff" << "setAllButton" << 2
                                   << QStringList{"ff:ff:ff:ff:ff:ff", "00:00:00:00:00:00"} << "";
    QTest::newRow("no separators") << "001122334455" << "setAllButton" << 2
                                   << QStringList{"001122334455", "001122334456"} << "";
    QTest::newRow("separator places skipped") << "00112233ffff" << "setAllButton" << 2
                                              << QStringList{"00112233ffff", "00112234f000"} << "";
    QTest::newRow("Set keeps capitals") << "00:1A:2B:3C:4D:5E" << "setButton" << 2
                                        << QStringList{"00:1A:2B:3C:4D:5E"} << "";
    QTest::newRow("31 characters") << "00:11:22:33:44:55:66:77:88:99:a" << "setAllButton" << 2
                                   << QStringList{"00:11:22:33:44:55:66:77:88:99:a", "00:11:22:33:44:55:66:77:88:99:b"}
                                   << "";
    QTest::newRow("32 characters refused") << "00:11:22:33:44:55:66:77:88:99:aa" << "setAllButton" << 2
                                           << QStringList{} << "Please input device mac";
    QTest::newRow("empty") << "" << "setButton" << 1 << QStringList{} << "Please input device mac";
}

void TestSettingPages::macSequences()
{
    QFETCH(QString, typed);
    QFETCH(QString, button);
    QFETCH(int, devices);
    QFETCH(QStringList, sent);
    QFETCH(QString, toast);
    Screen screen;
    QVERIFY(showDevices(screen, "[]", devices, devices));
    QList<QString> before;
    for (DeviceRecord* d : screen.model->devices())
        before << d->mac();
    auto* page = screen.addPage<MacPage>(m_sdk.get());
    page->setCurrentDevice(screen.model->deviceAt(0));
    QCOMPARE(edit(page, "macEdit")->text(), before.first());
    edit(page, "macEdit")->setText(typed);
    press(page, qPrintable(button));

    const QList<ReceivedCommand> commands = m_segment.commands(QStringLiteral("SetMac"));
    QCOMPARE(values(commands, "mac"), sent);
    QCOMPARE(toastText(page), toast);
    for (int i = 0; i < sent.size(); ++i) {
        QCOMPARE(commands.at(i).destination, EmulatedSegment::deviceMac(i + 1));
        DeviceRecord* d = screen.model->deviceAt(i);
        // A device that accepted the address has it in text and for later
        // commands; one that refused it (a group address, no separators) keeps its old one.
        if (d->mac() == sent.at(i)) {
            QCOMPARE(macOfBytes(d), sent.at(i).toLower().replace(QLatin1Char('-'), QLatin1Char(':')));
        } else {
            QCOMPARE(d->mac(), before.at(i));
            QCOMPARE(macOfBytes(d), before.at(i));
        }
    }
    if (QTest::currentDataTag() == QLatin1String("carry into the fifth byte")) {
        QCOMPARE(screen.column(DeviceTableModel::MacColumn), sent);
        // Later commands reach the device at its new address.
        QCOMPARE(m_sdk->setName(screen.model->deviceAt(2), QStringLiteral("Moved")), 0);
        QCOMPARE(m_segment.commands(QStringLiteral("SetName")).last().destination, sent.at(2));
    }
}

void TestSettingPages::emptyNameIsRefused()
{
    Screen screen;
    QVERIFY(showDevices(screen, "[]", 2, 2));
    auto* page = screen.addPage<NamePage>(m_sdk.get());
    // No current device: neither button does anything.
    edit(page, "nameEdit")->setText(QStringLiteral("Hall"));
    press(page, "setButton");
    press(page, "setAllButton");
    QCOMPARE(toastText(page), QString());
    page->setCurrentDevice(screen.model->deviceAt(1));
    QCOMPARE(edit(page, "nameEdit")->text(), QStringLiteral("Device 2"));
    edit(page, "nameEdit")->clear();
    press(page, "setAllButton");
    QCOMPARE(toastText(page), QStringLiteral("Please input device name"));
    QVERIFY(m_segment.commands(QStringLiteral("SetName")).isEmpty());
}

QTEST_MAIN(TestSettingPages)
#include "tst_settingpages.moc"
