#pragma once

#include "OrvaneSettingDialog.h"

// Factory reset of every device. The answers are not looked at: the reset
// changes no field that the table shows until the next search.
class OrvaneRestoreSettingDialog : public OrvaneSettingDialog
{
    Q_OBJECT

public:
    OrvaneRestoreSettingDialog(QWidget* parent, OrvaneSDK* sdk);

    void run() override;
};
