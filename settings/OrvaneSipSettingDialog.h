#pragma once

#include "OrvaneSettingDialog.h"
#include "SipSettings.h"

// Gives every device the same two SIP accounts and updates the summary the
// table shows for the devices that accepted them.
class OrvaneSipSettingDialog : public OrvaneSettingDialog
{
    Q_OBJECT

public:
    OrvaneSipSettingDialog(QWidget* parent, OrvaneSDK* sdk);
    ~OrvaneSipSettingDialog() override;

    void setLists(const QList<OrvaneDevice*>& devices, const SipSettings& account1,
                  const SipSettings& account2);
    void run() override;

private:
    SipSettings m_account1;
    SipSettings m_account2;
};
