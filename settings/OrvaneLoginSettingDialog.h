#pragma once

#include "OrvaneSettingDialog.h"

#include <QString>

// Gives every device the same web account and password digest.
class OrvaneLoginSettingDialog : public OrvaneSettingDialog
{
    Q_OBJECT

public:
    OrvaneLoginSettingDialog(QWidget* parent, OrvaneSDK* sdk);
    ~OrvaneLoginSettingDialog() override;

    // digest is what the device stores and the record keeps: the password's
    // MD5 digest as lower-case hexadecimal text.
    void setLists(const QList<OrvaneDevice*>& devices, const QString& account, const QString& digest);
    void run() override;

private:
    QString m_account;
    QString m_digest;
};
