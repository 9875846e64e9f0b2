// The device table as the operator sees it: what each cell shows and allows,
// the check boxes, sorting, and what Ctrl+C puts on the clipboard.
#include "DeviceRecord.h"
#include "DeviceReply.h"
#include "DeviceTableModel.h"
#include "DeviceTableDelegate.h"
#include "CheckBoxHeaderView.h"
#include "CopyingTableView.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QIcon>
#include <QSignalSpy>
#include <QtTest>
#include <memory>

namespace {

struct DeviceValues
{
    QString uid, name, mac, ip, netmask, gateway, version;
};

DeviceRecord* makeDevice(const DeviceValues& v)
{
    DeviceRecord* d = DeviceRecord::create();
    d->setUid(v.uid);
    d->setName(v.name);
    d->setMac(v.mac);
    d->setIp(v.ip);
    d->setNetmask(v.netmask);
    d->setGateway(v.gateway);
    d->setVersion(v.version);
    return d;
}

// A shown table with its model; the model owns the records it is given.
struct Table
{
    Table()
    {
        view.resize(1200, 400);
        model = new DeviceTableModel(&view);
        view.show();
    }
    void fill(const QList<DeviceValues>& values)
    {
        QList<DeviceRecord*> devices;
        for (const DeviceValues& v : values)
            devices.append(makeDevice(v));
        model->setDevices(devices);
    }
    QStringList column(int c) const
    {
        QStringList out;
        for (int row = 0; row < model->rowCount(); ++row)
            out << model->index(row, c).data().toString();
        return out;
    }
    QRect checkBoxRect(int row)
    {
        QStyleOptionViewItem option;
        option.rect = view.visualRect(model->index(row, 0));
        return DeviceTableDelegate::checkBoxRect(option);
    }

    CopyingTableView view;
    DeviceTableModel* model;
};

const QList<DeviceValues> ThreeDevices = {
    {"UID-b", "gamma", "00:0c:00:00:00:01", "192.168.1.9", "255.255.255.0", "192.168.1.1", "2.1"},
    {"UID-a", "alpha", "00:0a:00:00:00:02", "192.168.1.10", "255.255.255.0", "192.168.1.1", "2.2"},
    {"UID-c", "Beta", "00:0b:00:00:00:03", "192.168.1.200", "255.255.0.0", "192.168.0.1", "2.3"},
};

} // namespace

class TestDeviceModel : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cells_data();
    void cells();
    void rowCheckBoxClicks_data();
    void rowCheckBoxClicks();
    void spaceTogglesRowCheckBox();
    void headerCheckBoxTicksEveryRow();
    void editedNameOnlyRaisesModifyData();
    void sortOrders_data();
    void sortOrders();
    void copySelection_data();
    void copySelection();
    void claimedMacIsShown();
    void recordsAreReleasedByTheModel();
};

void TestDeviceModel::initTestCase()
{
    Q_INIT_RESOURCE(resources);
}

void TestDeviceModel::cells_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("header");
    QTest::addColumn<QVariant>("display");
    QTest::addColumn<int>("flags");

    const int sel = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    const int edit = sel | Qt::ItemIsEditable;
    const int plain = Qt::ItemIsEnabled;
    QTest::newRow("0 check") << 0 << QString() << QVariant() << plain;
    QTest::newRow("1 number") << 1 << "No." << QVariant("2") << sel;
    QTest::newRow("2 play") << 2 << "" << QVariant() << plain;
    QTest::newRow("3 uid") << 3 << "UID" << QVariant("UID-a") << sel;
    QTest::newRow("4 name") << 4 << "Name" << QVariant("alpha") << edit;
    QTest::newRow("5 mac") << 5 << "MAC" << QVariant("00:0a:00:00:00:02") << edit;
    QTest::newRow("6 ip") << 6 << "IP address" << QVariant("192.168.1.10") << sel;
    QTest::newRow("7 netmask") << 7 << "Netmask" << QVariant("255.255.255.0") << sel;
    QTest::newRow("8 gateway") << 8 << "Gateway" << QVariant("192.168.1.1") << sel;
    QTest::newRow("9 sip") << 9 << "Sip Settings" << QVariant("1011@pbx") << sel;
    QTest::newRow("10 rtp") << 10 << "Rtp Settings" << QVariant("239.0.0.1:5004") << sel;
    QTest::newRow("11 version") << 11 << "Version" << QVariant("2.2") << sel;
    QTest::newRow("12 volume") << 12 << "Volume" << QVariant("7,3") << sel;
    QTest::newRow("13 system") << 13 << "System" << QVariant("admin") << sel;
}

void TestDeviceModel::cells()
{
    QFETCH(int, column);
    QFETCH(QString, header);
    QFETCH(QVariant, display);
    QFETCH(int, flags);

    Table t;
    t.fill(ThreeDevices);
    DeviceRecord* d = t.model->deviceAt(1);
    d->setValue(QStringLiteral("sipInfo"), QStringLiteral("1011@pbx"));
    d->setValue(QStringLiteral("rtpInfo"), QStringLiteral("239.0.0.1:5004"));
    d->setIntValue(QStringLiteral("micVolume"), 7);
    d->setIntValue(QStringLiteral("outVolume"), 3);
    d->setAccount(QStringLiteral("admin"));

    const QModelIndex index = t.model->index(1, column);
    QCOMPARE(t.model->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString(), header);
    QCOMPARE(t.model->headerData(column, Qt::Horizontal, Qt::DisplayRole).isValid(), column != 0);
    QVERIFY(!t.model->headerData(1, Qt::Vertical, Qt::DisplayRole).isValid());
    QCOMPARE(index.data(Qt::DisplayRole), display);
    QCOMPARE(index.data(Qt::EditRole), display);
    QCOMPARE(int(t.model->flags(index)), flags);
    // Only column 2 carries a picture, and only column 0 a check flag.
    QCOMPARE(index.data(Qt::DecorationRole).canConvert<QIcon>() &&
                 !index.data(Qt::DecorationRole).value<QIcon>().isNull(),
             column == 2);
    QCOMPARE(index.data(Qt::UserRole).isValid(), column == 0);
}

void TestDeviceModel::rowCheckBoxClicks_data()
{
    QTest::addColumn<bool>("inside");
    QTest::newRow("in the box") << true;
    QTest::newRow("at the cell edge") << false;
}

void TestDeviceModel::rowCheckBoxClicks()
{
    QFETCH(bool, inside);
    Table t;
    t.fill(ThreeDevices);
    QVERIFY(QTest::qWaitForWindowExposed(&t.view));
    const QRect cell = t.view.visualRect(t.model->index(1, 0));
    const QPoint at = inside ? t.checkBoxRect(1).center() : QPoint(cell.left() + 1, cell.top() + 1);
    QVERIFY(inside || !t.checkBoxRect(1).contains(at));
    QTest::mouseClick(t.view.viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(t.model->deviceAt(1)->isChecked(), inside);
    QVERIFY(!t.model->deviceAt(0)->isChecked());
    QVERIFY(!t.model->deviceAt(2)->isChecked());
    if (inside) {
        QTest::mouseClick(t.view.viewport(), Qt::LeftButton, {}, at);
        QVERIFY(!t.model->deviceAt(1)->isChecked());
    }
}

void TestDeviceModel::spaceTogglesRowCheckBox()
{
    Table t;
    t.fill(ThreeDevices);
    t.view.setFocus();
    t.view.setCurrentIndex(t.model->index(2, 0));
    QTest::keyClick(&t.view, Qt::Key_Space);
    QVERIFY(t.model->deviceAt(2)->isChecked());
    QTest::keyClick(&t.view, Qt::Key_Space);
    QVERIFY(!t.model->deviceAt(2)->isChecked());
}

void TestDeviceModel::headerCheckBoxTicksEveryRow()
{
    Table t;
    t.fill(ThreeDevices);
    QCheckBox* box = t.model->header()->checkBox();
    QVERIFY(box->isVisible());

    QTest::mouseClick(box, Qt::LeftButton);
    QVERIFY(box->isChecked());
    for (int row = 0; row < 3; ++row)
        QVERIFY(t.model->deviceAt(row)->isChecked());
    QCOMPARE(t.model->checkedDevices().size(), 3);

    // Unticking one row leaves the header box as it was.
    t.model->setData(t.model->index(1, 0), false, Qt::UserRole);
    QVERIFY(box->isChecked());
    QCOMPARE(t.model->checkedDevices(), (QList<DeviceRecord*>{t.model->deviceAt(0), t.model->deviceAt(2)}));

    QTest::mouseClick(box, Qt::LeftButton);
    QVERIFY(t.model->checkedDevices().isEmpty());
}

void TestDeviceModel::editedNameOnlyRaisesModifyData()
{
    Table t;
    t.fill(ThreeDevices);
    QSignalSpy spy(t.model, &DeviceTableModel::modifyData);
    for (int column : {DeviceTableModel::NameColumn, DeviceTableModel::MacColumn}) {
        QVERIFY(!t.model->setData(t.model->index(0, column), QStringLiteral("Hall"), Qt::EditRole));
        QCOMPARE(spy.last().at(0).value<QModelIndex>(), t.model->index(0, column));
        QCOMPARE(spy.last().at(1).value<QVariant>().toString(), QStringLiteral("Hall"));
        QCOMPARE(spy.last().at(2).toInt(), int(Qt::EditRole));
    }
    QCOMPARE(spy.count(), 2);
    // The record changes only when the device has accepted the change.
    QCOMPARE(t.model->deviceAt(0)->name(), QStringLiteral("gamma"));
    QVERIFY(!t.model->setData(t.model->index(0, DeviceTableModel::IpColumn), QStringLiteral("1.2.3.4")));
    QCOMPARE(spy.count(), 2);
}

void TestDeviceModel::sortOrders_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("order");
    QTest::addColumn<QStringList>("names");
    const int asc = Qt::AscendingOrder;
    const int desc = Qt::DescendingOrder;
    QTest::newRow("name ignores case") << 4 << asc << QStringList{"alpha", "Beta", "gamma"};
    QTest::newRow("name descending") << 4 << desc << QStringList{"gamma", "Beta", "alpha"};
    QTest::newRow("uid") << 3 << asc << QStringList{"alpha", "gamma", "Beta"};
    QTest::newRow("mac") << 5 << asc << QStringList{"alpha", "Beta", "gamma"};
    // By value: 192.168.1.9 < 192.168.1.10 < 192.168.1.200.
    QTest::newRow("ip by value") << 6 << asc << QStringList{"gamma", "alpha", "Beta"};
    QTest::newRow("ip descending") << 6 << desc << QStringList{"Beta", "alpha", "gamma"};
    QTest::newRow("netmask ignored") << 7 << asc << QStringList{"gamma", "alpha", "Beta"};
    QTest::newRow("number ignored") << 1 << desc << QStringList{"gamma", "alpha", "Beta"};
}

void TestDeviceModel::sortOrders()
{
    QFETCH(int, column);
    QFETCH(int, order);
    QFETCH(QStringList, names);
    Table t;
    t.view.setSortingEnabled(true);
    t.fill(ThreeDevices);
    t.view.sortByColumn(column, Qt::SortOrder(order));
    QCOMPARE(t.column(DeviceTableModel::NameColumn), names);
    // Row numbers follow the position, not the record.
    QCOMPARE(t.column(DeviceTableModel::NumberColumn), (QStringList{"1", "2", "3"}));
    QCOMPARE(t.model->deviceAt(0)->name(), names.first());
    // The header's arrow shows only over a column that sorted.
    const bool sortable = column >= 3 && column <= 6;
    QCOMPARE(t.model->header()->sortIndicatorSection(), sortable ? column : -1);
}

void TestDeviceModel::copySelection_data()
{
    QTest::addColumn<QList<QPoint>>("cells"); // (column, row)
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("text");
    const int ctrl = Qt::ControlModifier;
    QTest::newRow("two rows with a gap")
        << QList<QPoint>{{6, 0}, {4, 1}, {4, 0}} << ctrl << QStringLiteral("gamma\t\t192.168.1.9\nalpha");
    QTest::newRow("one cell") << QList<QPoint>{{3, 2}} << ctrl << QStringLiteral("UID-c");
    QTest::newRow("second row starts further right")
        << QList<QPoint>{{4, 0}, {6, 1}} << ctrl << QStringLiteral("gamma\n\t\t192.168.1.10");
    QTest::newRow("adjacent") << QList<QPoint>{{5, 1}, {4, 1}} << ctrl << QStringLiteral("alpha\t00:0a:00:00:00:02");
    QTest::newRow("nothing selected") << QList<QPoint>{} << ctrl << QStringLiteral("before");
    QTest::newRow("ctrl+shift+c") << QList<QPoint>{{4, 0}} << (ctrl | int(Qt::ShiftModifier)) << QStringLiteral("before");
}

void TestDeviceModel::copySelection()
{
    QFETCH(QList<QPoint>, cells);
    QFETCH(int, modifiers);
    QFETCH(QString, text);
    Table t;
    t.fill(ThreeDevices);
    QApplication::clipboard()->setText(QStringLiteral("before"));
    for (const QPoint& cell : cells)
        t.view.selectionModel()->select(t.model->index(cell.y(), cell.x()), QItemSelectionModel::Select);
    QTest::keyClick(&t.view, Qt::Key_C, Qt::KeyboardModifiers(modifiers));
    QCOMPARE(QApplication::clipboard()->text(), text);
    // A cell without text still holds its place.
    QCOMPARE(CopyingTableView::copyText({t.model->index(0, 2), t.model->index(0, 4)}), QStringLiteral("!\t\tgamma"));
}

// A host answering the search in another device's name is shown as what it
// is, under the MAC it sent from; editing starts from that MAC.
void TestDeviceModel::claimedMacIsShown()
{
    Table t;
    const uint8_t mac[6] = {0x02, 0, 0, 0, 0, 0x66};
    const uint8_t ip[4] = {198, 18, 0, 66};
    DeviceReply reply(mac, ip, R"({"id":0,"method":"search","name":"F","mac":"00:0a:00:00:00:02"})");
    t.model->setDevices({DeviceRecord::makeDevice(&reply), makeDevice(ThreeDevices.at(1))});
    const QModelIndex forged = t.model->index(0, DeviceTableModel::MacColumn);
    QCOMPARE(forged.data().toString(), QStringLiteral("02:00:00:00:00:66 (reply names 00:0a:00:00:00:02)"));
    QVERIFY(forged.data(Qt::ToolTipRole).toString().contains(QStringLiteral("00:0a:00:00:00:02")));
    QCOMPARE(forged.data(Qt::EditRole).toString(), QStringLiteral("02:00:00:00:00:66"));
    const QModelIndex real = t.model->index(1, DeviceTableModel::MacColumn);
    QCOMPARE(real.data().toString(), QStringLiteral("00:0a:00:00:00:02"));
    QVERIFY(!real.data(Qt::ToolTipRole).isValid());
}

void TestDeviceModel::recordsAreReleasedByTheModel()
{
    Table t;
    DeviceRecord* kept = makeDevice(ThreeDevices.first());
    kept->retain();
    t.model->setDevices({kept});
    QCOMPARE(kept->references(), 2u);
    QSignalSpy reset(t.model, &QAbstractItemModel::modelReset);
    t.model->clear();
    t.model->refresh();
    QCOMPARE(kept->references(), 1u);
    QCOMPARE(t.model->rowCount(), 0);
    // The view must not keep asking for rows that are gone.
    QVERIFY(reset.count() >= 1);
    QCOMPARE(t.view.model()->rowCount(), 0);
    kept->release();
}

QTEST_MAIN(TestDeviceModel)
#include "tst_devicemodel.moc"
