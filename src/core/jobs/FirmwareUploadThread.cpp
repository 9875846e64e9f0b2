#include "FirmwareUploadThread.h"

#include "DeviceRecord.h"
#include "BatchRules.h"
#include "HttpClient.h"

#include <cjson/cJSON.h>

namespace orvane {

FirmwareUploadThread::FirmwareUploadThread(DeviceRecord* device, const QString& file)
    : m_device(device), m_file(file)
{
}

FirmwareUploadThread::~FirmwareUploadThread() = default;

void FirmwareUploadThread::setTimeouts(int loginMs, int uploadMs)
{
    m_loginTimeoutMs = loginMs;
    m_uploadTimeoutMs = uploadMs;
}

void FirmwareUploadThread::stop()
{
    WorkerThread::stop();
    QMutexLocker lock(&m_httpMutex);
    if (m_http)
        m_http->abort();
}

FirmwareUploadThread::Result FirmwareUploadThread::result() const
{
    QMutexLocker lock(&m_resultMutex);
    return m_result;
}

void FirmwareUploadThread::setResult(Outcome outcome, int status, const QString& detail)
{
    QMutexLocker lock(&m_resultMutex);
    m_result.outcome = outcome;
    m_result.httpStatus = status;
    m_result.detail = detail;
}

QString FirmwareUploadThread::loginUrl(const QString& ip)
{
    return QStringLiteral("http://%1/cgi-bin/CGI?login").arg(ip);
}

QString FirmwareUploadThread::uploadUrl(const QString& ip)
{
    return QStringLiteral("http://%1/cgi-bin/upload").arg(ip);
}

bool FirmwareUploadThread::isLoginAccepted(const QByteArray& reply)
{
    if (reply.isEmpty())
        return false;
    cJSON* json = cJSON_ParseWithLength(reply.constData(), size_t(reply.size()));
    // Only the number 0 is success: the JSON library reads a text such as
    // "fail" as 0, which would take a refusal for a login.
    const cJSON* result = cJSON_IsObject(json) ? cJSON_GetObjectItem(json, "result") : nullptr;
    // A number must be 0; devices that answer with a text ("ok", "success", as
    // their command replies do) are logged in all the same.
    const bool accepted = (cJSON_IsNumber(result) && result->valuedouble == 0) || cJSON_IsString(result);
    cJSON_Delete(json);
    return accepted;
}

QString FirmwareUploadThread::outcomeText(const Result& result)
{
    const QString detail = result.detail.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(result.detail);
    switch (result.outcome) {
    case Outcome::Uploaded:
        return QStringLiteral("uploaded (HTTP %1)").arg(result.httpStatus);
    case Outcome::UploadRefused:
        return QStringLiteral("upload refused (HTTP %1)").arg(result.httpStatus);
    case Outcome::LoginRefused:
        return QStringLiteral("login refused") + detail;
    case Outcome::NoAnswer:
        return QStringLiteral("no answer") + detail;
    case Outcome::UploadedNoAnswer:
        return QStringLiteral("uploaded, no answer afterwards (it may be flashing)");
    case Outcome::NetworkError:
        return QStringLiteral("network error") + detail;
    case Outcome::FileRejected:
        return QStringLiteral("file not sent") + detail;
    case Outcome::Cancelled:
        return QStringLiteral("cancelled");
    case Outcome::NotRun:
        break;
    }
    return QStringLiteral("not run");
}

void FirmwareUploadThread::classifyFailure(const HttpClient& http, const QString& phase)
{
    switch (http.lastFailure()) {
    case HttpClient::Failure::NoAnswer:
        setResult(Outcome::NoAnswer, 0, phase);
        break;
    case HttpClient::Failure::Network:
        setResult(Outcome::NetworkError, 0, QStringLiteral("%1, %2").arg(phase, http.lastErrorText()));
        break;
    case HttpClient::Failure::FileUnreadable:
        setResult(Outcome::FileRejected, 0, http.lastErrorText());
        break;
    case HttpClient::Failure::Cancelled:
    case HttpClient::Failure::None:
        setResult(Outcome::Cancelled, 0, QString());
        break;
    }
}

void FirmwareUploadThread::run()
{
    setResult(Outcome::NotRun, 0, QString());
    const QString ip = m_device->ip();
    // The address comes from a device's reply; anything but a plain IPv4
    // address would put other hosts or paths into the URL.
    if (!BatchRules::isValidAddress(ip)) {
        setResult(Outcome::NetworkError, 0, QStringLiteral("no IPv4 address: '%1'").arg(ip));
        return;
    }

    HttpClient http;
    {
        QMutexLocker lock(&m_httpMutex);
        m_http = &http;
    }
    // A stop() that came before m_http was set found nothing to abort.
    if (isStopRequested())
        http.abort();

    http.setIdleTimeout(m_loginTimeoutMs);
    const QByteArray reply =
        http.post(loginUrl(ip), HttpClient::loginBody(m_device->account(), m_device->password()));
    if (http.lastFailure() != HttpClient::Failure::None) {
        classifyFailure(http, QStringLiteral("login"));
    } else if (!isLoginAccepted(reply)) {
        // The body decides, whatever the status: devices answer their login with odd statuses.
        setResult(Outcome::LoginRefused, http.lastStatus(), QString());
    } else {
        http.setIdleTimeout(m_uploadTimeoutMs);
        http.upload(uploadUrl(ip), m_file);
        if (http.lastFailure() == HttpClient::Failure::NoAnswer && http.lastBodySent())
            setResult(Outcome::UploadedNoAnswer, 0, QString());
        else if (http.lastFailure() != HttpClient::Failure::None)
            classifyFailure(http, QStringLiteral("upload"));
        else if (http.lastStatus() >= 200 && http.lastStatus() <= 299)
            setResult(Outcome::Uploaded, http.lastStatus(), QString());
        else
            setResult(Outcome::UploadRefused, http.lastStatus(), QString());
    }

    QMutexLocker lock(&m_httpMutex);
    m_http = nullptr;
}

} // namespace orvane
