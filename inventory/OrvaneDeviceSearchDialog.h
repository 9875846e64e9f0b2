#pragma once

#include "VyProgressDialog.h"

#include <QList>

class OrvaneDevice;
class OrvaneSDK;

// The search job: one broadcast search, then only the accepted models, each
// device once, ordered by MAC. Shows a busy bar while the answers come in.
class OrvaneDeviceSearchDialog : public VyProgressDialog
{
    Q_OBJECT

public:
    OrvaneDeviceSearchDialog(QWidget* parent, OrvaneSDK* sdk);
    ~OrvaneDeviceSearchDialog() override;

    void run() override;
    void abortWork() override;

    // The records of the last run; the references stay with the dialog.
    QList<OrvaneDevice*> foundDevices() const { return m_found; }

    int timeout() const { return m_timeout; }
    void setTimeout(int milliseconds) { m_timeout = milliseconds; }
    bool alarmTest() const { return m_alarmTest != 0; }

private:
    void releaseFound();

    OrvaneSDK* m_sdk;
    QList<OrvaneDevice*> m_found; // written by the worker, read after it has ended
    int m_timeout;
    int m_alarmTest;
};
