#include "OrvaneSettingDialog.h"

#include "OrvaneDevice.h"
#include "OrvaneSDK.h"

OrvaneSettingDialog::OrvaneSettingDialog(QWidget* parent, OrvaneSDK* sdk) : VyProgressDialog(parent), m_sdk(sdk)
{
    setObjectName(QStringLiteral("settingJob"));
}

OrvaneSettingDialog::~OrvaneSettingDialog()
{
    stop();
    releaseDevices();
}

void OrvaneSettingDialog::abortWork()
{
    if (m_sdk)
        m_sdk->cancelWait();
}

void OrvaneSettingDialog::setDevices(const QList<OrvaneDevice*>& devices)
{
    for (OrvaneDevice* device : devices)
        device->retain();
    releaseDevices();
    m_devices = devices;
}

void OrvaneSettingDialog::releaseDevices()
{
    for (OrvaneDevice* device : qAsConst(m_devices))
        device->release();
    m_devices.clear();
}
