#include "SetVersionInfoJob.h"

#include "FirmwareJob.h"
#include "Language.h"

namespace {
// The outcome texts of the upload threads that the language files translate;
// what follows them (an HTTP status, the phase) stays as it is. A phrase that
// begins with another comes before it.
const char* const OutcomePhrases[] = {"uploaded, no answer afterwards (it may be flashing)",
                                      "uploaded",
                                      "upload refused",
                                      "login refused",
                                      "no answer",
                                      "network error",
                                      "file not sent",
                                      "cancelled"};
} // namespace

SetVersionInfoJob::SetVersionInfoJob(QWidget* parent, ProtocolClient* client)
    : PageJob(parent, client)
{
}

SetVersionInfoJob::~SetVersionInfoJob()
{
    stop();
}

void SetVersionInfoJob::setLists(const QList<DeviceRecord*>& devices, const QString& file)
{
    setDevices(devices);
    m_file = file;
    QMutexLocker lock(&m_mutex);
    // Made here rather than in run(), so that a job closed before its worker
    // got going still has a result (cancelled) for every device.
    m_job.reset(new FirmwareJob(devices, file));
}

void SetVersionInfoJob::run()
{
    FirmwareJob* job = nullptr;
    {
        QMutexLocker lock(&m_mutex);
        job = m_job.get();
    }
    // The job object lives until this dialog is destroyed, which stops this worker first.
    if (job)
        job->run([this] { return isStopped(); });
    emit workFinished();
}

void SetVersionInfoJob::abortWork()
{
    PageJob::abortWork();
    QMutexLocker lock(&m_mutex);
    if (m_job)
        m_job->abort();
}

QStringList SetVersionInfoJob::resultLines() const
{
    QMutexLocker lock(&m_mutex);
    QStringList lines;
    if (!m_job)
        return lines;
    for (const QString& line : m_job->resultLines())
        lines << translatedLine(line);
    return lines;
}

QString SetVersionInfoJob::translatedLine(const QString& line)
{
    const QString separator = QStringLiteral(": ");
    const int at = line.indexOf(separator);
    if (at < 0)
        return line;
    const int start = at + separator.size();
    for (const char* phrase : OutcomePhrases) {
        const QString english = QLatin1String(phrase);
        if (line.midRef(start).startsWith(english))
            return line.left(start) + translated(english) + line.mid(start + english.size());
    }
    return line;
}

QList<DeviceResult> SetVersionInfoJob::deviceResults() const
{
    QMutexLocker lock(&m_mutex);
    QList<DeviceResult> results = m_job ? m_job->deviceResults() : QList<DeviceResult>();
    const QString separator = QStringLiteral(": ");
    for (DeviceResult& r : results)
        r.detail = translatedLine(separator + r.detail).mid(separator.size());
    return results;
}
