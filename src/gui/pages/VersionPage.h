#pragma once

#include "SettingsPage.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace orvane {

// Firmware upgrade of the current device or of the target devices over their
// web interfaces. When a job ends the operator gets the result list, one line per device.
class VersionPage : public SettingsPage
{
    Q_OBJECT

public:
    VersionPage(QWidget* parent, ProtocolClient* client, DeviceTableModel* model);

    void showDevice(DeviceRecord* device) override;

protected slots:
    void onClickSetButton(bool checked) override;
    void onClickSetAllButton(bool checked) override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private slots:
    void onClickFirmwareButton(bool checked);

private:
    void runUpgrade(const QList<DeviceRecord*>& devices, bool setAll);

    QLabel* m_deviceLabel;
    QLabel* m_promptLabel;
    QLineEdit* m_fileEdit;
    QPushButton* m_selectButton;
    QPushButton* m_setButton;
    QPushButton* m_setAllButton;
};

} // namespace orvane
