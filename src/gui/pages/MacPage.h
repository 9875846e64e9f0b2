#pragma once

#include "SettingsPage.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace orvane {

// Gives the current device a new MAC address, or each target device its own,
// counting up from the typed one.
class MacPage : public SettingsPage
{
    Q_OBJECT

public:
    MacPage(QWidget* parent, ProtocolClient* client, DeviceTableModel* model);

    void showDevice(DeviceRecord* device) override;

protected slots:
    void onClickSetButton(bool checked) override;
    void onClickSetAllButton(bool checked) override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // False, with a toast naming the first problem, when a MAC cannot be given.
    bool checkPlan(const QList<DeviceRecord*>& devices, const QStringList& macs);

    QLabel* m_deviceLabel;
    QLabel* m_promptLabel;
    QLineEdit* m_valueEdit;
    QPushButton* m_setButton;
    QPushButton* m_setAllButton;
};

} // namespace orvane
