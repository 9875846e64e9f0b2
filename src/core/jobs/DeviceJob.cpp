#include "DeviceJob.h"

#include "DeviceRecord.h"
#include "LogFile.h"
#include "ProtocolClient.h"
#include "WorkerThread.h"

#include <QVector>

namespace orvane {

class DeviceJobWorker : public WorkerThread
{
public:
    explicit DeviceJobWorker(DeviceJob* job) : m_job(job) {}
    void run() override { m_job->run(); }

private:
    DeviceJob* m_job;
};

namespace {

DeviceResult::Outcome outcomeOf(int code, ProtocolClient::Outcome last)
{
    if (code == 0)
        return DeviceResult::Outcome::Success;
    switch (last) {
    case ProtocolClient::Outcome::NoAnswer:
        return DeviceResult::Outcome::NoAnswer;
    case ProtocolClient::Outcome::NotSent:
        return DeviceResult::Outcome::NotSent;
    case ProtocolClient::Outcome::Cancelled:
        return DeviceResult::Outcome::Cancelled;
    case ProtocolClient::Outcome::Success:
    case ProtocolClient::Outcome::Failed:
        break;
    }
    // An operation of several commands can fail after one that succeeded.
    return DeviceResult::Outcome::Failed;
}

QString detailOf(DeviceResult::Outcome outcome, const ProtocolClient& client)
{
    switch (outcome) {
    case DeviceResult::Outcome::Success:
        break;
    case DeviceResult::Outcome::Failed:
        return QStringLiteral("the device refused it");
    case DeviceResult::Outcome::NoAnswer:
        return QStringLiteral("no reply within %1 s").arg(ProtocolClient::ReplyTimeoutMs / 1000);
    case DeviceResult::Outcome::NotSent:
        return client.isOpen() ? QStringLiteral("the values do not fit into one command")
                               : QStringLiteral("no network adapter is open");
    case DeviceResult::Outcome::Cancelled:
        return QStringLiteral("stopped while waiting for the reply");
    }
    return QString();
}

} // namespace

QString DeviceResult::outcomeText(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Success:
        return QStringLiteral("ok");
    case Outcome::Failed:
        return QStringLiteral("failed");
    case Outcome::NoAnswer:
        return QStringLiteral("no answer");
    case Outcome::NotSent:
        return QStringLiteral("not sent");
    case Outcome::Cancelled:
        break;
    }
    return QStringLiteral("cancelled");
}

DeviceJob::DeviceJob(ProtocolClient& client, const Task& task, const QList<DeviceRecord*>& devices)
    : DeviceJob(client, task, [&devices] {
          QList<Entry> entries;
          for (int i = 0; i < devices.size(); ++i)
              entries.append({DeviceRef(devices.at(i)), i});
          return entries;
      }())
{
}

DeviceJob::DeviceJob(ProtocolClient& client, const Task& task, const QList<Entry>& entries)
    : m_client(client), m_task(task), m_entries(entries), m_cancelsAtStart(client.cancelCount())
{
    for (const Entry& entry : qAsConst(m_entries))
        m_results.append(notStarted(entry));
}

DeviceResult DeviceJob::notStarted(const Entry& entry)
{
    return {entry.device->name(), entry.device->mac(), DeviceResult::Outcome::Cancelled, QStringLiteral("not started"),
            entry.index};
}

DeviceJob::~DeviceJob()
{
    if (m_worker) {
        cancel();
        wait();
    }
}

void DeviceJob::start()
{
    if (m_worker)
        return;
    qRegisterMetaType<DeviceResult>();
    m_worker = new DeviceJobWorker(this);
    m_worker->start();
}

void DeviceJob::wait()
{
    WorkerThread::release(m_worker);
}

void DeviceJob::cancel()
{
    m_cancelled.store(true);
    m_client.cancelWait();
}

QList<DeviceRecord*> DeviceJob::devices() const
{
    QList<DeviceRecord*> out;
    for (const Entry& entry : m_entries)
        out.append(entry.device.get());
    return out;
}

QList<DeviceResult> DeviceJob::results() const
{
    QMutexLocker lock(&m_mutex);
    return m_results;
}

int DeviceJob::successCount() const
{
    int count = 0;
    for (const DeviceResult& result : results())
        count += result.succeeded() ? 1 : 0;
    return count;
}

std::unique_ptr<DeviceJob> DeviceJob::retryFailed() const
{
    const QList<DeviceResult> done = results();
    QList<Entry> again;
    for (int i = 0; i < done.size() && i < m_entries.size(); ++i) {
        if (!done.at(i).succeeded())
            again.append(m_entries.at(i));
    }
    return std::unique_ptr<DeviceJob>(new DeviceJob(m_client, m_task, again));
}

QString DeviceJob::progressText(const QString& title, int number, int total)
{
    return QStringLiteral("%1: %2 of %3").arg(title).arg(number).arg(total);
}

DeviceResult DeviceJob::runOne(const Entry& entry)
{
    DeviceResult result = notStarted(entry);
    if (m_cancelled.load())
        return result;
    const int code = m_task.send ? m_task.send(m_client, entry.device.get(), entry.index) : -1;
    result.outcome = outcomeOf(code, m_client.lastOutcome());
    result.detail = detailOf(result.outcome, m_client);
    if (result.succeeded() && m_task.apply)
        m_task.apply(entry.device.get(), entry.index);
    return result;
}

void DeviceJob::record(int position, const DeviceResult& result)
{
    {
        QMutexLocker lock(&m_mutex);
        m_results[position] = result;
    }
    if (!result.succeeded())
        ORVANE_LOG("%s on %s: %s (%s)\n", qPrintable(m_task.title), qPrintable(result.mac),
                   qPrintable(DeviceResult::outcomeText(result.outcome)), qPrintable(result.detail));
    emit deviceFinished(result);
}

void DeviceJob::runBatch()
{
    const int total = m_entries.size();
    emit progress(0, total, QString());
    int over = 0;
    QVector<bool> reported(total);
    m_task.batch(
        devices(), [this] { return m_cancelled.load(); },
        [&](int position, DeviceResult::Outcome outcome, const QString& detail) {
            // A batch that names a device twice or one it was not given is not believed.
            if (position < 0 || position >= total || reported[position])
                return;
            reported[position] = true;
            const Entry& entry = m_entries.at(position);
            DeviceResult result = notStarted(entry);
            result.outcome = outcome;
            result.detail = detail;
            if (result.succeeded() && m_task.apply)
                m_task.apply(entry.device.get(), entry.index);
            record(position, result);
            const QString name = entry.device->name();
            emit progress(++over, total, name.isEmpty() ? entry.device->mac() : name);
        });
}

void DeviceJob::run()
{
    const ProtocolClient::CancelScope scope(m_client, m_cancelsAtStart);
    const int total = m_entries.size();
    if (m_task.batch) {
        runBatch();
    } else {
        for (int i = 0; i < total; ++i) {
            const Entry& entry = m_entries.at(i);
            const QString name = entry.device->name();
            emit progress(i, total, name.isEmpty() ? entry.device->mac() : name);
            record(i, runOne(entry));
        }
    }
    emit progress(total, total, QString());
    m_finished.store(true);
    emit finished();
}

} // namespace orvane
