#pragma once

#include "DeviceJob.h"
#include "DeviceRef.h"
#include "RoundedWidget.h"

#include <QList>

class QLabel;
class QPushButton;

namespace orvane {

class DeviceRecord;
class DeviceTableModel;
class ProtocolClient;

class Toast;

// Base of the settings pages shown below the device table. A page shows the
// device of the row last clicked; "Set" changes that device, "Set All" the
// ticked rows (every row when none is ticked), one device job per click.
class SettingsPage : public RoundedWidget
{
    Q_OBJECT

public:
    static constexpr int ToastMs = 2000;

    SettingsPage(QWidget* parent, ProtocolClient* client, DeviceTableModel* model);

    void setCurrentDevice(DeviceRecord* device);
    DeviceRecord* currentDevice() const { return m_currentDevice.get(); }
    // The ticked rows in table order, or every row when none is ticked.
    QList<DeviceRecord*> targetDevices() const;
    void showToast(const QString& text);
    Toast* toast() const { return m_toast; }

    // Puts device's values into the page's fields; device may be none.
    virtual void showDevice(DeviceRecord* device);

protected slots:
    // Unless a page has its own: Set runs fieldsTask() on the current device,
    // Set All on the target devices.
    virtual void onClickSetButton(bool checked);
    virtual void onClickSetAllButton(bool checked);

protected:
    // For pages whose Set and Set All send one task made from their fields:
    // makes the two buttons ("setButton", "setAllButton"), wired to the slots above.
    void addSetButtons();
    // Puts them side by side at height y.
    void placeSetButtons(int y);
    // Puts a field's prompt on the first field row, at least minWidth wide and
    // wider when its text needs it (a larger font, a longer translation), and
    // returns where the field starts.
    static int placePrompt(QLabel* prompt, int minWidth);
    // The task the page's fields make; false (having told the operator why) when they make none.
    virtual bool fieldsTask(DeviceJob::Task* task);

    // Runs task on devices over the window that shows the page. Set All, and a
    // Set that destroys or moves a device (ask), first asks the operator, naming
    // the devices. Afterwards the table shows what the devices took; a single
    // success is confirmed with a toast, anything else with the result list.
    // True when every device took it.
    bool runTask(const DeviceJob::Task& task, const QList<DeviceRecord*>& devices, bool setAll, bool ask = false);
    // Where jobs open: the main window while the page is shown.
    QWidget* jobParent() const;

    ProtocolClient* m_client;
    DeviceTableModel* m_model;

private:
    // Retained, so that a search replacing the table while the page is hidden
    // cannot leave it pointing at a freed record.
    DeviceRef m_currentDevice;
    Toast* m_toast = nullptr;
    QPushButton* m_fieldSetButton = nullptr;
    QPushButton* m_fieldSetAllButton = nullptr;
};

} // namespace orvane
