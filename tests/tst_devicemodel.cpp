// The device table as the operator sees it: what each cell shows and allows,
// the check boxes, sorting, and what Ctrl+C puts on the clipboard.
#include "CheckBoxHeaderView.h"
#include "DeviceReply.h"
#include "PageScreen.h"

#include <QCheckBox>
#include <QClipboard>
#include <QIcon>

using namespace orvane;

namespace {

// uid, name, mac, ip, netmask, gateway, version
using DeviceValues = QStringList;
const QList<DeviceValues> ThreeDevices = {
    {"UID-b", "gamma", "00:0c:00:00:00:01", "192.168.1.9", "255.255.255.0", "192.168.1.1", "2.1"},
    {"UID-a", "alpha", "00:0a:00:00:00:02", "192.168.1.10", "255.255.255.0", "192.168.1.1", "2.2"},
    {"UID-c", "Beta", "00:0b:00:00:00:03", "192.168.1.200", "255.255.0.0", "192.168.0.1", "2.3"},
};

DeviceRecord* makeDevice(const DeviceValues& v)
{
    DeviceRecord* d = DeviceRecord::create();
    const DeviceRecord::Field fields[] = {DeviceRecord::Uid,     DeviceRecord::Name,    DeviceRecord::Mac,
                                          DeviceRecord::Ip,      DeviceRecord::Netmask, DeviceRecord::Gateway,
                                          DeviceRecord::Version};
    for (int i = 0; i < int(std::size(fields)); ++i)
        d->setText(fields[i], v.at(i));
    return d;
}

// The shared screen with the three records in its table.
struct Table : Screen
{
    Table() : Screen(0) { setDevices(); }
    void setDevices()
    {
        model->setDevices(
            {DeviceRef::adopt(makeDevice(ThreeDevices.at(0))), DeviceRef::adopt(makeDevice(ThreeDevices.at(1))),
             DeviceRef::adopt(makeDevice(ThreeDevices.at(2)))});
    }
};

} // namespace

class TestDeviceModel : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { Q_INIT_RESOURCE(resources); }

    // What row 1 shows; only name and MAC are editable, only the play column has a picture.
    void cells()
    {
        Table t;
        DeviceRecord* d = t.model->deviceAt(1);
        d->setValue(QStringLiteral("sipInfo"), QStringLiteral("1011@pbx"));
        d->setValue(QStringLiteral("rtpInfo"), QStringLiteral("239.0.0.1:5004"));
        d->setIntValue(QStringLiteral("micVolume"), 7);
        d->setIntValue(QStringLiteral("outVolume"), 3);
        d->setAccount(QStringLiteral("admin"));
        QStringList shown, editable;
        for (int c = 0; c < t.model->columnCount(); ++c) {
            const QModelIndex index = t.model->index(1, c);
            shown << index.data().toString();
            if (t.model->flags(index) & Qt::ItemIsEditable)
                editable << QString::number(c);
            QCOMPARE(!index.data(Qt::DecorationRole).value<QIcon>().isNull(), c == DeviceTableModel::PlayColumn);
            QCOMPARE(index.data(Qt::UserRole).isValid(), c == 0);
        }
        QCOMPARE(shown, (QStringList{"", "2", "", "UID-a", "alpha", "00:0a:00:00:00:02", "192.168.1.10",
                                     "255.255.255.0", "192.168.1.1", "1011@pbx", "239.0.0.1:5004", "2.2",
                                     "7,3", "admin"}));
        QCOMPARE(editable, (QStringList{"4", "5"}));
    }

    // Box click, Space and the header box tick; a click beside the box does not; unticking one row leaves
    // the header box alone.
    void checkBoxes()
    {
        Table t;
        QVERIFY(QTest::qWaitForWindowExposed(t.table));
        const QRect cell = t.table->visualRect(t.model->index(1, 0));
        QTest::mouseClick(t.table->viewport(), Qt::LeftButton, {}, QPoint(cell.left() + 1, cell.top() + 1));
        QVERIFY(t.model->checkedDevices().isEmpty());
        QTest::mouseClick(t.table->viewport(), Qt::LeftButton, {}, t.checkBoxRect(1).center());
        QCOMPARE(t.model->checkedDevices(), QList<DeviceRecord*>{t.model->deviceAt(1)});
        t.table->setFocus();
        t.table->setCurrentIndex(t.model->index(2, 0));
        QTest::keyClick(t.table, Qt::Key_Space);
        QCOMPARE(t.model->checkedDevices().size(), 2);
        QTest::keyClick(t.table, Qt::Key_Space);
        QCOMPARE(t.model->checkedDevices(), QList<DeviceRecord*>{t.model->deviceAt(1)});
        QCheckBox* box = t.model->header()->checkBox();
        QVERIFY(box->isVisible());
        QTest::mouseClick(box, Qt::LeftButton);
        QCOMPARE(t.model->checkedDevices().size(), 3);
        t.model->setData(t.model->index(1, 0), false, Qt::UserRole);
        QVERIFY(box->isChecked());
        QCOMPARE(t.model->checkedDevices(), (QList<DeviceRecord*>{t.model->deviceAt(0), t.model->deviceAt(2)}));
        QTest::mouseClick(box, Qt::LeftButton);
        QVERIFY(t.model->checkedDevices().isEmpty());
    }

    void sortOrders_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("order");
        QTest::addColumn<QStringList>("names");
        const int asc = Qt::AscendingOrder, desc = Qt::DescendingOrder;
        QTest::newRow("name ignores case") << 4 << asc << QStringList{"alpha", "Beta", "gamma"};
        // By value: 192.168.1.9 < 192.168.1.10 < 192.168.1.200.
        QTest::newRow("ip by value") << 6 << asc << QStringList{"gamma", "alpha", "Beta"};
        QTest::newRow("netmask ignored") << 7 << desc << QStringList{"gamma", "alpha", "Beta"};
    }

    void sortOrders()
    {
        QFETCH(int, column);
        QFETCH(int, order);
        QFETCH(QStringList, names);
        Table t;
        t.table->setSortingEnabled(true);
        t.setDevices();
        t.table->sortByColumn(column, Qt::SortOrder(order));
        QCOMPARE(t.column(DeviceTableModel::NameColumn), names);
        // Row numbers follow the position, not the record.
        QCOMPARE(t.column(DeviceTableModel::NumberColumn), (QStringList{"1", "2", "3"}));
        // The header's arrow shows only over a column that sorted.
        const bool sortable = column >= 3 && column <= 6;
        QCOMPARE(t.model->header()->sortIndicatorSection(), sortable ? column : -1);
    }

    void copySelection_data()
    {
        QTest::addColumn<QList<QPoint>>("cells"); // (column, row)
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("text");
        const int ctrl = Qt::ControlModifier;
        QTest::newRow("two rows with a gap")
            << QList<QPoint>{{6, 0}, {4, 1}, {4, 0}} << ctrl << QStringLiteral("gamma\t\t192.168.1.9\nalpha");
        QTest::newRow("second row starts further right")
            << QList<QPoint>{{4, 0}, {6, 1}} << ctrl << QStringLiteral("gamma\n\t\t192.168.1.10");
        QTest::newRow("nothing selected") << QList<QPoint>{} << ctrl << QStringLiteral("before");
        QTest::newRow("ctrl+shift+c")
            << QList<QPoint>{{4, 0}} << (ctrl | int(Qt::ShiftModifier)) << QStringLiteral("before");
    }

    void copySelection()
    {
        QFETCH(QList<QPoint>, cells);
        QFETCH(int, modifiers);
        QFETCH(QString, text);
        Table t;
        QApplication::clipboard()->setText(QStringLiteral("before"));
        for (const QPoint& cell : cells)
            t.table->selectionModel()->select(t.model->index(cell.y(), cell.x()), QItemSelectionModel::Select);
        QTest::keyClick(t.table, Qt::Key_C, Qt::KeyboardModifiers(modifiers));
        QCOMPARE(QApplication::clipboard()->text(), text);
        // A cell without text still holds its place.
        QCOMPARE(CopyingTableView::copyText({t.model->index(0, 2), t.model->index(0, 4)}), QString("!\t\tgamma"));
    }

    // A host answering the search in another device's name is shown as what it
    // is, under the MAC it sent from; editing starts from that MAC.
    void claimedMacIsShown()
    {
        Table t;
        const uint8_t mac[6] = {0x02, 0, 0, 0, 0, 0x66};
        const uint8_t ip[4] = {198, 18, 0, 66};
        DeviceReply reply(mac, ip, R"({"id":0,"method":"search","name":"F","mac":"00:0a:00:00:00:02"})");
        t.model->setDevices(
            {DeviceRef::adopt(DeviceRecord::makeDevice(&reply)), DeviceRef::adopt(makeDevice(ThreeDevices.at(1)))});
        const QModelIndex forged = t.model->index(0, DeviceTableModel::MacColumn);
        QCOMPARE(forged.data().toString(), QStringLiteral("02:00:00:00:00:66 (reply names 00:0a:00:00:00:02)"));
        QVERIFY(forged.data(Qt::ToolTipRole).toString().contains(QStringLiteral("00:0a:00:00:00:02")));
        QCOMPARE(forged.data(Qt::EditRole).toString(), QStringLiteral("02:00:00:00:00:66"));
        const QModelIndex real = t.model->index(1, DeviceTableModel::MacColumn);
        QCOMPARE(real.data().toString(), QStringLiteral("00:0a:00:00:00:02"));
        QVERIFY(!real.data(Qt::ToolTipRole).isValid());
    }

    void recordsAreReleasedByTheModel()
    {
        Table t;
        DeviceRecord* kept = makeDevice(ThreeDevices.first());
        t.model->setDevices({DeviceRef(kept)});
        QCOMPARE(kept->references(), 2u);
        t.model->clear();
        t.model->refresh();
        QCOMPARE(kept->references(), 1u);
        // The view must not keep asking for rows that are gone.
        QCOMPARE(t.table->model()->rowCount(), 0);
        kept->release();
    }
};

QTEST_MAIN(TestDeviceModel)
#include "tst_devicemodel.moc"
