#include "OrvaneFirmwareJob.h"

#include "OrvaneDevice.h"
#include "VyHttpUtils.h"
#include "VyLog.h"

#include <QFile>

namespace {

QString resultLine(const OrvaneFirmwareJob::DeviceResult& r)
{
    return QStringLiteral("%1 %2: %3").arg(r.mac, r.ip, OrvaneFirmwareUploadThread::outcomeText(r.result));
}

} // namespace

OrvaneFirmwareJob::OrvaneFirmwareJob(const QList<OrvaneDevice*>& devices, const QString& file)
    : m_file(file), m_devices(devices)
{
    for (OrvaneDevice* device : qAsConst(m_devices)) {
        device->retain();
        m_results.append({device->mac(), device->ip(), {}});
    }
}

OrvaneFirmwareJob::~OrvaneFirmwareJob()
{
    abort();
    for (OrvaneDevice* device : qAsConst(m_devices))
        device->release();
}

void OrvaneFirmwareJob::setTimeouts(int loginMs, int uploadMs)
{
    m_loginTimeoutMs = loginMs;
    m_uploadTimeoutMs = uploadMs;
}

bool OrvaneFirmwareJob::checkFile(const QString& path, QString* reason)
{
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        *reason = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    const QByteArray delimiter = QByteArray("\r\n--") + VyHttpUtils::Boundary;
    const qint64 chunkSize = 1 << 20;
    // The tail of each chunk is kept so that a delimiter across two reads is
    // found; the line break that ends the part's headers comes first.
    QByteArray carry("\r\n");
    for (;;) {
        const QByteArray chunk = file.read(chunkSize);
        if (chunk.isEmpty())
            break;
        const QByteArray window = carry + chunk;
        if (window.contains(delimiter)) {
            *reason = QStringLiteral("%1 holds the upload's multipart delimiter and would arrive cut short")
                          .arg(path);
            return false;
        }
        carry = window.right(delimiter.size() - 1);
    }
    if (file.error() != QFileDevice::NoError) {
        *reason = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

void OrvaneFirmwareJob::startLocked(int index)
{
    auto* thread = new OrvaneFirmwareUploadThread(m_devices.at(index), m_file);
    thread->setTimeouts(m_loginTimeoutMs, m_uploadTimeoutMs);
    thread->start();
    m_uploads.append(qMakePair(index, thread));
}

void OrvaneFirmwareJob::reapLocked(bool all)
{
    if (all) {
        // Stopped together, so that they wind down side by side.
        for (const auto& upload : qAsConst(m_uploads))
            upload.second->stop();
    }
    for (int i = 0; i < m_uploads.size();) {
        OrvaneFirmwareUploadThread* thread = m_uploads.at(i).second;
        if (!all && thread->isRunning()) {
            ++i;
            continue;
        }
        thread->wait();
        OrvaneFirmwareUploadThread::Result result = thread->result();
        if (result.outcome == OrvaneFirmwareUploadThread::Outcome::NotRun)
            result.outcome = OrvaneFirmwareUploadThread::Outcome::Cancelled;
        m_results[m_uploads.at(i).first].result = result;
        delete thread;
        m_uploads.removeAt(i);
    }
}

void OrvaneFirmwareJob::finishLocked()
{
    if (m_finished)
        return;
    m_finished = true;
    for (DeviceResult& r : m_results) {
        if (r.result.outcome == OrvaneFirmwareUploadThread::Outcome::NotRun)
            r.result.outcome = OrvaneFirmwareUploadThread::Outcome::Cancelled;
    }
    for (const DeviceResult& r : qAsConst(m_results))
        VYLOG("firmware %s\n", qPrintable(resultLine(r)));
}

bool OrvaneFirmwareJob::run(const std::function<bool()>& isStopped)
{
    auto stopped = [&] { return isStopped && isStopped(); };

    QString reason;
    if (!checkFile(m_file, &reason)) {
        QMutexLocker lock(&m_mutex);
        if (!m_aborted) {
            for (DeviceResult& r : m_results)
                r.result = {OrvaneFirmwareUploadThread::Outcome::FileRejected, 0, reason};
            finishLocked();
            return true;
        }
        return false;
    }

    bool ended = true;
    for (int i = 0; i < m_devices.size() && ended; ++i) {
        for (;;) {
            if (stopped()) {
                ended = false;
                break;
            }
            bool started = false;
            {
                QMutexLocker lock(&m_mutex);
                if (m_aborted) {
                    ended = false;
                    break;
                }
                reapLocked(false);
                if (m_uploads.size() < MaxUploads) {
                    startLocked(i);
                    started = true;
                }
            }
            if (started)
                break;
            VyThread::msleep(PollMs);
        }
    }
    while (ended) {
        if (stopped()) {
            ended = false;
            break;
        }
        {
            QMutexLocker lock(&m_mutex);
            if (m_aborted) {
                ended = false;
                break;
            }
            reapLocked(false);
            if (m_uploads.isEmpty()) {
                finishLocked();
                break;
            }
        }
        VyThread::msleep(PollMs);
    }
    if (!ended)
        abort();
    return ended;
}

void OrvaneFirmwareJob::abort()
{
    QMutexLocker lock(&m_mutex);
    if (m_finished)
        return;
    m_aborted = true;
    reapLocked(true);
    finishLocked();
}

QList<OrvaneFirmwareJob::DeviceResult> OrvaneFirmwareJob::results() const
{
    QMutexLocker lock(&m_mutex);
    return m_results;
}

QStringList OrvaneFirmwareJob::resultLines() const
{
    QStringList lines;
    for (const DeviceResult& r : results())
        lines << resultLine(r);
    return lines;
}

bool OrvaneFirmwareJob::allUploaded() const
{
    for (const DeviceResult& r : results()) {
        if (!OrvaneFirmwareUploadThread::isSuccess(r.result))
            return false;
    }
    return true;
}
