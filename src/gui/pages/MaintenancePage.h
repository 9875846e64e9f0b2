#pragma once

#include "SettingsPage.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace orvane {

// Maintenance of the current device or of the target devices: the web
// account and password, factory reset and reboot.
class MaintenancePage : public SettingsPage
{
    Q_OBJECT

public:
    MaintenancePage(QWidget* parent, ProtocolClient* client, DeviceTableModel* model);

    void showDevice(DeviceRecord* device) override;

    // What devices receive and records keep instead of the typed password.
    static QString passwordDigest(const QString& password);

protected:
    void resizeEvent(QResizeEvent* event) override;

private slots:
    void onClickLoginSetButton(bool checked);
    void onClickLoginSetAllButton(bool checked);
    void onClickRestoreSetButton(bool checked);
    void onClickRestoreSetAllButton(bool checked);
    void onClickRebootSetButton(bool checked);
    void onClickRebootSetAllButton(bool checked);

private:
    void runLogin(const QList<DeviceRecord*>& devices, bool setAll);
    QPushButton* makeButton(const char* name, const char* text);

    QLabel* m_deviceLabel;
    QLabel* m_accountLabel;
    QLineEdit* m_accountEdit;
    QLabel* m_passwordLabel;
    QLineEdit* m_passwordEdit;
    QPushButton* m_loginSetButton;
    QPushButton* m_loginSetAllButton;
    QPushButton* m_restoreButton;
    QPushButton* m_restoreAllButton;
    QPushButton* m_rebootButton;
    QPushButton* m_rebootAllButton;
};

} // namespace orvane
