#include "FactoryResetJob.h"

#include "DeviceRecord.h"
#include "ProtocolClient.h"

FactoryResetJob::FactoryResetJob(QWidget* parent, ProtocolClient* sdk)
    : PageJob(parent, sdk)
{
}

void FactoryResetJob::run()
{
    for (DeviceRecord* device : devices()) {
        if (isStopped())
            break;
        sdk()->resetDefault(device);
    }
    emit workFinished();
}
