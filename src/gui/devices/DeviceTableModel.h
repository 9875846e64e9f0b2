#pragma once

#include "DeviceRef.h"

#include <QAbstractTableModel>
#include <QList>

namespace orvane {

class DeviceRecord;
class DeviceTableDelegate;
class CheckBoxHeaderView;
class CopyingTableView;

// The one list of device records and the table over it. Holds one reference
// to each record; pages and jobs read the records through it.
class DeviceTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column
    {
        CheckColumn = 0,
        NumberColumn = 1,
        PlayColumn = 2,
        UidColumn = 3,
        NameColumn = 4,
        MacColumn = 5,
        IpColumn = 6,
        NetmaskColumn = 7,
        GatewayColumn = 8,
        SipColumn = 9,
        RtpColumn = 10,
        VersionColumn = 11,
        VolumeColumn = 12,
        SystemColumn = 13,
        ColumnCount = 14
    };

    // Installs itself, its delegate and its header on view.
    explicit DeviceTableModel(CopyingTableView* view);
    ~DeviceTableModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Ticks the row check box; an edited Name or MAC cell only raises
    // modifyData, since the device has to accept the change first.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    // Gives back every record, telling the view.
    void clear();
    // Repaints every cell after records changed in place.
    void refresh();
    // Replaces the list; the model holds the records until the next list.
    void setDevices(const QList<DeviceRef>& devices);
    QList<DeviceRecord*> checkedDevices() const;
    QList<DeviceRecord*> devices() const { return recordsOf(m_devices); }
    DeviceRecord* deviceAt(int row) const;

    static int columnWidth(int column);
    // Whether sort() orders by column; a header click elsewhere changes nothing.
    static bool isSortable(int column);

    CopyingTableView* view() const { return m_view; }
    CheckBoxHeaderView* header() const { return m_header; }
    DeviceTableDelegate* delegate() const { return m_delegate; }

signals:
    void modifyData(const QModelIndex& index, const QVariant& value, int role);

public slots:
    void allCheckBoxChecked(bool checked);

private:
    QList<DeviceRef> m_devices;
    DeviceTableDelegate* m_delegate;
    CheckBoxHeaderView* m_header;
    CopyingTableView* m_view;
};

} // namespace orvane
