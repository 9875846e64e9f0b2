#include "OrvaneRestoreSettingDialog.h"

#include "OrvaneDevice.h"
#include "OrvaneSDK.h"

OrvaneRestoreSettingDialog::OrvaneRestoreSettingDialog(QWidget* parent, OrvaneSDK* sdk)
    : OrvaneSettingDialog(parent, sdk)
{
}

void OrvaneRestoreSettingDialog::run()
{
    for (OrvaneDevice* device : devices()) {
        if (isStopped())
            break;
        sdk()->resetDefault(device);
    }
    emit _close();
}
