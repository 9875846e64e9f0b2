#include "RtpChannelsPage.h"

#include "DeviceRecord.h"
#include "ReadRtpChannelsJob.h"
#include "BatchRules.h"
#include "DeviceTasks.h"
#include "Language.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <memory>

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
    m_setButton = new QPushButton(translated("Set"), this);
    m_setAllButton = new QPushButton(translated("Set All"), this);
    m_setButton->setObjectName(QStringLiteral("setButton"));
    m_setAllButton->setObjectName(QStringLiteral("setAllButton"));
    connect(m_setButton, &QPushButton::clicked, this, &RtpChannelsPage::onClickSetButton);
    connect(m_setAllButton, &QPushButton::clicked, this, &RtpChannelsPage::onClickSetAllButton);
}

void RtpChannelsPage::showDevice(DeviceRecord* device)
{
    if (!device) {
        m_header->clear();
        return;
    }
    m_header->setText(QStringLiteral("%1 %2-%3").arg(translated("Current Device"), device->name(), device->uid()));
    if (m_readJob)
        return;
    std::unique_ptr<ReadRtpChannelsJob> job(new ReadRtpChannelsJob(jobParent(), m_client));
    job->setDevice(device);
    m_readJob = job.get();
    job->centerOn(jobParent());
    job->start();
    const bool accepted = job->exec() == QDialog::Accepted;
    m_readJob = nullptr;
    if (!accepted)
        return;
    m_channels = job->channels();
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

void RtpChannelsPage::onClickSetButton(bool)
{
    if (!currentDevice())
        return;
    runWrite({currentDevice()}, false);
}

void RtpChannelsPage::onClickSetAllButton(bool)
{
    runWrite(targetDevices(), true);
}

void RtpChannelsPage::runWrite(const QList<DeviceRecord*>& devices, bool setAll)
{
    if (readEdits())
        runTask(DeviceTasks::writeRtp(m_channels), devices, setAll);
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
    m_setButton->setGeometry(100, 230, 100, 30);
    m_setAllButton->setGeometry(400, 230, 100, 30);
}
