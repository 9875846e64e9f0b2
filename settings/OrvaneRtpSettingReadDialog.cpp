#include "OrvaneRtpSettingReadDialog.h"

#include "OrvaneDevice.h"
#include "OrvaneSDK.h"

OrvaneRtpSettingReadDialog::OrvaneRtpSettingReadDialog(QWidget* parent, OrvaneSDK* sdk)
    : OrvaneSettingDialog(parent, sdk)
{
    setObjectName(QStringLiteral("rtpReadJob"));
}

OrvaneRtpSettingReadDialog::~OrvaneRtpSettingReadDialog()
{
    stop();
}

void OrvaneRtpSettingReadDialog::setDevice(OrvaneDevice* device)
{
    setDevices(device ? QList<OrvaneDevice*>{device} : QList<OrvaneDevice*>());
}

void OrvaneRtpSettingReadDialog::run()
{
    QList<RtpSettings> channels;
    for (int i = 0; i < OrvaneSDK::RtpChannelCount; ++i)
        channels.append(RtpSettings());
    const QList<OrvaneDevice*> targets = devices();
    if (!targets.isEmpty())
        sdk()->getRtpSettings(targets.first(), channels);
    m_channels = channels;
    emit _close();
}
