#pragma once

#include "VyWidget.h"

#include <QList>

class OrvaneDevice;
class OrvaneDeviceModel;
class OrvaneSDK;
class OrvaneSettingDialog;
class VyToast;

// Base of the settings pages shown below the device table. A page shows the
// device of the row last clicked; "Set" changes that device, "Set All" the
// ticked rows (every row when none is ticked), one job per click.
class OrvaneSettingWidget : public VyWidget
{
    Q_OBJECT

public:
    static constexpr int ToastMs = 2000;

    OrvaneSettingWidget(QWidget* parent, OrvaneSDK* sdk, OrvaneDeviceModel* model);
    ~OrvaneSettingWidget() override;

    void setCurrentDevice(OrvaneDevice* device);
    OrvaneDevice* currentDevice() const { return m_currentDevice; }
    // The ticked rows in table order, or every row when none is ticked.
    QList<OrvaneDevice*> targetDevices() const;
    void showToast(const QString& text);
    VyToast* toast() const { return m_toast; }

    // Puts device's values into the page's fields; device may be none.
    virtual void showDevice(OrvaneDevice* device);

protected slots:
    virtual void onClickSetButton(bool checked);
    virtual void onClickSetAllButton(bool checked);

protected:
    // Runs job modally over the window that shows the page, repaints the table
    // when it ends by itself, and destroys it. True when it was accepted.
    bool runJob(OrvaneSettingDialog* job);
    // Where jobs open: the main window while the page is shown.
    QWidget* jobParent() const;

    OrvaneSDK* m_sdk;
    OrvaneDeviceModel* m_model;

private:
    // Retained, so that a search replacing the table while the page is hidden
    // cannot leave it pointing at a freed record.
    OrvaneDevice* m_currentDevice = nullptr;
    VyToast* m_toast = nullptr;
};
