#pragma once

#include "OrvaneSettingDialog.h"

// Reboots every device. The answers are not looked at: a device may well go
// down before its reply leaves, and no record field changes.
class OrvaneRebootSettingDialog : public OrvaneSettingDialog
{
    Q_OBJECT

public:
    OrvaneRebootSettingDialog(QWidget* parent, OrvaneSDK* sdk);

    void run() override;
};
