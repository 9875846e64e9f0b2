#include "RebootJob.h"

#include "DeviceRecord.h"
#include "ProtocolClient.h"

RebootJob::RebootJob(QWidget* parent, ProtocolClient* sdk)
    : PageJob(parent, sdk)
{
}

void RebootJob::run()
{
    for (DeviceRecord* device : devices()) {
        if (isStopped())
            break;
        sdk()->reboot(device);
    }
    emit workFinished();
}
