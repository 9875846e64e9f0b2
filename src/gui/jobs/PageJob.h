#pragma once

#include "ProgressDialog.h"

#include <QList>

class DeviceRecord;
class ProtocolClient;

// Base of the settings jobs: a busy dialog whose worker sends one command per
// target device, writes what a device accepted back into its record, and
// closes itself. Closing it cancels the command in flight and skips the rest.
//
// Subclasses keep their values in lists indexed like devices(), filled before
// start() and left alone while the job runs, and call stop() in their own
// destructor since run() reads them.
class PageJob : public ProgressDialog
{
    Q_OBJECT

public:
    PageJob(QWidget* parent, ProtocolClient* client);
    ~PageJob() override;

    void abortWork() override;

    // Each record is retained for the job's life.
    void setDevices(const QList<DeviceRecord*>& devices);
    QList<DeviceRecord*> devices() const { return m_devices; }
    ProtocolClient* client() const { return m_client; }

private:
    void releaseDevices();

    ProtocolClient* m_client;
    QList<DeviceRecord*> m_devices;
};
