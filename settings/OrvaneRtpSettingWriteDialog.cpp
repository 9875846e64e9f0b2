#include "OrvaneRtpSettingWriteDialog.h"

#include "OrvaneDevice.h"
#include "OrvaneSDK.h"

OrvaneRtpSettingWriteDialog::OrvaneRtpSettingWriteDialog(QWidget* parent, OrvaneSDK* sdk)
    : OrvaneSettingDialog(parent, sdk)
{
}

OrvaneRtpSettingWriteDialog::~OrvaneRtpSettingWriteDialog()
{
    stop();
}

void OrvaneRtpSettingWriteDialog::setLists(const QList<OrvaneDevice*>& devices,
                                           const QList<RtpSettings>& channels)
{
    setDevices(devices);
    m_channels = channels;
}

void OrvaneRtpSettingWriteDialog::run()
{
    const QString summary = RtpSettings::summary(m_channels);
    for (OrvaneDevice* device : devices()) {
        if (isStopped())
            break;
        // Without channels the command changes none of them, so an empty
        // summary would wrongly tell the operator the device has none.
        if (sdk()->setRtpSettings(device, m_channels) == 0 && !m_channels.isEmpty())
            device->setField(QStringLiteral("rtpInfo"), summary);
    }
    emit _close();
}
