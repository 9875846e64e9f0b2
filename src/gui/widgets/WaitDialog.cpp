#include "WaitDialog.h"

#include "WaitThread.h"
#include "Language.h"

#include <QCloseEvent>
#include <QDebug>

namespace orvane {

WaitDialog::WaitDialog(QWidget* parent) : Dialog(parent)
{
    // Minimised, a modal job would leave the main window blocked with nothing to show why.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setWindowTitle(translated("Please wait"));
    // A stopped job may still emit workFinished() on its way out, and that queued signal
    // arrives after the dialog has been rejected, possibly after a new job started.
    // The relay runs on the emitting thread and stamps the signal with the job that
    // was current then, so that only the current job can accept the dialog.
    connect(this, &WaitDialog::workFinished, this, &WaitDialog::relayClose, Qt::DirectConnection);
}

WaitDialog::~WaitDialog()
{
    stop();
}

void WaitDialog::run()
{
    qDebug("WaitDialog run");
}

void WaitDialog::abortWork() {}

void WaitDialog::start()
{
    stop();
    prepare();
    m_worker = new WaitThread(this);
    m_worker->start(QThread::InheritPriority);
}

void WaitDialog::stop()
{
    if (!m_worker)
        return;
    m_worker->requestStop();
    // Asked again while waiting: an abort that lands just before the job begins
    // its blocking call would otherwise be missed and freeze the window until
    // that call times out.
    for (int waited = 0; m_worker->isRunning(); ++waited) {
        if (waited % 20 == 0)
            abortWork();
        QThread::msleep(1);
    }
    delete m_worker;
    m_worker = nullptr;
    m_job.fetch_add(1, std::memory_order_acq_rel);
}

bool WaitDialog::isStopped() const
{
    // Read by the worker too: m_worker is set before the worker starts and cleared
    // only after it has ended.
    return !m_worker || m_worker->isStopRequested();
}

void WaitDialog::reject()
{
    stop();
    Dialog::reject();
}

void WaitDialog::closeEvent(QCloseEvent* event)
{
    stop();
    Dialog::closeEvent(event);
}

void WaitDialog::onClose()
{
    accept();
}

void WaitDialog::relayClose()
{
    const std::uint64_t job = m_job.load(std::memory_order_acquire);
    QMetaObject::invokeMethod(
        this,
        [this, job] {
            if (job == m_job.load(std::memory_order_acquire))
                onClose();
        },
        Qt::AutoConnection);
}

} // namespace orvane
