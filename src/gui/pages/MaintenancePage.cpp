#include "MaintenancePage.h"

#include "BatchRules.h"

#include "DeviceRecord.h"
#include "DeviceTasks.h"
#include "Language.h"

#include <QDebug>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace orvane {

namespace {
const int ButtonWidth = 120;
const int ButtonHeight = 30;
const int LeftButtonX = 90;
const int RightButtonX = 390;
const int DefaultLabelWidth = 60;
} // namespace

MaintenancePage::MaintenancePage(QWidget* parent, ProtocolClient* client, DeviceTableModel* model)
    : SettingsPage(parent, client, model), m_deviceLabel(new QLabel(this)),
      m_accountLabel(new QLabel(translated("Account"), this)), m_accountEdit(new QLineEdit(this)),
      m_passwordLabel(new QLabel(translated("Password"), this)), m_passwordEdit(new QLineEdit(this)),
      m_loginSetButton(makeButton("loginSetButton", "Set")),
      m_loginSetAllButton(makeButton("loginSetAllButton", "Set All")),
      m_restoreButton(makeButton("restoreButton", "Restore")),
      m_restoreAllButton(makeButton("restoreAllButton", "Restore all")),
      m_rebootButton(makeButton("rebootButton", "Reboot")),
      m_rebootAllButton(makeButton("rebootAllButton", "Reboot all"))
{
    setObjectName(QStringLiteral("testPage"));
    m_deviceLabel->setObjectName(QStringLiteral("deviceLabel"));
    m_accountEdit->setObjectName(QStringLiteral("accountEdit"));
    m_passwordEdit->setObjectName(QStringLiteral("passwordEdit"));
    connect(m_loginSetButton, &QPushButton::clicked, this, &MaintenancePage::onClickLoginSetButton);
    connect(m_loginSetAllButton, &QPushButton::clicked, this,
            &MaintenancePage::onClickLoginSetAllButton);
    connect(m_restoreButton, &QPushButton::clicked, this, &MaintenancePage::onClickRestoreSetButton);
    connect(m_restoreAllButton, &QPushButton::clicked, this,
            &MaintenancePage::onClickRestoreSetAllButton);
    connect(m_rebootButton, &QPushButton::clicked, this, &MaintenancePage::onClickRebootSetButton);
    connect(m_rebootAllButton, &QPushButton::clicked, this,
            &MaintenancePage::onClickRebootSetAllButton);
}

QPushButton* MaintenancePage::makeButton(const char* name, const char* text)
{
    auto* button = new QPushButton(translated(text), this);
    button->setObjectName(QLatin1String(name));
    return button;
}

QString MaintenancePage::passwordDigest(const QString& password)
{
    return BatchRules::passwordDigest(password);
}

void MaintenancePage::showDevice(DeviceRecord* device)
{
    // The stored password is a digest; showing it would invite sending it as a password.
    m_passwordEdit->clear();
    if (!device) {
        m_deviceLabel->clear();
        m_accountEdit->clear();
        return;
    }
    m_deviceLabel->setText(
        QStringLiteral("%1 %2-%3").arg(translated("Current Device"), device->name(), device->uid()));
    m_accountEdit->setText(device->account());
}

void MaintenancePage::onClickLoginSetButton(bool)
{
    if (!currentDevice())
        return;
    runLogin({currentDevice()}, false);
}

void MaintenancePage::onClickLoginSetAllButton(bool)
{
    runLogin(targetDevices(), true);
}

void MaintenancePage::runLogin(const QList<DeviceRecord*>& devices, bool setAll)
{
    const QString account = m_accountEdit->text();
    const QString password = m_passwordEdit->text();
    if (account.isEmpty()) {
        showToast(translated("Please input account"));
        return;
    }
    if (password.isEmpty()) {
        showToast(translated("Please input password"));
        return;
    }
    runTask(DeviceTasks::setWebAccount(account, passwordDigest(password)), devices, setAll);
}

// Both destroy what the device had, so even a single one is asked first.
void MaintenancePage::onClickRestoreSetButton(bool)
{
    if (currentDevice())
        runTask(DeviceTasks::factoryReset(), {currentDevice()}, false, true);
}

void MaintenancePage::onClickRestoreSetAllButton(bool)
{
    runTask(DeviceTasks::factoryReset(), targetDevices(), true);
}

void MaintenancePage::onClickRebootSetButton(bool)
{
    if (currentDevice())
        runTask(DeviceTasks::reboot(), {currentDevice()}, false, true);
}

void MaintenancePage::onClickRebootSetAllButton(bool)
{
    runTask(DeviceTasks::reboot(), targetDevices(), true);
}

void MaintenancePage::resizeEvent(QResizeEvent* event)
{
    SettingsPage::resizeEvent(event);
    m_deviceLabel->setGeometry(10, 10, width() - 20, 20);
    const int w0 = m_accountLabel->width();
    const int w1 = m_passwordLabel->width();
    const int labelWidth = w0 == 0 && w1 == 0 ? DefaultLabelWidth : qMax(w0, w1);
    m_accountLabel->setGeometry(10, 40, labelWidth, 20);
    m_accountEdit->setGeometry(m_accountLabel->geometry().right() + 10, 40, 150, 20);
    m_passwordLabel->setGeometry(10, 80, labelWidth, 20);
    m_passwordEdit->setGeometry(m_passwordLabel->geometry().right() + 10, 80, 150, 20);
    // As wide as the longest caption needs ("Factory reset all" in a large font).
    const QPushButton* const buttons[] = {m_loginSetButton, m_loginSetAllButton, m_restoreButton,
                                          m_restoreAllButton, m_rebootButton,    m_rebootAllButton};
    int buttonWidth = ButtonWidth;
    for (const QPushButton* button : buttons)
        buttonWidth = qMax(buttonWidth, button->sizeHint().width());
    m_loginSetButton->setGeometry(LeftButtonX, 120, buttonWidth, ButtonHeight);
    m_loginSetAllButton->setGeometry(RightButtonX, 120, buttonWidth, ButtonHeight);
    m_restoreButton->setGeometry(LeftButtonX, 160, buttonWidth, ButtonHeight);
    m_restoreAllButton->setGeometry(RightButtonX, 160, buttonWidth, ButtonHeight);
    m_rebootButton->setGeometry(LeftButtonX, 200, buttonWidth, ButtonHeight);
    m_rebootAllButton->setGeometry(RightButtonX, 200, buttonWidth, ButtonHeight);
}

} // namespace orvane
