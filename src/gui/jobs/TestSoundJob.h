#pragma once

#include "PageJob.h"

// Makes one device play its test sound; opened from the volume page and from
// the play icon of the device table.
class TestSoundJob : public PageJob
{
    Q_OBJECT

public:
    TestSoundJob(QWidget* parent, ProtocolClient* sdk);

    // device may be none: the job then closes without sending anything.
    void setDevice(DeviceRecord* device);
    void run() override;
};
