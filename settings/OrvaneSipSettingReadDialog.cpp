#include "OrvaneSipSettingReadDialog.h"

#include "OrvaneDevice.h"
#include "OrvaneSDK.h"

OrvaneSipSettingReadDialog::OrvaneSipSettingReadDialog(QWidget* parent, OrvaneSDK* sdk, OrvaneDevice* device)
    : VyProgressDialog(parent), m_sdk(sdk), m_device(device)
{
    setObjectName(QStringLiteral("sipReadJob"));
    if (m_device)
        m_device->retain();
}

OrvaneSipSettingReadDialog::~OrvaneSipSettingReadDialog()
{
    stop();
    if (m_device)
        m_device->release();
}

void OrvaneSipSettingReadDialog::run()
{
    m_account1.clear();
    m_account2.clear();
    if (m_sdk && m_device)
        m_sdk->getSipSettings(m_device, m_account1, m_account2);
    emit _close();
}

void OrvaneSipSettingReadDialog::abortWork()
{
    if (m_sdk)
        m_sdk->cancelWait();
}
