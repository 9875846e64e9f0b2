#include "TestSoundJob.h"

#include "DeviceRecord.h"
#include "ProtocolClient.h"

TestSoundJob::TestSoundJob(QWidget* parent, ProtocolClient* sdk)
    : PageJob(parent, sdk)
{
}

void TestSoundJob::setDevice(DeviceRecord* device)
{
    setDevices(device ? QList<DeviceRecord*>{device} : QList<DeviceRecord*>());
}

void TestSoundJob::run()
{
    // The device gives no sign beyond its sound, so the answer is not looked at.
    const QList<DeviceRecord*> targets = devices();
    if (!targets.isEmpty() && !isStopped())
        sdk()->playVolume(targets.first());
    emit workFinished();
}
