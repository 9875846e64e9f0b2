#pragma once

#include "ProgressDialog.h"

#include <QList>

class DeviceRecord;
class ProtocolClient;

// The search job: one broadcast search, then only the accepted models, each
// device once, ordered by MAC. Shows a busy bar while the answers come in.
class SearchDialog : public ProgressDialog
{
    Q_OBJECT

public:
    SearchDialog(QWidget* parent, ProtocolClient* client);
    ~SearchDialog() override;

    void run() override;
    void abortWork() override;

    // The records of the last run; the references stay with the dialog.
    QList<DeviceRecord*> foundDevices() const { return m_found; }

    int timeout() const { return m_timeout; }
    void setTimeout(int milliseconds) { m_timeout = milliseconds; }
    bool alarmTest() const { return m_alarmTest != 0; }

private:
    void releaseFound();

    ProtocolClient* m_client;
    QList<DeviceRecord*> m_found; // written by the worker, read after it has ended
    int m_timeout;
    int m_alarmTest;
};
