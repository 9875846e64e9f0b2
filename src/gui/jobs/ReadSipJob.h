#pragma once

#include "SipAccountSettings.h"
#include "ProgressDialog.h"

class DeviceRecord;
class ProtocolClient;

// Reads both SIP accounts of one device. Closing it does not cut the wait
// short; the command ends within its reply time.
class ReadSipJob : public ProgressDialog
{
    Q_OBJECT

public:
    // device is retained for the job's life.
    ReadSipJob(QWidget* parent, ProtocolClient* client, DeviceRecord* device);
    ~ReadSipJob() override;

    void run() override;
    // Closing the job must not freeze the window for a silent device's reply time.
    void abortWork() override;

    // What the device answered, once the job has ended by itself; an account
    // that the reply lacks (or every account, without a reply) stays empty.
    SipAccountSettings account1() const { return m_account1; }
    SipAccountSettings account2() const { return m_account2; }

private:
    ProtocolClient* m_client;
    DeviceRecord* m_device;
    // Written by the worker only, read after it has been stopped.
    SipAccountSettings m_account1;
    SipAccountSettings m_account2;
};
