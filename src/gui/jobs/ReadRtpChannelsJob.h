#pragma once

#include "PageJob.h"
#include "RtpChannelSettings.h"

#include <QList>

// Reads the ten RTP receive channels of one device.
class ReadRtpChannelsJob : public PageJob
{
    Q_OBJECT

public:
    ReadRtpChannelsJob(QWidget* parent, ProtocolClient* client);
    ~ReadRtpChannelsJob() override;

    // device is retained for the job's life.
    void setDevice(DeviceRecord* device);
    void run() override;

    // Ten channels once the job has ended by itself; a channel the reply
    // lacks (every channel, without a reply) is reset.
    QList<RtpChannelSettings> channels() const { return m_channels; }

private:
    // Written by the worker only, read after it has been stopped.
    QList<RtpChannelSettings> m_channels;
};
