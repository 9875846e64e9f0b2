#include "MacPage.h"

#include "DeviceRecord.h"
#include "DeviceTableModel.h"
#include "DeviceTasks.h"
#include "BatchRules.h"
#include "Language.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace orvane {

MacPage::MacPage(QWidget* parent, ProtocolClient* client, DeviceTableModel* model)
    : SettingsPage(parent, client, model), m_deviceLabel(new QLabel(this)), m_promptLabel(new QLabel(this)),
      m_valueEdit(new QLineEdit(this)), m_setButton(new QPushButton(this)), m_setAllButton(new QPushButton(this))
{
    setObjectName(QStringLiteral("macPage"));
    m_deviceLabel->setObjectName(QStringLiteral("deviceLabel"));
    m_valueEdit->setObjectName(QStringLiteral("macEdit"));
    m_setButton->setObjectName(QStringLiteral("setButton"));
    m_setAllButton->setObjectName(QStringLiteral("setAllButton"));
    m_promptLabel->setText(translated("Please input device mac"));
    m_setButton->setText(translated("Set"));
    m_setAllButton->setText(translated("Set All"));
    connect(m_setButton, &QPushButton::clicked, this, &MacPage::onClickSetButton);
    connect(m_setAllButton, &QPushButton::clicked, this, &MacPage::onClickSetAllButton);
}

void MacPage::showDevice(DeviceRecord* device)
{
    if (!device) {
        m_deviceLabel->clear();
        m_valueEdit->clear();
        return;
    }
    m_deviceLabel->setText(QStringLiteral("%1 %2-%3").arg(translated("Current Device"), device->name(), device->uid()));
    m_valueEdit->setText(device->mac());
}

void MacPage::onClickSetButton(bool)
{
    if (!currentDevice())
        return;
    const QString mac = m_valueEdit->text();
    if (mac.isEmpty()) {
        showToast(translated("Please input device mac"));
        return;
    }
    if (!checkPlan({currentDevice()}, {mac}))
        return;
    // A new address moves the device: asked first, like any batch.
    runTask(DeviceTasks::setMac({mac}), {currentDevice()}, false, true);
}

void MacPage::onClickSetAllButton(bool)
{
    if (!currentDevice())
        return;
    const QString mac = m_valueEdit->text().toLower();
    // The counter works on a 31-character buffer; a longer text is no MAC
    // address anyway, and counting it up would run past the buffer.
    if (mac.isEmpty() || mac.size() > BatchRules::MaxMacTextLength) {
        showToast(translated("Please input device mac"));
        return;
    }
    const QList<DeviceRecord*> devices = targetDevices();
    const QStringList macs = BatchRules::macSequence(mac, devices.size());
    if (!checkPlan(devices, macs))
        return;
    runTask(DeviceTasks::setMac(macs), devices, true);
}

bool MacPage::checkPlan(const QList<DeviceRecord*>& devices, const QStringList& macs)
{
    // Checked here, before anything is sent: a device given a malformed MAC, or
    // one another device holds, answers no more or answers for two.
    QList<BatchRules::Planned> plan;
    for (int i = 0; i < devices.size(); ++i)
        plan.append({devices.at(i)->mac(), macs.value(i)});
    QList<BatchRules::Holder> listed;
    if (m_model)
        for (const DeviceRecord* d : m_model->devices())
            listed.append({d->mac(), d->ip(), d->name()});
    const QStringList problems = BatchRules::macPlanProblems(plan, listed);
    if (!problems.isEmpty())
        showToast(problems.first());
    return problems.isEmpty();
}

void MacPage::resizeEvent(QResizeEvent* event)
{
    SettingsPage::resizeEvent(event);
    const int w = width();
    m_deviceLabel->setGeometry(10, 10, w - 20, 20);
    m_valueEdit->setGeometry(placePrompt(m_promptLabel, 200), 40, 150, 20);
    m_setButton->setGeometry(100, 150, 100, 30);
    m_setAllButton->setGeometry(400, 150, 100, 30);
}

} // namespace orvane
