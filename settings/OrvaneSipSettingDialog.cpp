#include "OrvaneSipSettingDialog.h"

#include "OrvaneDevice.h"
#include "OrvaneSDK.h"

OrvaneSipSettingDialog::OrvaneSipSettingDialog(QWidget* parent, OrvaneSDK* sdk)
    : OrvaneSettingDialog(parent, sdk)
{
}

OrvaneSipSettingDialog::~OrvaneSipSettingDialog()
{
    stop();
}

void OrvaneSipSettingDialog::setLists(const QList<OrvaneDevice*>& devices, const SipSettings& account1,
                                      const SipSettings& account2)
{
    setDevices(devices);
    m_account1 = account1;
    m_account2 = account2;
}

void OrvaneSipSettingDialog::run()
{
    const QString summary = SipSettings::summary(m_account1, m_account2);
    for (OrvaneDevice* device : devices()) {
        if (isStopped())
            break;
        if (sdk()->setSipSettings(device, m_account1, m_account2) == 0)
            device->setField(QStringLiteral("sipInfo"), summary);
    }
    emit _close();
}
