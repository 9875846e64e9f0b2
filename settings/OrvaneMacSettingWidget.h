#pragma once

#include "OrvaneSettingWidget.h"

class QLabel;
class QLineEdit;
class QPushButton;

// Gives the current device a new MAC address, or each target device its own,
// counting up from the typed one.
class OrvaneMacSettingWidget : public OrvaneSettingWidget
{
    Q_OBJECT

public:
    OrvaneMacSettingWidget(QWidget* parent, OrvaneSDK* sdk, OrvaneDeviceModel* model);

    void showDevice(OrvaneDevice* device) override;

protected slots:
    void onClickSetButton(bool checked) override;
    void onClickSetAllButton(bool checked) override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void runMacs(const QList<OrvaneDevice*>& devices, const QStringList& macs);

    QLabel* m_deviceLabel;
    QLabel* m_promptLabel;
    QLineEdit* m_valueEdit;
    QPushButton* m_setButton;
    QPushButton* m_setAllButton;
};
