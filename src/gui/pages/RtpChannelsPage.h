#pragma once

#include "SettingsPage.h"
#include "RtpChannelSettings.h"

#include <QList>

class ReadRtpChannelsJob;
class QLabel;
class QLineEdit;
class QPushButton;

// The ten RTP receive channels of a device as "address:port" fields. The
// values come from the device itself, read each time a device is shown.
class RtpChannelsPage : public SettingsPage
{
    Q_OBJECT

public:
    static constexpr int ChannelCount = 10;

    RtpChannelsPage(QWidget* parent, ProtocolClient* client, DeviceTableModel* model);

    void showDevice(DeviceRecord* device) override;

    // Empty until a read has completed, ten channels after that.
    QList<RtpChannelSettings> channels() const { return m_channels; }

protected slots:
    void onClickSetButton(bool checked) override;
    void onClickSetAllButton(bool checked) override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void fillEdits();
    bool readEdits();
    void runWrite(const QList<DeviceRecord*>& devices, bool setAll);

    QLabel* m_header;
    QLabel* m_labels[ChannelCount];
    QLineEdit* m_edits[ChannelCount];
    QPushButton* m_setButton;
    QPushButton* m_setAllButton;
    ReadRtpChannelsJob* m_readJob = nullptr;
    QList<RtpChannelSettings> m_channels;
};
