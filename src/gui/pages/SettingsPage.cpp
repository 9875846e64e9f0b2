#include "SettingsPage.h"

#include "DeviceRecord.h"
#include "DeviceTableModel.h"
#include "PageJob.h"
#include "Toast.h"
#include "ToastView.h"

#include <memory>

SettingsPage::SettingsPage(QWidget* parent, ProtocolClient* sdk, DeviceTableModel* model)
    : RoundedWidget(parent), m_sdk(sdk), m_model(model)
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

bool SettingsPage::runJob(PageJob* job)
{
    std::unique_ptr<PageJob> owned(job);
    job->centerOn(jobParent());
    job->start();
    const bool accepted = job->exec() == QDialog::Accepted;
    if (accepted && m_model)
        m_model->refresh();
    return accepted;
}
