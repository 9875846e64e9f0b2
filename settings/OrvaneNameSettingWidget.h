#pragma once

#include "OrvaneSettingWidget.h"

class QLabel;
class QLineEdit;
class QPushButton;

// Renames the current device, or gives every target device the same name.
class OrvaneNameSettingWidget : public OrvaneSettingWidget
{
    Q_OBJECT

public:
    OrvaneNameSettingWidget(QWidget* parent, OrvaneSDK* sdk, OrvaneDeviceModel* model);

    void showDevice(OrvaneDevice* device) override;

protected slots:
    void onClickSetButton(bool checked) override;
    void onClickSetAllButton(bool checked) override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void runNames(const QList<OrvaneDevice*>& devices, const QStringList& names);

    QLabel* m_deviceLabel;
    QLabel* m_promptLabel;
    QLineEdit* m_valueEdit;
    QPushButton* m_setButton;
    QPushButton* m_setAllButton;
};
