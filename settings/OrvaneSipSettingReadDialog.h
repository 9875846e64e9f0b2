#pragma once

#include "SipSettings.h"
#include "VyProgressDialog.h"

class OrvaneDevice;
class OrvaneSDK;

// Reads both SIP accounts of one device. Closing it does not cut the wait
// short; the command ends within its reply time.
class OrvaneSipSettingReadDialog : public VyProgressDialog
{
    Q_OBJECT

public:
    // device is retained for the job's life.
    OrvaneSipSettingReadDialog(QWidget* parent, OrvaneSDK* sdk, OrvaneDevice* device);
    ~OrvaneSipSettingReadDialog() override;

    void run() override;
    // Closing the job must not freeze the window for a silent device's reply time.
    void abortWork() override;

    // What the device answered, once the job has ended by itself; an account
    // that the reply lacks (or every account, without a reply) stays empty.
    SipSettings account1() const { return m_account1; }
    SipSettings account2() const { return m_account2; }

private:
    OrvaneSDK* m_sdk;
    OrvaneDevice* m_device;
    // Written by the worker only, read after it has been stopped.
    SipSettings m_account1;
    SipSettings m_account2;
};
