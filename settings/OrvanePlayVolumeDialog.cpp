#include "OrvanePlayVolumeDialog.h"

#include "OrvaneDevice.h"
#include "OrvaneSDK.h"

OrvanePlayVolumeDialog::OrvanePlayVolumeDialog(QWidget* parent, OrvaneSDK* sdk)
    : OrvaneSettingDialog(parent, sdk)
{
}

void OrvanePlayVolumeDialog::setDevice(OrvaneDevice* device)
{
    setDevices(device ? QList<OrvaneDevice*>{device} : QList<OrvaneDevice*>());
}

void OrvanePlayVolumeDialog::run()
{
    // The device gives no sign beyond its sound, so the answer is not looked at.
    const QList<OrvaneDevice*> targets = devices();
    if (!targets.isEmpty() && !isStopped())
        sdk()->playVolume(targets.first());
    emit _close();
}
