#include "HttpClient.h"

#include <QDebug>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QHttpMultiPart>
#include <QMetaEnum>
#include <QNetworkAccessManager>
#include <QNetworkCookie>
#include <QNetworkProxy>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>
#include <memory>

namespace orvane {

HttpClient::HttpClient(QObject* parent) : QObject(parent), m_manager(new QNetworkAccessManager)
{
    // The devices sit on the technician's own segment; a desktop proxy setting
    // would send their private addresses to a machine that cannot reach them.
    m_manager->setProxy(QNetworkProxy::NoProxy);
}

HttpClient::~HttpClient()
{
    delete m_manager;
}

QByteArray HttpClient::loginBody(const QString& account, const QString& password)
{
    // Form encoding, so that "&", "=", "+" or "%" in an account cannot cut the
    // body into other fields; letters and digits stay as they are.
    return "username=" + QUrl::toPercentEncoding(account) + "&password=" + QUrl::toPercentEncoding(password);
}

QString HttpClient::sessionFromCookie(const QByteArray& setCookie)
{
    const QList<QNetworkCookie> cookies = QNetworkCookie::parseCookies(setCookie);
    for (const QNetworkCookie& cookie : cookies) {
        if (cookie.name().compare(SessionCookieName, Qt::CaseInsensitive) == 0)
            return QString::fromLatin1(cookie.value());
    }
    // Some devices put an attribute before the cookie ("Path=/; session=..."),
    // which the cookie grammar reads as a cookie named Path.
    for (const QByteArray& line : setCookie.split('\n')) {
        for (const QByteArray& part : line.split(';')) {
            const QByteArray item = part.trimmed();
            const int eq = item.indexOf('=');
            if (eq > 0 && item.left(eq).trimmed().compare(SessionCookieName, Qt::CaseInsensitive) == 0)
                return QString::fromLatin1(item.mid(eq + 1).trimmed());
        }
    }
    return QString();
}

QString HttpClient::errorName(QNetworkReply::NetworkError error)
{
    const char* name = QMetaEnum::fromType<QNetworkReply::NetworkError>().valueToKey(error);
    return name ? QString::fromLatin1(name) : QStringLiteral("NetworkError%1").arg(int(error));
}

QByteArray HttpClient::contentDisposition(const QString& fileName)
{
    QByteArray name = fileName.toUtf8();
    name.replace('%', "%25").replace('"', "%22").replace('\r', "%0D").replace('\n', "%0A");
    return "form-data; name=\"file\"; filename=\"" + name + '"';
}

void HttpClient::abort()
{
    QMutexLocker lock(&m_waitMutex);
    m_aborted = true;
    // Queued, so that a quit that comes just before exec() starts is not lost.
    if (m_waitLoop)
        QMetaObject::invokeMethod(m_waitLoop, "quit", Qt::QueuedConnection);
}

bool HttpClient::isAborted() const
{
    QMutexLocker lock(&m_waitMutex);
    return m_aborted;
}

void HttpClient::resetLast()
{
    m_lastStatus = 0;
    m_lastError = QNetworkReply::NoError;
    m_lastFailure = Failure::None;
    m_lastBodySent = false;
    m_lastErrorText.clear();
}

void HttpClient::prepare(QNetworkRequest* request) const
{
    // The session is this object's business: the manager's cookie jar would
    // replace the Cookie header with what it took from Set-Cookie.
    request->setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request->setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    if (!m_session.isEmpty())
        request->setRawHeader("Cookie", QByteArray(SessionCookieName) + '=' + m_session.toLatin1());
}

QByteArray HttpClient::finish(QNetworkReply* reply)
{
    bool timedOut = false;
    if (!reply->isFinished()) {
        QEventLoop loop;
        QTimer idle;
        idle.setSingleShot(true);
        auto activity = [this, &idle] {
            if (m_idleTimeoutMs > 0)
                idle.start(m_idleTimeoutMs);
        };
        connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        connect(reply, &QNetworkReply::uploadProgress, &loop, activity);
        connect(reply, &QNetworkReply::uploadProgress, &loop, [this](qint64 sent, qint64 total) {
            if (total > 0 && sent == total)
                m_lastBodySent = true;
        });
        connect(reply, &QNetworkReply::downloadProgress, &loop, activity);
        connect(reply, &QNetworkReply::metaDataChanged, &loop, activity);
        connect(&idle, &QTimer::timeout, &loop, [&] {
            timedOut = true;
            loop.quit();
        });
        bool aborted = false;
        {
            QMutexLocker lock(&m_waitMutex);
            aborted = m_aborted;
            if (!aborted)
                m_waitLoop = &loop;
        }
        if (!aborted) {
            activity();
            // Returns at once when the thread has been told to quit (WorkerThread::wait).
            loop.exec();
            QMutexLocker lock(&m_waitMutex);
            m_waitLoop = nullptr;
        }
    }

    QByteArray body;
    if (reply->isFinished()) {
        m_lastStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        m_lastError = reply->error();
        body = reply->readAll();
        if (m_lastStatus == 0) {
            m_lastFailure = Failure::Network;
            m_lastErrorText = errorName(m_lastError);
        }
    } else {
        m_lastFailure = timedOut ? Failure::NoAnswer : Failure::Cancelled;
        m_lastErrorText = timedOut ? QStringLiteral("time-out") : QStringLiteral("cancelled");
        reply->abort();
    }
    return body;
}

QByteArray HttpClient::post(const QString& url, const QByteArray& body)
{
    resetLast();
    if (isAborted()) {
        m_lastFailure = Failure::Cancelled;
        m_lastErrorText = QStringLiteral("cancelled");
        return QByteArray();
    }
    QNetworkRequest request(QUrl(url, QUrl::TolerantMode));
    request.setHeader(QNetworkRequest::ContentTypeHeader,
                      QByteArrayLiteral("application/x-www-form-urlencoded"));
    prepare(&request);
    std::unique_ptr<QNetworkReply> reply(m_manager->post(request, body));
    const QByteArray answer = finish(reply.get());
    if (m_lastFailure == Failure::None) {
        const QByteArray setCookie = reply->rawHeader("Set-Cookie");
        if (!setCookie.isEmpty()) {
            const QString value = sessionFromCookie(setCookie);
            if (!value.isEmpty())
                m_session = value;
        }
    }
    return answer;
}

QByteArray HttpClient::upload(const QString& url, const QString& path)
{
    resetLast();
    qDebug().noquote() << "upload" << path << "to" << url;
    if (isAborted()) {
        m_lastFailure = Failure::Cancelled;
        m_lastErrorText = QStringLiteral("cancelled");
        return QByteArray();
    }

    std::unique_ptr<QHttpMultiPart> multiPart(new QHttpMultiPart(QHttpMultiPart::FormDataType));
    multiPart->setBoundary(Boundary);
    QFile* file = new QFile(path, multiPart.get());
    if (!file->open(QIODevice::ReadOnly)) {
        qDebug() << "file open fail";
        m_lastFailure = Failure::FileUnreadable;
        m_lastErrorText = file->errorString();
        return QByteArray();
    }
    QHttpPart part;
    const QByteArray disposition = contentDisposition(QFileInfo(path).fileName());
    part.setRawHeader("Content-Disposition", disposition);
    part.setRawHeader("Content-Type", "application/octet-stream");
    qDebug().noquote() << disposition;
    // Read from disk as the socket drains, never held whole in memory.
    part.setBodyDevice(file);
    multiPart->append(part);

    QNetworkRequest request(QUrl(url, QUrl::TolerantMode));
    // Set here, or Qt would write the boundary in quotes.
    request.setHeader(QNetworkRequest::ContentTypeHeader,
                      QByteArray("multipart/form-data; boundary=") + Boundary);
    prepare(&request);
    std::unique_ptr<QNetworkReply> reply(m_manager->post(request, multiPart.get()));
    const QByteArray answer = finish(reply.get());
    qDebug().noquote() << "response ->" << QString::fromUtf8(answer);
    if (m_lastFailure != Failure::None)
        qDebug().noquote() << "upload error ->" << m_lastErrorText;
    else if (m_lastStatus < 200 || m_lastStatus > 299)
        qDebug().noquote() << "upload refused -> HTTP" << m_lastStatus;
    else
        qDebug() << "upload success";
    // The reply reads from the multipart body, so it goes first.
    reply.reset();
    return answer;
}

} // namespace orvane
