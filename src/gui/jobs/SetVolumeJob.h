#pragma once

#include "PageJob.h"

// Gives every device the same input and output volume and auto-mute.
class SetVolumeJob : public PageJob
{
    Q_OBJECT

public:
    SetVolumeJob(QWidget* parent, ProtocolClient* sdk);
    ~SetVolumeJob() override;

    void setLists(const QList<DeviceRecord*>& devices, int micVolume, int outVolume, int autoMute);
    void run() override;

private:
    int m_micVolume = 0;
    int m_outVolume = 0;
    int m_autoMute = 0;
};
