#pragma once

#include "PageJob.h"
#include "RtpChannelSettings.h"

#include <QList>

// Gives every device the same RTP receive channels and updates the summary
// the table shows for the devices that accepted them.
class WriteRtpChannelsJob : public PageJob
{
    Q_OBJECT

public:
    WriteRtpChannelsJob(QWidget* parent, ProtocolClient* sdk);
    ~WriteRtpChannelsJob() override;

    void setLists(const QList<DeviceRecord*>& devices, const QList<RtpChannelSettings>& channels);
    void run() override;

private:
    QList<RtpChannelSettings> m_channels;
};
