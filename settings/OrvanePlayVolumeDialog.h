#pragma once

#include "OrvaneSettingDialog.h"

// Makes one device play its test sound; opened from the volume page and from
// the play icon of the device table.
class OrvanePlayVolumeDialog : public OrvaneSettingDialog
{
    Q_OBJECT

public:
    OrvanePlayVolumeDialog(QWidget* parent, OrvaneSDK* sdk);

    // device may be none: the job then closes without sending anything.
    void setDevice(OrvaneDevice* device);
    void run() override;
};
