#include "JobDialog.h"

#include "DeviceJob.h"
#include "Language.h"
#include "ResultListDialog.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvane {

JobDialog::JobDialog(QWidget* parent, DeviceJob* job)
    : Dialog(parent), m_job(job), m_text(new QLabel(this)), m_device(new QLabel(this)),
      m_bar(new QProgressBar(this)), m_cancel(new QPushButton(translated("Cancel"), this))
{
    setObjectName(QStringLiteral("jobDialog"));
    setWindowTitle(translated(job->title()));
    m_text->setObjectName(QStringLiteral("progressText"));
    m_device->setObjectName(QStringLiteral("deviceText"));
    m_cancel->setObjectName(QStringLiteral("cancelButton"));
    m_bar->setRange(0, qMax(1, job->total()));
    m_bar->setValue(0);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addWidget(m_device);
    layout->addWidget(m_bar);
    layout->addWidget(m_cancel, 0, Qt::AlignRight);
    setMinimumWidth(360);
    showProgress(0, job->total(), QString());
    connect(job, &DeviceJob::progress, this, &JobDialog::showProgress);
    // Queued even when the job runs here, so that an early end still reaches exec().
    connect(job, &DeviceJob::finished, this, &QDialog::accept, Qt::QueuedConnection);
    connect(m_cancel, &QPushButton::clicked, this, &JobDialog::reject);
}

JobDialog::~JobDialog()
{
    if (!m_job->isFinished())
        m_job->cancel();
    m_job->wait();
}

void JobDialog::runJob()
{
    m_job->start();
    exec();
    m_job->wait();
}

void JobDialog::showProgress(int done, int total, const QString& current)
{
    if (m_job->isCancelled())
        return;
    // The same line as DeviceJob::progressText, through the language table.
    m_text->setText(translated("%1: %2 of %3")
                        .arg(translated(m_job->title()))
                        .arg(qMin(done + 1, total))
                        .arg(total));
    m_device->setText(current);
    m_bar->setValue(done);
}

void JobDialog::reject()
{
    if (m_job->isFinished()) {
        Dialog::reject();
        return;
    }
    m_job->cancel();
    m_cancel->setEnabled(false);
    m_text->setText(translated("Stopping after the current device"));
}

bool runDeviceJob(QWidget* parent, ProtocolClient& client, const DeviceJob::Task& task,
                  const QList<DeviceRecord*>& devices, const std::function<void()>& refresh, bool listAlways)
{
    if (devices.isEmpty())
        return false;
    std::unique_ptr<DeviceJob> job(new DeviceJob(client, task, devices));
    for (;;) {
        {
            JobDialog dialog(parent, job.get());
            dialog.centerOn(parent);
            dialog.runJob();
        }
        if (refresh)
            refresh();
        const QList<DeviceResult> results = job->results();
        const bool allTook = job->successCount() == results.size();
        if (allTook && results.size() == 1 && !listAlways)
            return true;
        ResultListDialog list(parent, translated(task.title), results);
        list.centerOn(parent);
        if (list.exec() != ResultListDialog::Retry || allTook)
            return allTook;
        job = job->retryFailed();
    }
}

} // namespace orvane
