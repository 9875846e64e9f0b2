#pragma once

#include "PageJob.h"

#include <QString>

// Gives every device the same web account and password digest.
class SetWebAccountJob : public PageJob
{
    Q_OBJECT

public:
    SetWebAccountJob(QWidget* parent, ProtocolClient* sdk);
    ~SetWebAccountJob() override;

    // digest is what the device stores and the record keeps: the password's
    // MD5 digest as lower-case hexadecimal text.
    void setLists(const QList<DeviceRecord*>& devices, const QString& account, const QString& digest);
    void run() override;

private:
    QString m_account;
    QString m_digest;
};
