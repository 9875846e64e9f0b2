#pragma once

#include "SettingsPage.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace orvane {

// Switches devices to DHCP or gives them static addresses; "Set All" counts
// the typed address up by one per device.
class IpPage : public SettingsPage
{
    Q_OBJECT

public:
    enum Row
    {
        IpRow,
        GatewayRow,
        NetmaskRow,
        Dns1Row,
        Dns2Row,
        RowCount
    };

    IpPage(QWidget* parent, ProtocolClient* client, DeviceTableModel* model);

    void showDevice(DeviceRecord* device) override;

protected slots:
    void onClickSetButton(bool checked) override;
    void onClickSetAllButton(bool checked) override;
    void onComboBoxIndexChanged(int index);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // The first of the first `count` rows whose text is no address: its toast, and false.
    // Every address field, and the address, netmask and gateway together; a toast says what is wrong.
    bool checkRows();
    // The devices whose planned address nobody else holds; asks whether to skip
    // the others, none when the operator cancels. ips follows the devices kept.
    QList<DeviceRecord*> withoutConflicts(const QList<DeviceRecord*>& devices, QStringList* ips);
    void runStatic(const QList<DeviceRecord*>& devices, const QStringList& ips, bool setAll);
    bool isDhcp() const;

    QLabel* m_headerLabel;
    QLabel* m_modeLabel;
    QComboBox* m_modeComboBox;
    QLabel* m_labels[RowCount];
    QLineEdit* m_edits[RowCount];
    QPushButton* m_setButton;
    QPushButton* m_setAllButton;
};

} // namespace orvane
