#include "SetMacJob.h"

#include "DeviceRecord.h"
#include "ProtocolClient.h"

SetMacJob::SetMacJob(QWidget* parent, ProtocolClient* sdk) : PageJob(parent, sdk) {}

SetMacJob::~SetMacJob()
{
    stop();
}

void SetMacJob::setLists(const QList<DeviceRecord*>& devices, const QStringList& macs)
{
    setDevices(devices);
    m_macs = macs;
}

void SetMacJob::run()
{
    const QList<DeviceRecord*> targets = devices();
    for (int i = 0; i < targets.size() && i < m_macs.size(); ++i) {
        if (isStopped())
            break;
        DeviceRecord* device = targets.at(i);
        if (sdk()->setMac(device, m_macs.at(i)) == 0) {
            device->setMac(m_macs.at(i));
            // A text that is not six numbers leaves the binary address as it was.
            device->setMacText(m_macs.at(i));
        }
    }
    emit workFinished();
}
