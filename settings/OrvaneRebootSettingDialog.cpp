#include "OrvaneRebootSettingDialog.h"

#include "OrvaneDevice.h"
#include "OrvaneSDK.h"

OrvaneRebootSettingDialog::OrvaneRebootSettingDialog(QWidget* parent, OrvaneSDK* sdk)
    : OrvaneSettingDialog(parent, sdk)
{
}

void OrvaneRebootSettingDialog::run()
{
    for (OrvaneDevice* device : devices()) {
        if (isStopped())
            break;
        sdk()->reboot(device);
    }
    emit _close();
}
