#include "OrvaneMacSettingWidget.h"

#include "OrvaneDevice.h"
#include "OrvaneMacSettingDialog.h"
#include "OrvaneSettingRules.h"
#include "VyLanguage.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

OrvaneMacSettingWidget::OrvaneMacSettingWidget(QWidget* parent, OrvaneSDK* sdk, OrvaneDeviceModel* model)
    : OrvaneSettingWidget(parent, sdk, model), m_deviceLabel(new QLabel(this)), m_promptLabel(new QLabel(this)),
      m_valueEdit(new QLineEdit(this)), m_setButton(new QPushButton(this)), m_setAllButton(new QPushButton(this))
{
    setObjectName(QStringLiteral("macPage"));
    m_deviceLabel->setObjectName(QStringLiteral("deviceLabel"));
    m_valueEdit->setObjectName(QStringLiteral("macEdit"));
    m_setButton->setObjectName(QStringLiteral("setButton"));
    m_setAllButton->setObjectName(QStringLiteral("setAllButton"));
    m_promptLabel->setText(vyTr("Please input device mac"));
    m_setButton->setText(vyTr("Set"));
    m_setAllButton->setText(vyTr("Set All"));
    connect(m_setButton, &QPushButton::clicked, this, &OrvaneMacSettingWidget::onClickSetButton);
    connect(m_setAllButton, &QPushButton::clicked, this, &OrvaneMacSettingWidget::onClickSetAllButton);
}

void OrvaneMacSettingWidget::showDevice(OrvaneDevice* device)
{
    if (!device) {
        m_deviceLabel->clear();
        m_valueEdit->clear();
        return;
    }
    m_deviceLabel->setText(QStringLiteral("%1 %2-%3").arg(vyTr("Current Device"), device->name(), device->uid()));
    m_valueEdit->setText(device->mac());
}

void OrvaneMacSettingWidget::onClickSetButton(bool)
{
    if (!currentDevice())
        return;
    const QString mac = m_valueEdit->text();
    if (mac.isEmpty()) {
        showToast(vyTr("Please input device mac"));
        return;
    }
    runMacs({currentDevice()}, {mac});
}

void OrvaneMacSettingWidget::onClickSetAllButton(bool)
{
    if (!currentDevice())
        return;
    QString mac = m_valueEdit->text().toLower();
    // The counter works on a 31-character buffer; a longer text is no MAC
    // address anyway, and counting it up would run past the buffer.
    if (mac.isEmpty() || mac.size() > OrvaneSettingRules::MaxMacTextLength) {
        showToast(vyTr("Please input device mac"));
        return;
    }
    const QList<OrvaneDevice*> devices = targetDevices();
    QStringList macs;
    for (int i = 0; i < devices.size(); ++i) {
        macs.append(mac);
        mac = OrvaneSettingRules::macSuccessor(mac);
    }
    runMacs(devices, macs);
}

void OrvaneMacSettingWidget::runMacs(const QList<OrvaneDevice*>& devices, const QStringList& macs)
{
    auto* job = new OrvaneMacSettingDialog(jobParent(), m_sdk);
    job->setLists(devices, macs);
    runJob(job);
}

void OrvaneMacSettingWidget::resizeEvent(QResizeEvent* event)
{
    OrvaneSettingWidget::resizeEvent(event);
    const int w = width();
    m_deviceLabel->setGeometry(10, 10, w - 20, 20);
    m_promptLabel->setGeometry(10, 40, 200, 20);
    m_valueEdit->setGeometry(220, 40, 150, 20);
    m_setButton->setGeometry(100, 150, 100, 30);
    m_setAllButton->setGeometry(400, 150, 100, 30);
}
