#pragma once

#include "WorkerThread.h"

#include <QByteArray>
#include <QMutex>
#include <QString>

namespace orvane {

class DeviceRecord;
class HttpClient;

// Upgrades one device over HTTP: logs in to its web interface, then uploads
// the firmware file, and keeps how that went.
class FirmwareUploadThread : public WorkerThread
{
public:
    enum class Outcome
    {
        NotRun,        // never started, or still running
        Uploaded,      // the device answered the upload with a 2xx status
        UploadRefused, // the device answered the upload with another status
        LoginRefused,  // no session: a refusal or an answer that is not one
        NoAnswer,      // the device took the connection but stayed silent
        UploadedNoAnswer, // the whole file went out, then the device stayed silent (often: flashing)
        NetworkError,  // no HTTP answer: refused, reset, unreachable, bad address
        FileRejected,  // the firmware file cannot be sent
        Cancelled,     // stopped before it ended by itself
    };

    struct Result
    {
        Outcome outcome = Outcome::NotRun;
        int httpStatus = 0; // of the answer the outcome rests on; 0 when none
        QString detail;     // error name, phase; for the log line
    };

    static constexpr int DefaultLoginTimeoutMs = 10000;
    // Devices write the image to flash before they answer the upload.
    static constexpr int DefaultUploadTimeoutMs = 120000;

    // device must stay alive while the thread runs; the job holds a reference.
    FirmwareUploadThread(DeviceRecord* device, const QString& file);
    ~FirmwareUploadThread() override;

    // Time-outs of silence (nothing sent or received) before giving up.
    void setTimeouts(int loginMs, int uploadMs);

    // Also ends the login or upload wait in progress.
    void stop() override;
    void run() override;

    DeviceRecord* device() const { return m_device; }
    // Final once the thread has ended.
    Result result() const;

    // The login answer means success: a JSON object whose member "result"
    // (any case) is the number 0.
    static bool isLoginAccepted(const QByteArray& reply);
    static QString loginUrl(const QString& ip);
    static QString uploadUrl(const QString& ip);
    // "uploaded (HTTP 200)", "login refused", "no answer (login)", ...
    static QString outcomeText(const Result& result);
    static bool isSuccess(const Result& result) { return result.outcome == Outcome::Uploaded; }

private:
    void setResult(Outcome outcome, int status, const QString& detail);
    void classifyFailure(const HttpClient& http, const QString& phase);

    DeviceRecord* m_device;
    const QString m_file;
    int m_loginTimeoutMs = DefaultLoginTimeoutMs;
    int m_uploadTimeoutMs = DefaultUploadTimeoutMs;

    QMutex m_httpMutex; // guards m_http: stop() comes from another thread
    HttpClient* m_http = nullptr;

    mutable QMutex m_resultMutex; // guards m_result
    Result m_result;
};

} // namespace orvane
