#include "SettingsPage.h"

#include "DeviceRecord.h"
#include "DeviceTableModel.h"
#include "JobDialog.h"
#include "Language.h"
#include "ResultListDialog.h"
#include "Toast.h"
#include "ToastView.h"


SettingsPage::SettingsPage(QWidget* parent, ProtocolClient* client, DeviceTableModel* model)
    : RoundedWidget(parent), m_client(client), m_model(model)
{
}

SettingsPage::~SettingsPage()
{
    if (m_currentDevice)
        m_currentDevice->release();
}

void SettingsPage::setCurrentDevice(DeviceRecord* device)
{
    if (device)
        device->retain();
    if (m_currentDevice)
        m_currentDevice->release();
    m_currentDevice = device;
    showDevice(device);
}

QList<DeviceRecord*> SettingsPage::targetDevices() const
{
    if (!m_model)
        return {};
    const QList<DeviceRecord*> checked = m_model->checkedDevices();
    return checked.isEmpty() ? m_model->devices() : checked;
}

void SettingsPage::showToast(const QString& text)
{
    if (!m_toast)
        m_toast = new Toast(this);
    m_toast->show(this, text, Toast::HorizontalCenter | Toast::Top, ToastMs);
}

void SettingsPage::showDevice(DeviceRecord*) {}

void SettingsPage::onClickSetButton(bool) {}

void SettingsPage::onClickSetAllButton(bool) {}

QWidget* SettingsPage::jobParent() const
{
    return parentWidget() ? parentWidget() : const_cast<SettingsPage*>(this);
}

bool SettingsPage::runTask(const DeviceJob::Task& task, const QList<DeviceRecord*>& devices, bool setAll, bool ask)
{
    if (!m_client || devices.isEmpty())
        return false;
    const bool wholeTable = setAll && m_model && m_model->checkedDevices().isEmpty();
    if ((setAll || ask) && !confirmDeviceJob(jobParent(), translated(task.title), devices, wholeTable))
        return false;
    DeviceTableModel* model = m_model;
    const bool allTook = runDeviceJob(jobParent(), *m_client, task, devices, [model] {
        if (model)
            model->refresh();
    });
    if (allTook && devices.size() == 1)
        showToast(QStringLiteral("%1: %2").arg(translated(task.title), translated("ok")));
    return allTook;
}
