#include "OrvaneVolumeSettingDialog.h"

#include "OrvaneDevice.h"
#include "OrvaneSDK.h"

OrvaneVolumeSettingDialog::OrvaneVolumeSettingDialog(QWidget* parent, OrvaneSDK* sdk)
    : OrvaneSettingDialog(parent, sdk)
{
}

OrvaneVolumeSettingDialog::~OrvaneVolumeSettingDialog()
{
    stop();
}

void OrvaneVolumeSettingDialog::setLists(const QList<OrvaneDevice*>& devices, int micVolume, int outVolume,
                                         int autoMute)
{
    setDevices(devices);
    m_micVolume = micVolume;
    m_outVolume = outVolume;
    m_autoMute = autoMute;
}

void OrvaneVolumeSettingDialog::run()
{
    for (OrvaneDevice* device : devices()) {
        if (isStopped())
            break;
        if (sdk()->setDeviceVolume(device, m_micVolume, m_outVolume, m_autoMute) == 0) {
            device->setIntValue(QStringLiteral("micVolume"), m_micVolume);
            device->setIntValue(QStringLiteral("outVolume"), m_outVolume);
            device->setIntValue(QStringLiteral("autoMute"), m_autoMute);
        }
    }
    emit _close();
}
