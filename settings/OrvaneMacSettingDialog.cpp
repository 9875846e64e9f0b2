#include "OrvaneMacSettingDialog.h"

#include "OrvaneDevice.h"
#include "OrvaneSDK.h"

OrvaneMacSettingDialog::OrvaneMacSettingDialog(QWidget* parent, OrvaneSDK* sdk) : OrvaneSettingDialog(parent, sdk) {}

OrvaneMacSettingDialog::~OrvaneMacSettingDialog()
{
    stop();
}

void OrvaneMacSettingDialog::setLists(const QList<OrvaneDevice*>& devices, const QStringList& macs)
{
    setDevices(devices);
    m_macs = macs;
}

void OrvaneMacSettingDialog::run()
{
    const QList<OrvaneDevice*> targets = devices();
    for (int i = 0; i < targets.size() && i < m_macs.size(); ++i) {
        if (isStopped())
            break;
        OrvaneDevice* device = targets.at(i);
        if (sdk()->setMac(device, m_macs.at(i)) == 0) {
            device->setMac(m_macs.at(i));
            // A text that is not six numbers leaves the binary address as it was.
            device->setMacText(m_macs.at(i));
        }
    }
    emit _close();
}
