#pragma once

#include "OrvaneSettingWidget.h"
#include "RtpSettings.h"

#include <QList>

class OrvaneRtpSettingReadDialog;
class QLabel;
class QLineEdit;
class QPushButton;

// The ten RTP receive channels of a device as "address:port" fields. The
// values come from the device itself, read each time a device is shown.
class OrvaneRtpSettingWidget : public OrvaneSettingWidget
{
    Q_OBJECT

public:
    static constexpr int ChannelCount = 10;

    OrvaneRtpSettingWidget(QWidget* parent, OrvaneSDK* sdk, OrvaneDeviceModel* model);

    void showDevice(OrvaneDevice* device) override;

    // Empty until a read has completed, ten channels after that.
    QList<RtpSettings> channels() const { return m_channels; }

protected slots:
    void onClickSetButton(bool checked) override;
    void onClickSetAllButton(bool checked) override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void fillEdits();
    void readEdits();
    void runWrite(const QList<OrvaneDevice*>& devices);

    QLabel* m_header;
    QLabel* m_labels[ChannelCount];
    QLineEdit* m_edits[ChannelCount];
    QPushButton* m_setButton;
    QPushButton* m_setAllButton;
    OrvaneRtpSettingReadDialog* m_readJob = nullptr;
    QList<RtpSettings> m_channels;
};
