#pragma once

#include "OrvaneSettingDialog.h"

// Gives every device the same input and output volume and auto-mute.
class OrvaneVolumeSettingDialog : public OrvaneSettingDialog
{
    Q_OBJECT

public:
    OrvaneVolumeSettingDialog(QWidget* parent, OrvaneSDK* sdk);
    ~OrvaneVolumeSettingDialog() override;

    void setLists(const QList<OrvaneDevice*>& devices, int micVolume, int outVolume, int autoMute);
    void run() override;

private:
    int m_micVolume = 0;
    int m_outVolume = 0;
    int m_autoMute = 0;
};
