#pragma once

#include <QAbstractTableModel>
#include <QList>

class OrvaneDevice;
class OrvaneDeviceModelDelegate;
class QCheckBoxHeaderView;
class VyTableView;

// The one list of device records and the table over it. Holds one reference
// to each record; pages and jobs read the records through it.
class OrvaneDeviceModel : public QAbstractTableModel
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
    explicit OrvaneDeviceModel(VyTableView* view);
    ~OrvaneDeviceModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Ticks the row check box; an edited Name or MAC cell only raises
    // modifyData, since the device has to accept the change first.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    // Releases every record without telling the view; refresh() follows.
    void clear();
    // Repaints every cell after records changed in place.
    void refresh();
    // Replaces the list; the references of devices pass to the model.
    void setDevices(const QList<OrvaneDevice*>& devices);
    QList<OrvaneDevice*> checkedDevices() const;
    QList<OrvaneDevice*> devices() const { return m_devices; }
    OrvaneDevice* deviceAt(int row) const;

    static int columnWidth(int column);
    // Whether sort() orders by column; a header click elsewhere changes nothing.
    static bool isSortable(int column);

    VyTableView* view() const { return m_view; }
    QCheckBoxHeaderView* header() const { return m_header; }
    OrvaneDeviceModelDelegate* delegate() const { return m_delegate; }

signals:
    void modifyData(const QModelIndex& index, const QVariant& value, int role);

public slots:
    void allCheckBoxChecked(bool checked);

private:
    void releaseAll();

    QList<OrvaneDevice*> m_devices;
    OrvaneDeviceModelDelegate* m_delegate;
    QCheckBoxHeaderView* m_header;
    VyTableView* m_view;
};
