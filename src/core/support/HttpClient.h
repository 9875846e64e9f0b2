#pragma once

#include <QByteArray>
#include <QMutex>
#include <QNetworkReply>
#include <QObject>
#include <QString>

class QEventLoop;
class QNetworkAccessManager;
class QNetworkRequest;

namespace orvane {

// The two requests of a firmware upgrade (a form post to log in, then a
// multipart upload) and the session cookie that ties them together. An object
// lives on one thread and is used there; abort() may come from any thread.
class HttpClient : public QObject
{
    Q_OBJECT

public:
    // Devices expect exactly this boundary.
    static constexpr char Boundary[] = "window-nodkit-upload";
    static constexpr char SessionCookieName[] = "session";

    // How a request ended, beyond its HTTP status.
    enum class Failure
    {
        None,           // an HTTP answer arrived (whatever its status)
        NoAnswer,       // nothing moved for the time-out
        Network,        // refused, reset, unreachable, cut off
        Cancelled,      // abort() or the thread was told to quit
        FileUnreadable, // upload(): the file could not be opened; nothing was sent
    };

    explicit HttpClient(QObject* parent = nullptr);
    ~HttpClient() override;

    // A request ends as NoAnswer when nothing is sent or received for this
    // long; 0 waits without limit.
    void setIdleTimeout(int milliseconds) { m_idleTimeoutMs = milliseconds; }

    // Posts body (already form-encoded) and returns the answer's body. A
    // Set-Cookie header with a session cookie replaces the session.
    QByteArray post(const QString& url, const QByteArray& body);
    // Sends the file as the one part of a multipart/form-data body, streamed
    // from disk, and returns the answer's body.
    QByteArray upload(const QString& url, const QString& path);
    // Ends the request in progress as Cancelled and refuses further ones.
    void abort();
    bool isAborted() const;

    QString session() const { return m_session; }
    // The HTTP status of the last answer; 0 when none arrived.
    int lastStatus() const { return m_lastStatus; }
    QNetworkReply::NetworkError lastError() const { return m_lastError; }
    Failure lastFailure() const { return m_lastFailure; }
    // Whether the last request's whole body went out, answered or not.
    bool lastBodySent() const { return m_lastBodySent; }
    // A short reason for the log: the network error's name, "time-out", ...
    QString lastErrorText() const { return m_lastErrorText; }

    // The value of the session cookie in a Set-Cookie header (several headers
    // joined by line breaks), or empty.
    static QString sessionFromCookie(const QByteArray& setCookie);
    // username=...&password=... with both values percent-encoded.
    static QByteArray loginBody(const QString& account, const QString& password);
    static QString errorName(QNetworkReply::NetworkError error);
    // The Content-Disposition of the file part; a quote or line break in the
    // file name would end the header early, so they are percent-encoded.
    static QByteArray contentDisposition(const QString& fileName);

private:
    void prepare(QNetworkRequest* request) const;
    void resetLast();
    // Runs the reply to its end, a time-out or a cancellation, and reads it.
    QByteArray finish(QNetworkReply* reply);

    QNetworkAccessManager* m_manager;
    QString m_session;
    int m_idleTimeoutMs = 0;
    int m_lastStatus = 0;
    QNetworkReply::NetworkError m_lastError = QNetworkReply::NoError;
    Failure m_lastFailure = Failure::None;
    bool m_lastBodySent = false;
    QString m_lastErrorText;

    mutable QMutex m_waitMutex; // guards m_waitLoop and m_aborted
    QEventLoop* m_waitLoop = nullptr;
    bool m_aborted = false;
};

} // namespace orvane
