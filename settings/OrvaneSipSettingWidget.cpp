#include "OrvaneSipSettingWidget.h"

#include "OrvaneDevice.h"
#include "OrvaneSipSettingDialog.h"
#include "OrvaneSipSettingReadDialog.h"
#include "VyLanguage.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <memory>

namespace {
const char* const FieldNames[OrvaneSipSettingWidget::FieldCount] = {"User Name", "Password", "Display Name",
                                                                    "Server Host", "Server Port"};
const char* const EditNames[OrvaneSipSettingWidget::FieldCount] = {"account", "password", "displayName",
                                                                   "serverHost", "serverPort"};
const int ColumnXs[2] = {10, 460};
const int EditOffset = 130;
const int RowYs[OrvaneSipSettingWidget::FieldCount] = {70, 100, 130, 160, 190};
} // namespace

OrvaneSipSettingWidget::OrvaneSipSettingWidget(QWidget* parent, OrvaneSDK* sdk, OrvaneDeviceModel* model)
    : OrvaneSettingWidget(parent, sdk, model), m_header(new QLabel(this))
{
    setObjectName(QStringLiteral("sipPage"));
    m_header->setObjectName(QStringLiteral("deviceLabel"));
    buildColumn(m_columns[0], 1);
    buildColumn(m_columns[1], 2);
    m_setButton = new QPushButton(vyTr("Set"), this);
    m_setAllButton = new QPushButton(vyTr("Set All"), this);
    m_setButton->setObjectName(QStringLiteral("setButton"));
    m_setAllButton->setObjectName(QStringLiteral("setAllButton"));
    connect(m_setButton, &QPushButton::clicked, this, &OrvaneSipSettingWidget::onClickSetButton);
    connect(m_setAllButton, &QPushButton::clicked, this, &OrvaneSipSettingWidget::onClickSetAllButton);
}

void OrvaneSipSettingWidget::buildColumn(Column& column, int number)
{
    column.title = new QLabel(QStringLiteral("%1 %2").arg(vyTr("Sip Account")).arg(number), this);
    for (int i = 0; i < FieldCount; ++i) {
        column.labels[i] = new QLabel(vyTr(FieldNames[i]), this);
        column.edits[i] = new QLineEdit(this);
        // "account1Edit", "serverPort2Edit", ...
        column.edits[i]->setObjectName(
            QStringLiteral("%1%2Edit").arg(QLatin1String(EditNames[i])).arg(number));
    }
}

void OrvaneSipSettingWidget::fill(Column& column, const SipSettings& sip)
{
    const QString values[FieldCount] = {sip.account, sip.password, sip.displayName, sip.serverHost,
                                        sip.serverPort};
    for (int i = 0; i < FieldCount; ++i)
        column.edits[i]->setText(values[i]);
}

SipSettings OrvaneSipSettingWidget::read(const Column& column)
{
    SipSettings sip;
    sip.account = column.edits[0]->text();
    sip.password = column.edits[1]->text();
    sip.displayName = column.edits[2]->text();
    sip.serverHost = column.edits[3]->text();
    sip.serverPort = column.edits[4]->text();
    return sip;
}

void OrvaneSipSettingWidget::showDevice(OrvaneDevice* device)
{
    if (!device) {
        m_header->clear();
        return;
    }
    m_header->setText(QStringLiteral("%1 %2-%3").arg(vyTr("Current Device"), device->name(), device->uid()));
    if (m_readJob)
        return;
    m_account1.clear();
    m_account2.clear();
    std::unique_ptr<OrvaneSipSettingReadDialog> job(
        new OrvaneSipSettingReadDialog(jobParent(), m_sdk, device));
    m_readJob = job.get();
    job->centerOn(jobParent());
    job->start();
    const bool accepted = job->exec() == QDialog::Accepted;
    m_readJob = nullptr;
    if (!accepted)
        return;
    m_account1 = job->account1();
    m_account2 = job->account2();
    fill(m_columns[0], m_account1);
    fill(m_columns[1], m_account2);
}

void OrvaneSipSettingWidget::onClickSetButton(bool)
{
    if (!currentDevice())
        return;
    runWrite({currentDevice()});
}

void OrvaneSipSettingWidget::onClickSetAllButton(bool)
{
    runWrite(targetDevices());
}

void OrvaneSipSettingWidget::runWrite(const QList<OrvaneDevice*>& devices)
{
    auto* job = new OrvaneSipSettingDialog(jobParent(), m_sdk);
    job->setLists(devices, read(m_columns[0]), read(m_columns[1]));
    runJob(job);
}

void OrvaneSipSettingWidget::resizeEvent(QResizeEvent* event)
{
    OrvaneSettingWidget::resizeEvent(event);
    m_header->setGeometry(10, 10, width() - 20, 20);
    for (int c = 0; c < 2; ++c) {
        const int x = ColumnXs[c];
        m_columns[c].title->setGeometry(x, 40, 200, 20);
        for (int i = 0; i < FieldCount; ++i) {
            m_columns[c].labels[i]->setGeometry(x, RowYs[i], 120, 20);
            m_columns[c].edits[i]->setGeometry(x + EditOffset, RowYs[i], 220, 20);
        }
    }
    m_setButton->setGeometry(100, 230, 100, 30);
    m_setAllButton->setGeometry(400, 230, 100, 30);
}
