#include "ReadRtpChannelsJob.h"

#include "DeviceRecord.h"
#include "ProtocolClient.h"

ReadRtpChannelsJob::ReadRtpChannelsJob(QWidget* parent, ProtocolClient* client)
    : PageJob(parent, client)
{
    setObjectName(QStringLiteral("rtpReadJob"));
}

ReadRtpChannelsJob::~ReadRtpChannelsJob()
{
    stop();
}

void ReadRtpChannelsJob::setDevice(DeviceRecord* device)
{
    setDevices(device ? QList<DeviceRecord*>{device} : QList<DeviceRecord*>());
}

void ReadRtpChannelsJob::run()
{
    QList<RtpChannelSettings> channels;
    for (int i = 0; i < ProtocolClient::RtpChannelCount; ++i)
        channels.append(RtpChannelSettings());
    const QList<DeviceRecord*> targets = devices();
    if (!targets.isEmpty())
        client()->getRtpSettings(targets.first(), channels);
    m_channels = channels;
    emit workFinished();
}
