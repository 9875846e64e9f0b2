#include "NamePage.h"

#include "BatchRules.h"
#include "DeviceRecord.h"
#include "DeviceTasks.h"
#include "Language.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace orvane {

NamePage::NamePage(QWidget* parent, ProtocolClient* client, DeviceTableModel* model)
    : SettingsPage(parent, client, model), m_deviceLabel(new QLabel(this)), m_promptLabel(new QLabel(this)),
      m_valueEdit(new QLineEdit(this)), m_previewLabel(new QLabel(this)), m_setButton(new QPushButton(this)),
      m_setAllButton(new QPushButton(this))
{
    setObjectName(QStringLiteral("namePage"));
    m_deviceLabel->setObjectName(QStringLiteral("deviceLabel"));
    m_valueEdit->setObjectName(QStringLiteral("nameEdit"));
    m_setButton->setObjectName(QStringLiteral("setButton"));
    m_setAllButton->setObjectName(QStringLiteral("setAllButton"));
    m_promptLabel->setText(translated("Please input device name"));
    m_setButton->setText(translated("Set"));
    m_setAllButton->setText(translated("Set All"));
    connect(m_setButton, &QPushButton::clicked, this, &NamePage::onClickSetButton);
    connect(m_setAllButton, &QPushButton::clicked, this, &NamePage::onClickSetAllButton);
    m_previewLabel->setObjectName(QStringLiteral("numberingPreview"));
    connect(m_valueEdit, &QLineEdit::textChanged, this, &NamePage::updatePreview);
}

void NamePage::updatePreview()
{
    // "{n}" numbers the devices of a Set All; the operator sees the first and
    // last name before anything is sent.
    const QString pattern = m_valueEdit->text();
    const int count = targetDevices().size();
    if (!BatchRules::hasNumbering(pattern) || count == 0) {
        m_previewLabel->clear();
        return;
    }
    m_previewLabel->setText(translated("Set All: %1 ... %2")
                                .arg(BatchRules::numbered(pattern, 0), BatchRules::numbered(pattern, count - 1)));
}

void NamePage::showDevice(DeviceRecord* device)
{
    if (!device) {
        m_deviceLabel->clear();
        m_valueEdit->clear();
        return;
    }
    m_deviceLabel->setText(QStringLiteral("%1 %2-%3").arg(translated("Current Device"), device->name(), device->uid()));
    m_valueEdit->setText(device->name());
}

void NamePage::onClickSetButton(bool)
{
    if (!currentDevice())
        return;
    const QString name = m_valueEdit->text();
    if (name.isEmpty()) {
        showToast(translated("Please input device name"));
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
        showToast(translated("Please input device name"));
        return;
    }
    const QList<DeviceRecord*> devices = targetDevices();
    QStringList names;
    for (int i = 0; i < devices.size(); ++i)
        names << BatchRules::numbered(name, i);
    runTask(DeviceTasks::setName(names), devices, true);
}

void NamePage::resizeEvent(QResizeEvent* event)
{
    SettingsPage::resizeEvent(event);
    const int w = width();
    m_deviceLabel->setGeometry(10, 10, w - 20, 20);
    const int x = placePrompt(m_promptLabel, 200);
    m_valueEdit->setGeometry(x, 40, 250, 20);
    m_previewLabel->setGeometry(x + 260, 40, w - x - 270, 20);
    m_setButton->setGeometry(100, 150, 100, 30);
    m_setAllButton->setGeometry(400, 150, 100, 30);
}

} // namespace orvane
