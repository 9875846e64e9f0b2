#pragma once

#include "OrvaneSettingDialog.h"
#include "RtpSettings.h"

#include <QList>

// Gives every device the same RTP receive channels and updates the summary
// the table shows for the devices that accepted them.
class OrvaneRtpSettingWriteDialog : public OrvaneSettingDialog
{
    Q_OBJECT

public:
    OrvaneRtpSettingWriteDialog(QWidget* parent, OrvaneSDK* sdk);
    ~OrvaneRtpSettingWriteDialog() override;

    void setLists(const QList<OrvaneDevice*>& devices, const QList<RtpSettings>& channels);
    void run() override;

private:
    QList<RtpSettings> m_channels;
};
