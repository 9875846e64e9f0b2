#include "VyWaitDialog.h"

#include "VyWaitThread.h"

#include <QCloseEvent>
#include <QDebug>

VyWaitDialog::VyWaitDialog(QWidget* parent) : VyDialog(parent)
{
    // A stopped job may still emit _close() on its way out, and that queued signal
    // arrives after the dialog has been rejected, possibly after a new job started.
    // The relay runs on the emitting thread and stamps the signal with the job that
    // was current then, so that only the current job can accept the dialog.
    connect(this, &VyWaitDialog::_close, this, &VyWaitDialog::relayClose, Qt::DirectConnection);
}

VyWaitDialog::~VyWaitDialog()
{
    stop();
}

void VyWaitDialog::run()
{
    qDebug("VyWaitDialog run");
}

void VyWaitDialog::abortWork() {}

void VyWaitDialog::start()
{
    stop();
    m_worker = new VyWaitThread(this);
    m_worker->start(QThread::InheritPriority);
}

void VyWaitDialog::stop()
{
    if (!m_worker)
        return;
    m_worker->requestStop();
    abortWork();
    while (m_worker->isRunning())
        QThread::msleep(1);
    delete m_worker;
    m_worker = nullptr;
    m_job.fetch_add(1, std::memory_order_acq_rel);
}

bool VyWaitDialog::isStopped() const
{
    // Read by the worker too: m_worker is set before the worker starts and cleared
    // only after it has ended.
    return !m_worker || m_worker->isStopRequested();
}

void VyWaitDialog::reject()
{
    stop();
    VyDialog::reject();
}

void VyWaitDialog::closeEvent(QCloseEvent* event)
{
    stop();
    VyDialog::closeEvent(event);
}

void VyWaitDialog::onClose()
{
    accept();
}

void VyWaitDialog::relayClose()
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
