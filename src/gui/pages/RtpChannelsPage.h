#pragma once

#include "SettingsPage.h"
#include "RtpChannelSettings.h"

#include <QList>

class QLabel;
class QLineEdit;

namespace orvane {

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

protected:
    bool fieldsTask(DeviceJob::Task* task) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void fillEdits();
    bool readEdits();

    QLabel* m_header;
    QLabel* m_labels[ChannelCount];
    QLineEdit* m_edits[ChannelCount];
    bool m_reading = false;
    QList<RtpChannelSettings> m_channels;
};

} // namespace orvane
