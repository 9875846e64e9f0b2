#pragma once

#include "DeviceJob.h"
#include "Dialog.h"

#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;

namespace orvane {

class DeviceRecord;
class ProtocolClient;

// Shows a running device job: what it does, how far it is ("Setting name: 7
// of 40") and a Cancel button that lets the device in hand finish and skips
// the rest. Closes itself when the job is over.
class JobDialog : public Dialog
{
    Q_OBJECT

public:
    JobDialog(QWidget* parent, DeviceJob* job);
    ~JobDialog() override;

    // Starts the job, shows the dialog until the job is over and joins its worker.
    void runJob();

public slots:
    // Esc, the close button and Cancel all stop the job rather than leave it running unseen.
    void reject() override;

private:
    void showProgress(int done, int total, const QString& current);

    DeviceJob* m_job;
    QLabel* m_text;
    QLabel* m_device;
    QProgressBar* m_bar;
    QPushButton* m_cancel;
};

// Runs task on devices behind a JobDialog over parent, then says what happened:
// the result list unless one device took it (or always with listAlways), and
// the failed devices again for as long as the operator asks. refresh repaints
// whatever shows the records. True when every device took it.
bool runDeviceJob(QWidget* parent, ProtocolClient& client, const DeviceJob::Task& task,
                  const QList<DeviceRecord*>& devices, const std::function<void()>& refresh,
                  bool listAlways = false);

} // namespace orvane
