#pragma once

#include "PageJob.h"
#include "SipAccountSettings.h"

// Gives every device the same two SIP accounts and updates the summary the
// table shows for the devices that accepted them.
class WriteSipJob : public PageJob
{
    Q_OBJECT

public:
    WriteSipJob(QWidget* parent, ProtocolClient* sdk);
    ~WriteSipJob() override;

    void setLists(const QList<DeviceRecord*>& devices, const SipAccountSettings& account1,
                  const SipAccountSettings& account2);
    void run() override;

private:
    SipAccountSettings m_account1;
    SipAccountSettings m_account2;
};
