#include "NamePage.h"

#include "DeviceRecord.h"
#include "DeviceTasks.h"
#include "Language.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

NamePage::NamePage(QWidget* parent, ProtocolClient* sdk, DeviceTableModel* model)
    : SettingsPage(parent, sdk, model), m_deviceLabel(new QLabel(this)), m_promptLabel(new QLabel(this)),
      m_valueEdit(new QLineEdit(this)), m_setButton(new QPushButton(this)), m_setAllButton(new QPushButton(this))
{
    setObjectName(QStringLiteral("namePage"));
    m_deviceLabel->setObjectName(QStringLiteral("deviceLabel"));
    m_valueEdit->setObjectName(QStringLiteral("nameEdit"));
    m_setButton->setObjectName(QStringLiteral("setButton"));
    m_setAllButton->setObjectName(QStringLiteral("setAllButton"));
    m_promptLabel->setText(vyTr("Please input device name"));
    m_setButton->setText(vyTr("Set"));
    m_setAllButton->setText(vyTr("Set All"));
    connect(m_setButton, &QPushButton::clicked, this, &NamePage::onClickSetButton);
    connect(m_setAllButton, &QPushButton::clicked, this, &NamePage::onClickSetAllButton);
}

void NamePage::showDevice(DeviceRecord* device)
{
    if (!device) {
        m_deviceLabel->clear();
        m_valueEdit->clear();
        return;
    }
    m_deviceLabel->setText(QStringLiteral("%1 %2-%3").arg(vyTr("Current Device"), device->name(), device->uid()));
    m_valueEdit->setText(device->name());
}

void NamePage::onClickSetButton(bool)
{
    if (!currentDevice())
        return;
    const QString name = m_valueEdit->text();
    if (name.isEmpty()) {
        showToast(vyTr("Please input device name"));
        return;
    }
    runTask(DeviceTasks::setName({name}), {currentDevice()}, false);
}

void NamePage::onClickSetAllButton(bool)
{
    if (!currentDevice())
        return;
    const QString name = m_valueEdit->text();
    if (name.isEmpty()) {
        showToast(vyTr("Please input device name"));
        return;
    }
    const QList<DeviceRecord*> devices = targetDevices();
    runTask(DeviceTasks::setName(QVector<QString>(devices.size(), name).toList()), devices, true);
}

void NamePage::resizeEvent(QResizeEvent* event)
{
    SettingsPage::resizeEvent(event);
    const int w = width();
    m_deviceLabel->setGeometry(10, 10, w - 20, 20);
    m_promptLabel->setGeometry(10, 40, 200, 20);
    m_valueEdit->setGeometry(220, 40, 100, 20);
    m_setButton->setGeometry(100, 150, 100, 30);
    m_setAllButton->setGeometry(400, 150, 100, 30);
}
