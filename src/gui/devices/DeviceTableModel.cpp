#include "DeviceTableModel.h"

#include "DeviceRecord.h"
#include "DeviceTableDelegate.h"
#include "CheckBoxHeaderView.h"
#include "Language.h"
#include "CopyingTableView.h"

#include <QCheckBox>
#include <QDebug>
#include <QIcon>
#include <algorithm>

namespace orvane {

namespace {

struct ColumnInfo
{
    const char* header; // English text, translated when shown; none for the check box
    int width;
};

const ColumnInfo Columns[DeviceTableModel::ColumnCount] = {
    // Names are what the operator reads first; "Lobby East Entrance" fits whole.
    {nullptr, 30},        {"No.", 40},          {"", 30},         {"UID", 130},      {"Name", 220},
    {"MAC", 200},         {"IP address", 150},  {"Netmask", 150}, {"Gateway", 150},  {"Sip Settings", 150},
    {"Rtp Settings", 150}, {"Version", 150},    {"Volume", 80},   {"System", 150},
};

const char PlayIcon[] = ":/resources/play.png";

} // namespace

DeviceTableModel::DeviceTableModel(CopyingTableView* view)
    : QAbstractTableModel(view), m_delegate(new DeviceTableDelegate(this)),
      m_header(new CheckBoxHeaderView(view)), m_view(view)
{
    view->setModel(this);
    view->setItemDelegate(m_delegate);
    view->setHorizontalHeader(m_header);
    // The style's default minimum would widen the two 30-pixel icon columns.
    m_header->setMinimumSectionSize(20);
    for (int column = 0; column < ColumnCount; ++column)
        view->setColumnWidth(column, columnWidth(column));
    connect(m_header, &QHeaderView::sectionResized, m_header, &CheckBoxHeaderView::onSectionResized);
    connect(m_header->checkBox(), &QCheckBox::clicked, this, &DeviceTableModel::allCheckBoxChecked);
    // An arrow over a column that does not sort would claim an order the table
    // does not have, and over column 0 it would sit under the check box.
    m_header->setSortIndicator(-1, Qt::AscendingOrder);
    connect(m_header, &QHeaderView::sortIndicatorChanged, this, [this](int column, Qt::SortOrder) {
        if (column >= 0 && !isSortable(column))
            m_header->setSortIndicator(-1, Qt::AscendingOrder);
    });
}

bool DeviceTableModel::isSortable(int column)
{
    return column == UidColumn || column == NameColumn || column == MacColumn || column == IpColumn;
}

DeviceTableModel::~DeviceTableModel() = default;

int DeviceTableModel::columnWidth(int column)
{
    return column >= 0 && column < ColumnCount ? Columns[column].width : 0;
}

int DeviceTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_devices.size();
}

int DeviceTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(ColumnCount);
}

QVariant DeviceTableModel::data(const QModelIndex& index, int role) const
{
    const DeviceRecord* device = index.isValid() ? deviceAt(index.row()) : nullptr;
    if (!device)
        return QVariant();
    const int column = index.column();
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignCenter);
    if (role == Qt::UserRole)
        return column == CheckColumn ? QVariant(device->isChecked()) : QVariant();
    if (role == Qt::DecorationRole)
        return column == PlayColumn ? QVariant(QIcon(QString::fromLatin1(PlayIcon))) : QVariant();
    // A reply naming a MAC other than the one it came from is listed under its
    // sender; the operator sees what it claimed instead of a silent substitution.
    if (column == MacColumn && (role == Qt::DisplayRole || role == Qt::ToolTipRole) &&
        device->hasForeignMacClaim()) {
        const QString claimed = device->claimedMac();
        if (role == Qt::ToolTipRole)
            return QStringLiteral("This device answered from %1 but its reply names %2. Commands go to %1.")
                .arg(device->mac(), claimed);
        return QStringLiteral("%1 (reply names %2)").arg(device->mac(), claimed);
    }
    if (column == MacColumn && (role == Qt::DisplayRole || role == Qt::ToolTipRole) && device->sharesMac()) {
        if (role == Qt::ToolTipRole)
            return QStringLiteral("Two devices answered from %1. A command to it reaches both: give one of them "
                                  "another MAC.")
                .arg(device->mac());
        return QStringLiteral("%1 (two devices)").arg(device->mac());
    }
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return QVariant();
    switch (column) {
    case NumberColumn:
        return QString::number(index.row() + 1);
    case UidColumn:
        return device->uid();
    case NameColumn:
        return device->name();
    case MacColumn:
        return device->mac();
    case IpColumn:
        return device->ip();
    case NetmaskColumn:
        return device->netmask();
    case GatewayColumn:
        return device->gateway();
    case SipColumn:
        return device->value(QStringLiteral("sipInfo"));
    case RtpColumn:
        return device->value(QStringLiteral("rtpInfo"));
    case VersionColumn:
        return device->version();
    case VolumeColumn:
        return QStringLiteral("%1,%2").arg(device->value(QStringLiteral("micVolume")),
                                           device->value(QStringLiteral("outVolume")));
    case SystemColumn:
        return device->account();
    default:
        return QVariant();
    }
}

QVariant DeviceTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount ||
        !Columns[section].header)
        return QVariant();
    return translated(Columns[section].header);
}

Qt::ItemFlags DeviceTableModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    switch (index.column()) {
    case CheckColumn:
    case PlayColumn:
        return Qt::ItemIsEnabled;
    case NameColumn:
    case MacColumn:
        return Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsEnabled;
    default:
        return Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    }
}

bool DeviceTableModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    qDebug() << "model set data " << index << value << role;
    if (!index.isValid())
        return false;
    switch (index.column()) {
    case CheckColumn: {
        DeviceRecord* device = deviceAt(index.row());
        if (device && (role == Qt::UserRole || role == Qt::CheckStateRole)) {
            device->setChecked(role == Qt::UserRole ? value == QVariant(true) : value == QVariant(int(Qt::Checked)));
            // A click on the box changes no selection, so nothing else would repaint the cell.
            emit dataChanged(index, index, {Qt::UserRole});
        }
        return true;
    }
    case NameColumn:
    case MacColumn:
        emit modifyData(index, value, role);
        return false;
    default:
        return false;
    }
}

void DeviceTableModel::sort(int column, Qt::SortOrder order)
{
    qDebug("sort model");
    using Less = bool (*)(const DeviceRecord*, const DeviceRecord*);
    Less less = nullptr;
    const bool ascending = order == Qt::AscendingOrder;
    switch (column) {
    case UidColumn:
        less = ascending ? DeviceRecord::uidAsc : DeviceRecord::uidDesc;
        break;
    case NameColumn:
        less = ascending ? DeviceRecord::nameAsc : DeviceRecord::nameDesc;
        break;
    case MacColumn:
        less = ascending ? DeviceRecord::macAsc : DeviceRecord::macDesc;
        break;
    case IpColumn:
        less = ascending ? DeviceRecord::ipAsc : DeviceRecord::ipDesc;
        break;
    default:
        return;
    }
    if (m_devices.isEmpty())
        return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::sort(m_devices.begin(), m_devices.end(),
              [less](const DeviceRef& a, const DeviceRef& b) { return less(a.get(), b.get()); });
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    refresh();
}

void DeviceTableModel::allCheckBoxChecked(bool checked)
{
    for (const DeviceRef& device : qAsConst(m_devices))
        device->setChecked(checked);
    refresh();
}

void DeviceTableModel::clear()
{
    // The view still believes in the old rows until refresh(); keep it from
    // asking for them in between by resetting instead of leaving it stale.
    beginResetModel();
    m_devices.clear();
    endResetModel();
}

void DeviceTableModel::refresh()
{
    if (m_devices.isEmpty()) {
        // dataChanged over no rows is no signal at all; the view must still
        // forget rows it showed before.
        beginResetModel();
        endResetModel();
        return;
    }
    emit dataChanged(index(0, 0), index(m_devices.size() - 1, ColumnCount - 1));
}

void DeviceTableModel::setDevices(const QList<DeviceRef>& devices)
{
    beginResetModel();
    m_devices = devices;
    endResetModel();
}

QList<DeviceRecord*> DeviceTableModel::checkedDevices() const
{
    QList<DeviceRecord*> checked;
    for (const DeviceRef& device : m_devices) {
        if (device->isChecked())
            checked.append(device.get());
    }
    return checked;
}

DeviceRecord* DeviceTableModel::deviceAt(int row) const
{
    return row >= 0 && row < m_devices.size() ? m_devices.at(row).get() : nullptr;
}

} // namespace orvane
