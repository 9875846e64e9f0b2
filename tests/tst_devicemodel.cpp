// The device table as the operator sees it: what each cell shows and allows,
// the check boxes, sorting, and what Ctrl+C puts on the clipboard.
#include "DeviceRecord.h"
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
    void emptyModel();
    void cells_data();
    void cells();
    void everyCellCentredAndNoOtherRoles();
    void checkFlagLivesInUserRole_data();
    void checkFlagLivesInUserRole();
    void rowCheckBoxClicks_data();
    void rowCheckBoxClicks();
    void spaceTogglesRowCheckBox();
    void headerCheckBoxTicksEveryRow();
    void editedNameOnlyRaisesModifyData();
    void sortOrders_data();
    void sortOrders();
    void copySelection_data();
    void copySelection();
    void cellWithoutTextCopiesAsBang();
    void ctrlShiftCCopiesNothing();
    void recordsAreReleasedByTheModel();
};

void TestDeviceModel::initTestCase()
{
    Q_INIT_RESOURCE(resources);
}

void TestDeviceModel::emptyModel()
{
    Table t;
    QCOMPARE(t.model->rowCount(), 0);
    QCOMPARE(t.model->columnCount(), 14);
    t.view.sortByColumn(DeviceTableModel::NameColumn, Qt::AscendingOrder);
    QCOMPARE(t.model->rowCount(), 0);
    QVERIFY(!t.model->deviceAt(0));
    QVERIFY(!t.model->deviceAt(-1));
    QCOMPARE(t.model->flags(QModelIndex()), Qt::NoItemFlags);
}

void TestDeviceModel::cells_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("header");
    QTest::addColumn<QVariant>("display");
    QTest::addColumn<int>("flags");
    QTest::addColumn<int>("width");

    const int sel = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    const int edit = sel | Qt::ItemIsEditable;
    const int plain = Qt::ItemIsEnabled;
    QTest::newRow("0 check") << 0 << QString() << QVariant() << plain << 30;
    QTest::newRow("1 number") << 1 << "No." << QVariant("2") << sel << 40;
    QTest::newRow("2 play") << 2 << "" << QVariant() << plain << 30;
    QTest::newRow("3 uid") << 3 << "UID" << QVariant("UID-a") << sel << 200;
    QTest::newRow("4 name") << 4 << "Name" << QVariant("alpha") << edit << 130;
    QTest::newRow("5 mac") << 5 << "MAC" << QVariant("00:0a:00:00:00:02") << edit << 200;
    QTest::newRow("6 ip") << 6 << "IP address" << QVariant("192.168.1.10") << sel << 150;
    QTest::newRow("7 netmask") << 7 << "Netmask" << QVariant("255.255.255.0") << sel << 150;
    QTest::newRow("8 gateway") << 8 << "Gateway" << QVariant("192.168.1.1") << sel << 150;
    QTest::newRow("9 sip") << 9 << "Sip Settings" << QVariant("1011@pbx") << sel << 150;
    QTest::newRow("10 rtp") << 10 << "Rtp Settings" << QVariant("239.0.0.1:5004") << sel << 150;
    QTest::newRow("11 version") << 11 << "Version" << QVariant("2.2") << sel << 150;
    QTest::newRow("12 volume") << 12 << "Volume" << QVariant("7,3") << sel << 80;
    QTest::newRow("13 system") << 13 << "System" << QVariant("admin") << sel << 150;
}

void TestDeviceModel::cells()
{
    QFETCH(int, column);
    QFETCH(QString, header);
    QFETCH(QVariant, display);
    QFETCH(int, flags);
    QFETCH(int, width);

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
    QCOMPARE(t.view.columnWidth(column), width);
    // Only column 2 carries a picture, and only column 0 a check flag.
    QCOMPARE(index.data(Qt::DecorationRole).canConvert<QIcon>() &&
                 !index.data(Qt::DecorationRole).value<QIcon>().isNull(),
             column == 2);
    QCOMPARE(index.data(Qt::UserRole).isValid(), column == 0);
}

void TestDeviceModel::everyCellCentredAndNoOtherRoles()
{
    Table t;
    t.fill(ThreeDevices);
    for (int column = 0; column < 14; ++column) {
        const QModelIndex index = t.model->index(2, column);
        QCOMPARE(index.data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignCenter));
        QVERIFY(!index.data(Qt::SizeHintRole).isValid());
        QVERIFY(!index.data(Qt::ToolTipRole).isValid());
        // A check state here would make the view draw a second box.
        QVERIFY(!index.data(Qt::CheckStateRole).isValid());
    }
    // A record without volumes shows only the separator.
    QCOMPARE(t.model->index(0, DeviceTableModel::VolumeColumn).data().toString(), QStringLiteral(","));
}

void TestDeviceModel::checkFlagLivesInUserRole_data()
{
    QTest::addColumn<int>("role");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("checked");
    QTest::newRow("user role true") << int(Qt::UserRole) << QVariant(true) << true;
    QTest::newRow("user role false") << int(Qt::UserRole) << QVariant(false) << false;
    QTest::newRow("check state 2") << int(Qt::CheckStateRole) << QVariant(int(Qt::Checked)) << true;
    QTest::newRow("check state 0") << int(Qt::CheckStateRole) << QVariant(int(Qt::Unchecked)) << false;
}

void TestDeviceModel::checkFlagLivesInUserRole()
{
    QFETCH(int, role);
    QFETCH(QVariant, value);
    QFETCH(bool, checked);
    Table t;
    t.fill(ThreeDevices);
    t.model->deviceAt(0)->setChecked(!checked);
    QVERIFY(t.model->setData(t.model->index(0, 0), value, role));
    QCOMPARE(t.model->deviceAt(0)->isChecked(), checked);
    QCOMPARE(t.model->index(0, 0).data(Qt::UserRole).toBool(), checked);
    // Another role changes nothing.
    QVERIFY(t.model->setData(t.model->index(0, 0), !checked, Qt::DisplayRole));
    QCOMPARE(t.model->deviceAt(0)->isChecked(), checked);
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
    // The box sits over section 0.
    const int section0 = t.model->header()->sectionViewportPosition(0);
    QVERIFY(box->x() >= section0 && box->x() + box->width() <= section0 + 30 + 2);

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
    QTest::addColumn<QString>("text");
    QTest::newRow("two rows with a gap")
        << QList<QPoint>{{6, 0}, {4, 1}, {4, 0}} << QStringLiteral("gamma\t\t192.168.1.9\nalpha");
    QTest::newRow("one cell") << QList<QPoint>{{3, 2}} << QStringLiteral("UID-c");
    QTest::newRow("second row starts further right")
        << QList<QPoint>{{4, 0}, {6, 1}} << QStringLiteral("gamma\n\t\t192.168.1.10");
    QTest::newRow("adjacent") << QList<QPoint>{{5, 1}, {4, 1}} << QStringLiteral("alpha\t00:0a:00:00:00:02");
}

void TestDeviceModel::copySelection()
{
    QFETCH(QList<QPoint>, cells);
    QFETCH(QString, text);
    Table t;
    t.fill(ThreeDevices);
    QApplication::clipboard()->setText(QStringLiteral("before"));
    for (const QPoint& cell : cells)
        t.view.selectionModel()->select(t.model->index(cell.y(), cell.x()), QItemSelectionModel::Select);
    QTest::keyClick(&t.view, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), text);
}

void TestDeviceModel::cellWithoutTextCopiesAsBang()
{
    Table t;
    t.fill(ThreeDevices);
    QCOMPARE(CopyingTableView::copyText({t.model->index(0, 0)}), QStringLiteral("!"));
    QCOMPARE(CopyingTableView::copyText({t.model->index(0, 2), t.model->index(0, 4)}), QStringLiteral("!\t\tgamma"));
    QCOMPARE(CopyingTableView::copyText({}), QString());
    // Nothing selected: the clipboard is left alone.
    QApplication::clipboard()->setText(QStringLiteral("kept"));
    QTest::keyClick(&t.view, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("kept"));
}

void TestDeviceModel::ctrlShiftCCopiesNothing()
{
    Table t;
    t.fill(ThreeDevices);
    QApplication::clipboard()->setText(QStringLiteral("before"));
    t.view.selectionModel()->select(t.model->index(0, 4), QItemSelectionModel::Select);
    QTest::keyClick(&t.view, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("before"));
    QTest::keyClick(&t.view, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("gamma"));
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
