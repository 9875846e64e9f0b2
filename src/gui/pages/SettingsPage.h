#pragma once

#include "RoundedWidget.h"

#include <QList>

class DeviceRecord;
class DeviceTableModel;
class ProtocolClient;
class PageJob;
class Toast;

// Base of the settings pages shown below the device table. A page shows the
// device of the row last clicked; "Set" changes that device, "Set All" the
// ticked rows (every row when none is ticked), one job per click.
class SettingsPage : public RoundedWidget
{
    Q_OBJECT

public:
    static constexpr int ToastMs = 2000;

    SettingsPage(QWidget* parent, ProtocolClient* sdk, DeviceTableModel* model);
    ~SettingsPage() override;

    void setCurrentDevice(DeviceRecord* device);
    DeviceRecord* currentDevice() const { return m_currentDevice; }
    // The ticked rows in table order, or every row when none is ticked.
    QList<DeviceRecord*> targetDevices() const;
    void showToast(const QString& text);
    Toast* toast() const { return m_toast; }

    // Puts device's values into the page's fields; device may be none.
    virtual void showDevice(DeviceRecord* device);

protected slots:
    virtual void onClickSetButton(bool checked);
    virtual void onClickSetAllButton(bool checked);

protected:
    // Runs job modally over the window that shows the page, repaints the table
    // when it ends by itself, and destroys it. True when it was accepted.
    bool runJob(PageJob* job);
    // Where jobs open: the main window while the page is shown.
    QWidget* jobParent() const;

    ProtocolClient* m_sdk;
    DeviceTableModel* m_model;

private:
    // Retained, so that a search replacing the table while the page is hidden
    // cannot leave it pointing at a freed record.
    DeviceRecord* m_currentDevice = nullptr;
    Toast* m_toast = nullptr;
};
