#include "SetVolumeJob.h"

#include "DeviceRecord.h"
#include "ProtocolClient.h"

SetVolumeJob::SetVolumeJob(QWidget* parent, ProtocolClient* sdk)
    : PageJob(parent, sdk)
{
}

SetVolumeJob::~SetVolumeJob()
{
    stop();
}

void SetVolumeJob::setLists(const QList<DeviceRecord*>& devices, int micVolume, int outVolume,
                                         int autoMute)
{
    setDevices(devices);
    m_micVolume = micVolume;
    m_outVolume = outVolume;
    m_autoMute = autoMute;
}

void SetVolumeJob::run()
{
    for (DeviceRecord* device : devices()) {
        if (isStopped())
            break;
        if (sdk()->setDeviceVolume(device, m_micVolume, m_outVolume, m_autoMute) == 0) {
            device->setIntValue(QStringLiteral("micVolume"), m_micVolume);
            device->setIntValue(QStringLiteral("outVolume"), m_outVolume);
            device->setIntValue(QStringLiteral("autoMute"), m_autoMute);
        }
    }
    emit workFinished();
}
