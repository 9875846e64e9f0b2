#include "OrvaneLoginSettingDialog.h"

#include "OrvaneDevice.h"
#include "OrvaneSDK.h"

OrvaneLoginSettingDialog::OrvaneLoginSettingDialog(QWidget* parent, OrvaneSDK* sdk)
    : OrvaneSettingDialog(parent, sdk)
{
}

OrvaneLoginSettingDialog::~OrvaneLoginSettingDialog()
{
    stop();
}

void OrvaneLoginSettingDialog::setLists(const QList<OrvaneDevice*>& devices, const QString& account,
                                        const QString& digest)
{
    setDevices(devices);
    m_account = account;
    m_digest = digest;
}

void OrvaneLoginSettingDialog::run()
{
    for (OrvaneDevice* device : devices()) {
        if (isStopped())
            break;
        if (sdk()->setAccountPassword(device, m_account, m_digest) == 0) {
            device->setAccount(m_account);
            device->setPassword(m_digest);
        }
    }
    emit _close();
}
