#include "WriteRtpChannelsJob.h"

#include "DeviceRecord.h"
#include "ProtocolClient.h"

WriteRtpChannelsJob::WriteRtpChannelsJob(QWidget* parent, ProtocolClient* sdk)
    : PageJob(parent, sdk)
{
}

WriteRtpChannelsJob::~WriteRtpChannelsJob()
{
    stop();
}

void WriteRtpChannelsJob::setLists(const QList<DeviceRecord*>& devices,
                                           const QList<RtpChannelSettings>& channels)
{
    setDevices(devices);
    m_channels = channels;
}

void WriteRtpChannelsJob::run()
{
    const QString summary = RtpChannelSettings::summary(m_channels);
    for (DeviceRecord* device : devices()) {
        if (isStopped())
            break;
        // Without channels the command changes none of them, so an empty
        // summary would wrongly tell the operator the device has none.
        if (sdk()->setRtpSettings(device, m_channels) == 0 && !m_channels.isEmpty())
            device->setField(QStringLiteral("rtpInfo"), summary);
    }
    emit workFinished();
}
