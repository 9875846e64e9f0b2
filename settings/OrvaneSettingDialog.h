#pragma once

#include "VyProgressDialog.h"

#include <QList>

class OrvaneDevice;
class OrvaneSDK;

// Base of the settings jobs: a busy dialog whose worker sends one command per
// target device, writes what a device accepted back into its record, and
// closes itself. Closing it cancels the command in flight and skips the rest.
//
// Subclasses keep their values in lists indexed like devices(), filled before
// start() and left alone while the job runs, and call stop() in their own
// destructor since run() reads them.
class OrvaneSettingDialog : public VyProgressDialog
{
    Q_OBJECT

public:
    OrvaneSettingDialog(QWidget* parent, OrvaneSDK* sdk);
    ~OrvaneSettingDialog() override;

    void abortWork() override;

    // Each record is retained for the job's life.
    void setDevices(const QList<OrvaneDevice*>& devices);
    QList<OrvaneDevice*> devices() const { return m_devices; }
    OrvaneSDK* sdk() const { return m_sdk; }

private:
    void releaseDevices();

    OrvaneSDK* m_sdk;
    QList<OrvaneDevice*> m_devices;
};
