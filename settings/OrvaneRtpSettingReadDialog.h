#pragma once

#include "OrvaneSettingDialog.h"
#include "RtpSettings.h"

#include <QList>

// Reads the ten RTP receive channels of one device.
class OrvaneRtpSettingReadDialog : public OrvaneSettingDialog
{
    Q_OBJECT

public:
    OrvaneRtpSettingReadDialog(QWidget* parent, OrvaneSDK* sdk);
    ~OrvaneRtpSettingReadDialog() override;

    // device is retained for the job's life.
    void setDevice(OrvaneDevice* device);
    void run() override;

    // Ten channels once the job has ended by itself; a channel the reply
    // lacks (every channel, without a reply) is reset.
    QList<RtpSettings> channels() const { return m_channels; }

private:
    // Written by the worker only, read after it has been stopped.
    QList<RtpSettings> m_channels;
};
