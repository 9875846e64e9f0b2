#include "OrvaneSettingWidget.h"

#include "OrvaneDevice.h"
#include "OrvaneDeviceModel.h"
#include "OrvaneSettingDialog.h"
#include "VyToast.h"
#include "VyToastView.h"

#include <memory>

OrvaneSettingWidget::OrvaneSettingWidget(QWidget* parent, OrvaneSDK* sdk, OrvaneDeviceModel* model)
    : VyWidget(parent), m_sdk(sdk), m_model(model)
{
}

OrvaneSettingWidget::~OrvaneSettingWidget()
{
    if (m_currentDevice)
        m_currentDevice->release();
}

void OrvaneSettingWidget::setCurrentDevice(OrvaneDevice* device)
{
    if (device)
        device->retain();
    if (m_currentDevice)
        m_currentDevice->release();
    m_currentDevice = device;
    showDevice(device);
}

QList<OrvaneDevice*> OrvaneSettingWidget::targetDevices() const
{
    if (!m_model)
        return {};
    const QList<OrvaneDevice*> checked = m_model->checkedDevices();
    return checked.isEmpty() ? m_model->devices() : checked;
}

void OrvaneSettingWidget::showToast(const QString& text)
{
    if (!m_toast)
        m_toast = new VyToast(this);
    m_toast->show(this, text, VyToast::HorizontalCenter | VyToast::Top, ToastMs);
}

void OrvaneSettingWidget::showDevice(OrvaneDevice*) {}

void OrvaneSettingWidget::onClickSetButton(bool) {}

void OrvaneSettingWidget::onClickSetAllButton(bool) {}

QWidget* OrvaneSettingWidget::jobParent() const
{
    return parentWidget() ? parentWidget() : const_cast<OrvaneSettingWidget*>(this);
}

bool OrvaneSettingWidget::runJob(OrvaneSettingDialog* job)
{
    std::unique_ptr<OrvaneSettingDialog> owned(job);
    job->centerOn(jobParent());
    job->start();
    const bool accepted = job->exec() == QDialog::Accepted;
    if (accepted && m_model)
        m_model->refresh();
    return accepted;
}
