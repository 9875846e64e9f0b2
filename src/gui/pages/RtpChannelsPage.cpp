#include "RtpChannelsPage.h"

#include "DeviceRecord.h"
#include "BatchRules.h"
#include "DeviceTasks.h"
#include "JobDialog.h"
#include "Language.h"

#include <QLabel>
#include <QLineEdit>
#include <memory>

namespace orvane {

namespace {
const int RowsPerColumn = 5;
const int RowYs[RowsPerColumn] = {40, 70, 100, 130, 160};
const int LabelXs[2] = {10, 360};
const int EditOffset = 40;
} // namespace

RtpChannelsPage::RtpChannelsPage(QWidget* parent, ProtocolClient* client, DeviceTableModel* model)
    : SettingsPage(parent, client, model), m_header(new QLabel(this))
{
    setObjectName(QStringLiteral("rtpPage"));
    m_header->setObjectName(QStringLiteral("deviceLabel"));
    for (int i = 0; i < ChannelCount; ++i) {
        m_labels[i] = new QLabel(QString::number(i + 1), this);
        m_edits[i] = new QLineEdit(this);
        // "rtpEdit1" to "rtpEdit10", as the rows are numbered on screen.
        m_edits[i]->setObjectName(QStringLiteral("rtpEdit%1").arg(i + 1));
    }
    addSetButtons();
}

void RtpChannelsPage::showDevice(DeviceRecord* device)
{
    if (!device) {
        m_header->clear();
        return;
    }
    m_header->setText(QStringLiteral("%1 %2-%3").arg(translated("Current Device"), device->name(), device->uid()));
    // A refresh of the table while the read waits must not start a second one.
    if (m_reading || !m_client)
        return;
    m_reading = true;
    auto read = std::make_shared<DeviceTasks::RtpRead>();
    runDeviceJob(jobParent(), *m_client, DeviceTasks::readRtp(read), {device}, {});
    m_reading = false;
    if (!read->done)
        return;
    m_channels = read->channels;
    fillEdits();
}

void RtpChannelsPage::fillEdits()
{
    for (int i = 0; i < ChannelCount && i < m_channels.size(); ++i)
        m_edits[i]->setText(m_channels.at(i).endpointText());
}

bool RtpChannelsPage::readEdits()
{
    // Checked before anything goes out: a channel of text or port 0 would be
    // sent as it stands, and an empty one would be switched on.
    for (int i = 0; i < ChannelCount; ++i) {
        const QString why = BatchRules::checkRtpEndpoint(m_edits[i]->text().trimmed());
        if (!why.isEmpty()) {
            showToast(QStringLiteral("%1 %2: %3").arg(translated("Channel")).arg(i + 1).arg(why));
            return false;
        }
    }
    for (int i = 0; i < ChannelCount && i < m_channels.size(); ++i) {
        const QString text = m_edits[i]->text().trimmed();
        m_channels[i] = text.isEmpty() ? RtpChannelSettings() : RtpChannelSettings::fromEndpointText(text);
    }
    return true;
}

bool RtpChannelsPage::fieldsTask(DeviceJob::Task* task)
{
    if (!readEdits())
        return false;
    *task = DeviceTasks::writeRtp(m_channels);
    return true;
}

void RtpChannelsPage::resizeEvent(QResizeEvent* event)
{
    SettingsPage::resizeEvent(event);
    m_header->setGeometry(10, 10, width() - 20, 20);
    for (int i = 0; i < ChannelCount; ++i) {
        const int x = LabelXs[i / RowsPerColumn];
        const int y = RowYs[i % RowsPerColumn];
        m_labels[i]->setGeometry(x, y, 30, 20);
        m_edits[i]->setGeometry(x + EditOffset, y, 220, 20);
    }
    placeSetButtons(230);
}

} // namespace orvane
