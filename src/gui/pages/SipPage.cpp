#include "SipPage.h"

#include "BatchRules.h"

#include "DeviceRecord.h"
#include "DeviceTasks.h"
#include "JobDialog.h"
#include "Language.h"

#include <QLabel>
#include <QLineEdit>
#include <memory>

namespace orvane {

namespace {
const char* const FieldNames[SipPage::FieldCount] = {"User Name", "Password", "Display Name",
                                                                    "Server Host", "Server Port"};
const char* const EditNames[SipPage::FieldCount] = {"account", "password", "displayName",
                                                                   "serverHost", "serverPort"};
const int ColumnXs[2] = {10, 460};
const int EditOffset = 130;
const int RowYs[SipPage::FieldCount] = {70, 100, 130, 160, 190};
} // namespace

SipPage::SipPage(QWidget* parent, ProtocolClient* client, DeviceTableModel* model)
    : SettingsPage(parent, client, model), m_header(new QLabel(this))
{
    setObjectName(QStringLiteral("sipPage"));
    m_header->setObjectName(QStringLiteral("deviceLabel"));
    buildColumn(m_columns[0], 1);
    buildColumn(m_columns[1], 2);
    addSetButtons();
}

void SipPage::buildColumn(Column& column, int number)
{
    column.title = new QLabel(QStringLiteral("%1 %2").arg(translated("Sip Account")).arg(number), this);
    for (int i = 0; i < FieldCount; ++i) {
        column.labels[i] = new QLabel(translated(FieldNames[i]), this);
        column.edits[i] = new QLineEdit(this);
        // "account1Edit", "serverPort2Edit", ...
        column.edits[i]->setObjectName(
            QStringLiteral("%1%2Edit").arg(QLatin1String(EditNames[i])).arg(number));
    }
}

void SipPage::fill(Column& column, const SipAccountSettings& sip)
{
    const QString values[FieldCount] = {sip.account, sip.password, sip.displayName, sip.serverHost,
                                        sip.serverPort};
    for (int i = 0; i < FieldCount; ++i)
        column.edits[i]->setText(values[i]);
}

SipAccountSettings SipPage::read(const Column& column)
{
    SipAccountSettings sip;
    sip.account = column.edits[0]->text();
    sip.password = column.edits[1]->text();
    sip.displayName = column.edits[2]->text();
    sip.serverHost = column.edits[3]->text();
    sip.serverPort = column.edits[4]->text();
    return sip;
}

void SipPage::showDevice(DeviceRecord* device)
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
    auto read = std::make_shared<DeviceTasks::SipRead>();
    runDeviceJob(jobParent(), *m_client, DeviceTasks::readSip(read), {device}, {});
    m_reading = false;
    if (!read->done)
        return;
    fill(m_columns[0], read->account1);
    fill(m_columns[1], read->account2);
}

bool SipPage::fieldsTask(DeviceJob::Task* task)
{
    for (const Column& column : m_columns) {
        const QString port = column.edits[4]->text();
        if (!port.isEmpty() && !BatchRules::isValidPort(port.toInt())) {
            showToast(translated("The server port must be a number from 1 to 65535"));
            return false;
        }
    }
    *task = DeviceTasks::writeSip(read(m_columns[0]), read(m_columns[1]));
    return true;
}

void SipPage::resizeEvent(QResizeEvent* event)
{
    SettingsPage::resizeEvent(event);
    m_header->setGeometry(10, 10, width() - 20, 20);
    for (int c = 0; c < 2; ++c) {
        const int x = ColumnXs[c];
        m_columns[c].title->setGeometry(x, 40, 200, 20);
        for (int i = 0; i < FieldCount; ++i) {
            m_columns[c].labels[i]->setGeometry(x, RowYs[i], 120, 20);
            m_columns[c].edits[i]->setGeometry(x + EditOffset, RowYs[i], 220, 20);
        }
    }
    placeSetButtons(230);
}

} // namespace orvane
