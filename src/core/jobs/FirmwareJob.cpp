#include "FirmwareJob.h"

#include "DeviceRecord.h"
#include "HttpClient.h"
#include "LogFile.h"

#include <QFile>

namespace orvane {

namespace {

QString resultLine(const FirmwareJob::Upload& r)
{
    return QStringLiteral("%1 %2: %3").arg(r.mac, r.ip, FirmwareUploadThread::outcomeText(r.result));
}

} // namespace

FirmwareJob::FirmwareJob(const QList<DeviceRecord*>& devices, const QString& file) : m_file(file)
{
    for (DeviceRecord* device : devices) {
        m_devices.append(DeviceRef(device));
        m_results.append({device->name(), device->mac(), device->ip(), {}});
    }
}

FirmwareJob::~FirmwareJob()
{
    abort();
}

void FirmwareJob::setTimeouts(int loginMs, int uploadMs)
{
    m_loginTimeoutMs = loginMs;
    m_uploadTimeoutMs = uploadMs;
}

bool FirmwareJob::checkFile(const QString& path, QString* reason)
{
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        *reason = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    // An empty file would go out as a successful upload of nothing.
    if (file.size() == 0) {
        *reason = QStringLiteral("%1 is empty").arg(path);
        return false;
    }
    const QByteArray delimiter = QByteArray("\r\n--") + HttpClient::Boundary;
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

void FirmwareJob::startLocked(int index)
{
    auto* thread = new FirmwareUploadThread(m_devices.at(index).get(), m_file);
    thread->setTimeouts(m_loginTimeoutMs, m_uploadTimeoutMs);
    thread->start();
    m_uploads.append(qMakePair(index, thread));
}

void FirmwareJob::reapLocked(bool all)
{
    if (all) {
        // Stopped together, so that they wind down side by side.
        for (const auto& upload : qAsConst(m_uploads))
            upload.second->stop();
    }
    for (int i = 0; i < m_uploads.size();) {
        FirmwareUploadThread* thread = m_uploads.at(i).second;
        if (!all && thread->isRunning()) {
            ++i;
            continue;
        }
        thread->wait();
        FirmwareUploadThread::Result result = thread->result();
        if (result.outcome == FirmwareUploadThread::Outcome::NotRun)
            result.outcome = FirmwareUploadThread::Outcome::Cancelled;
        m_results[m_uploads.at(i).first].result = result;
        delete thread;
        m_uploads.removeAt(i);
    }
}

void FirmwareJob::finishLocked()
{
    if (m_finished)
        return;
    m_finished = true;
    for (Upload& r : m_results) {
        if (r.result.outcome == FirmwareUploadThread::Outcome::NotRun)
            r.result.outcome = FirmwareUploadThread::Outcome::Cancelled;
    }
    for (const Upload& r : qAsConst(m_results))
        ORVANE_LOG("firmware %s\n", qPrintable(resultLine(r)));
}

bool FirmwareJob::run(const std::function<bool()>& isStopped)
{
    auto stopped = [&] { return isStopped && isStopped(); };

    QString reason;
    if (!checkFile(m_file, &reason)) {
        QMutexLocker lock(&m_mutex);
        if (!m_aborted) {
            for (Upload& r : m_results)
                r.result = {FirmwareUploadThread::Outcome::FileRejected, 0, reason};
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
            WorkerThread::msleep(PollMs);
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
        WorkerThread::msleep(PollMs);
    }
    if (!ended)
        abort();
    return ended;
}

void FirmwareJob::abort()
{
    QMutexLocker lock(&m_mutex);
    if (m_finished)
        return;
    m_aborted = true;
    reapLocked(true);
    finishLocked();
}

QList<FirmwareJob::Upload> FirmwareJob::results() const
{
    QMutexLocker lock(&m_mutex);
    return m_results;
}

QStringList FirmwareJob::resultLines() const
{
    QStringList lines;
    for (const Upload& r : results())
        lines << resultLine(r);
    return lines;
}

bool FirmwareJob::allUploaded() const
{
    for (const Upload& r : results()) {
        if (!FirmwareUploadThread::isSuccess(r.result))
            return false;
    }
    return true;
}

QList<DeviceResult> FirmwareJob::deviceResults() const
{
    using Outcome = FirmwareUploadThread::Outcome;
    QList<DeviceResult> out;
    const QList<Upload> uploads = results();
    for (int i = 0; i < uploads.size(); ++i) {
        const Upload& u = uploads.at(i);
        DeviceResult r{u.name, u.mac, DeviceResult::Outcome::Failed, FirmwareUploadThread::outcomeText(u.result), i};
        switch (u.result.outcome) {
        case Outcome::Uploaded:
            r.outcome = DeviceResult::Outcome::Success;
            r.detail = QStringLiteral("HTTP %1").arg(u.result.httpStatus);
            break;
        case Outcome::UploadRefused:
        case Outcome::LoginRefused:
            break;
        case Outcome::NoAnswer:
            r.outcome = DeviceResult::Outcome::NoAnswer;
            r.detail = u.result.detail; // the phase it fell silent in
            break;
        case Outcome::NetworkError:
            r.outcome = DeviceResult::Outcome::NoAnswer;
            break;
        case Outcome::UploadedNoAnswer:
            // The file went out whole, but nothing confirmed it: the device may be flashing.
            r.outcome = DeviceResult::Outcome::NoAnswer;
            break;
        case Outcome::FileRejected:
            r.outcome = DeviceResult::Outcome::NotSent;
            break;
        case Outcome::Cancelled:
        case Outcome::NotRun:
            r.outcome = DeviceResult::Outcome::Cancelled;
            r.detail.clear();
            break;
        }
        out << r;
    }
    return out;
}

} // namespace orvane
