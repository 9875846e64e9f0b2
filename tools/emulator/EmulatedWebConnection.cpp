#include "EmulatedWebConnection.h"

#include "EmulatedWebServer.h"

#include <QTcpSocket>
#include <QTimer>

namespace orvane {

namespace {

const int MaxHeadBytes = 65536;
const qint64 MaxFormBytes = 65536;
const qint64 ReadChunk = 1 << 20;
const qint64 StallAfterBytes = 65536;

QByteArray reason(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 411:
        return "Length Required";
    case 413:
        return "Payload Too Large";
    case 431:
        return "Request Header Fields Too Large";
    case 500:
        return "Internal Server Error";
    case 501:
        return "Not Implemented";
    }
    return "Status";
}

// The session token a Cookie header carries, or empty.
QByteArray sessionOf(const QByteArray& cookieHeader)
{
    for (const QByteArray& part : cookieHeader.split(';')) {
        const QByteArray item = part.trimmed();
        if (item.startsWith("session="))
            return item.mid(8);
    }
    return QByteArray();
}

} // namespace

EmulatedWebConnection::EmulatedWebConnection(QTcpSocket* socket, EmulatedWebServer* server)
    : QObject(server), m_socket(socket), m_server(server)
{
    m_socket->setParent(this);
    // Unread bytes stay in the kernel: a slow reader holds the sender back
    // instead of piling the image up here.
    m_socket->setReadBufferSize(4 * ReadChunk);
    if (m_server->misbehaviour().webSilent)
        m_state = State::Silent;
    connect(m_socket, &QTcpSocket::readyRead, this, &EmulatedWebConnection::readSome);
    connect(m_socket, &QTcpSocket::disconnected, this, [this] {
        if (m_kind == Kind::Upload && (m_state == State::Body || m_state == State::Stalled))
            note(QStringLiteral("upload-broken %1 after %2 of %3 bytes")
                     .arg(m_server->mac())
                     .arg(m_received)
                     .arg(m_length));
        m_state = State::Closed;
        deleteLater();
    });
    readSome();
}

EmulatedWebConnection::~EmulatedWebConnection()
{
    endUpload();
}

void EmulatedWebConnection::note(const QString& text) const
{
    if (m_server->hooks().note)
        m_server->hooks().note(text);
}

QByteArray EmulatedWebConnection::header(const char* name) const
{
    for (const auto& h : m_headers) {
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return h.second;
    }
    return QByteArray();
}

void EmulatedWebConnection::endUpload()
{
    if (!m_uploadCounted)
        return;
    m_uploadCounted = false;
    if (m_server->hooks().uploadEnded)
        m_server->hooks().uploadEnded();
}

void EmulatedWebConnection::cut(const QString& why)
{
    note(why);
    endUpload();
    m_state = State::Closed;
    m_socket->abort();
    deleteLater();
}

void EmulatedWebConnection::readSome()
{
    for (;;) {
        switch (m_state) {
        case State::Silent:
        case State::Stalled:
            // Still read, so that the connection's end is seen.
            m_socket->readAll();
            return;
        case State::Answering:
        case State::Closed:
            return;
        case State::Head:
            if (!readHead())
                return;
            break;
        case State::Body: {
            QByteArray chunk;
            const qint64 want = qMin<qint64>(m_length - m_received, ReadChunk);
            if (!m_buffer.isEmpty()) {
                chunk = m_buffer.left(int(want));
                m_buffer.remove(0, chunk.size());
            } else if (want > 0) {
                chunk = m_socket->read(want);
                if (chunk.isEmpty())
                    return;
            }
            takeBody(chunk);
            break;
        }
        }
    }
}

// False when more bytes are needed or the connection is done with.
bool EmulatedWebConnection::readHead()
{
    int end = m_buffer.indexOf("\r\n\r\n");
    while (end < 0) {
        const QByteArray more = m_socket->readAll();
        if (more.isEmpty()) {
            if (m_buffer.size() > MaxHeadBytes) {
                m_closeAfter = true;
                answer(431, "{\"result\":1}");
            }
            return false;
        }
        m_buffer += more;
        end = m_buffer.indexOf("\r\n\r\n");
    }
    const QList<QByteArray> lines = m_buffer.left(end).split('\n');
    m_buffer.remove(0, end + 4);

    m_headers.clear();
    m_form.clear();
    m_multipart.reset();
    m_received = 0;
    m_length = 0;
    m_cookieAccepted = false;
    const QList<QByteArray> request = lines.first().trimmed().split(' ');
    m_method = request.value(0);
    m_target = request.value(1);
    const QByteArray version = request.value(2);
    for (int i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines.at(i).trimmed();
        const int colon = line.indexOf(':');
        if (colon > 0)
            m_headers.append(qMakePair(line.left(colon).trimmed(), line.mid(colon + 1).trimmed()));
    }
    m_closeAfter = version != "HTTP/1.1" || header("Connection").compare("close", Qt::CaseInsensitive) == 0;

    if (request.size() != 3 || !version.startsWith("HTTP/1.")) {
        m_closeAfter = true;
        answer(400, "{\"result\":1}");
        return false;
    }
    if (!header("Transfer-Encoding").isEmpty()) {
        m_closeAfter = true;
        answer(501, "{\"result\":1}");
        return false;
    }
    const QByteArray lengthText = header("Content-Length");
    bool ok = true;
    m_length = lengthText.isEmpty() ? 0 : lengthText.toLongLong(&ok);
    if (!ok || m_length < 0) {
        m_closeAfter = true;
        answer(400, "{\"result\":1}");
        return false;
    }
    if (m_method == "POST" && lengthText.isEmpty()) {
        m_closeAfter = true;
        answer(411, "{\"result\":1}");
        return false;
    }

    if (m_method == "POST" && m_target == EmulatedWebServer::LoginTarget) {
        m_kind = Kind::Login;
        if (m_length > MaxFormBytes) {
            m_closeAfter = true;
            answer(413, "{\"result\":1}");
            return false;
        }
    } else if (m_method == "POST" && m_target == EmulatedWebServer::UploadTarget) {
        m_kind = Kind::Upload;
        const QByteArray cookie = header("Cookie");
        m_cookieAccepted = m_server->isSession(sessionOf(cookie));
        const QByteArray contentType = header("Content-Type");
        note(QStringLiteral("upload-request %1 content-type=%2")
                 .arg(m_server->mac(), QString::fromLatin1(contentType)));
        if (m_cookieAccepted)
            m_multipart.reset(new MultipartStreamReader(MultipartStreamReader::boundaryOf(contentType)));
        if (m_server->hooks().uploadStarted) {
            m_uploadCounted = true;
            note(QStringLiteral("uploads-at-once %1").arg(m_server->hooks().uploadStarted()));
        }
    } else {
        m_kind = Kind::Other;
    }
    m_state = State::Body;
    if (m_length == 0)
        endRequest();
    return true;
}

void EmulatedWebConnection::takeBody(const QByteArray& chunk)
{
    m_received += chunk.size();
    if (m_kind == Kind::Login)
        m_form += chunk;
    else if (m_multipart)
        m_multipart->feed(chunk);

    if (m_kind == Kind::Upload) {
        const Misbehaviour& m = m_server->misbehaviour();
        if (m.closeMidUpload && m_received >= m_length / 2 && m_received < m_length) {
            cut(QStringLiteral("upload-cut %1 after %2 of %3 bytes")
                    .arg(m_server->mac())
                    .arg(m_received)
                    .arg(m_length));
            return;
        }
        if (m.stallUpload && m_received >= StallAfterBytes && m_received < m_length) {
            note(QStringLiteral("upload-stalled %1 after %2 bytes").arg(m_server->mac()).arg(m_received));
            m_state = State::Stalled;
            m_multipart.reset();
            return;
        }
    }
    if (m_received >= m_length)
        endRequest();
}

void EmulatedWebConnection::endRequest()
{
    const QString mac = m_server->mac();
    if (m_kind == Kind::Login) {
        QByteArray user;
        note(QStringLiteral("login-body %1 %2").arg(mac, QString::fromLatin1(m_form)));
        if (!m_server->checkLogin(m_form, &user)) {
            note(QStringLiteral("login %1 refused user=%2")
                     .arg(mac, QString::fromLatin1(user.toPercentEncoding())));
            answer(200, "{\"result\":1}");
            return;
        }
        const QByteArray session = m_server->newSession();
        note(QStringLiteral("login %1 accepted user=%2 session=%3")
                 .arg(mac, QString::fromLatin1(user.toPercentEncoding()), QString::fromLatin1(session)));
        const QByteArray setCookie = m_server->misbehaviour().cookieAfterPath
                                         ? "Set-Cookie: Path=/; session=" + session
                                         : "Set-Cookie: session=" + session + "; Path=/; HttpOnly";
        const QByteArray body = m_server->misbehaviour().loginReply.isEmpty()
                                    ? "{\"result\":0}"
                                    : m_server->misbehaviour().loginReply;
        answer(200, body, {setCookie});
        return;
    }
    if (m_kind == Kind::Upload) {
        const QByteArray cookie = header("Cookie");
        if (!m_cookieAccepted) {
            note(QStringLiteral("upload-refused %1 cookie=%2")
                     .arg(mac, cookie.isEmpty() ? QStringLiteral("-") : QString::fromLatin1(cookie)));
            answer(403, "{\"result\":1}");
            return;
        }
        if (!m_multipart->isComplete()) {
            note(QStringLiteral("upload-bad %1 %2")
                     .arg(mac, m_multipart->hasFailed() ? QString::fromLatin1(m_multipart->error())
                                                        : QStringLiteral("no closing delimiter")));
            answer(400, "{\"result\":1}");
            return;
        }
        const QVector<MultipartStreamReader::Part>& parts = m_multipart->parts();
        for (const MultipartStreamReader::Part& part : parts) {
            for (const QByteArray& line : part.headerLines)
                note(QStringLiteral("upload-part-header %1 %2").arg(mac, QString::fromUtf8(line)));
        }
        const MultipartStreamReader::Part file = parts.value(0);
        note(QStringLiteral("upload %1 parts=%2 size=%3 sha256=%4 cookie=%5 name=%6")
                 .arg(mac)
                 .arg(parts.size())
                 .arg(file.size)
                 .arg(QString::fromLatin1(file.sha256), QString::fromLatin1(cookie),
                      QString::fromUtf8(file.fileName)));
        const int status =
            m_server->misbehaviour().uploadStatus > 0 ? m_server->misbehaviour().uploadStatus : 200;
        answer(status, status == 200 ? "{\"result\":0}" : "{\"result\":1}");
        return;
    }
    answer(404, "{\"result\":1}");
}

void EmulatedWebConnection::answer(int status, const QByteArray& body, const QList<QByteArray>& headers)
{
    const int slow = m_server->misbehaviour().webSlowMs;
    if (slow <= 0) {
        write(status, body, headers);
        return;
    }
    m_state = State::Answering;
    QTimer::singleShot(slow, this, [this, status, body, headers] { write(status, body, headers); });
}

void EmulatedWebConnection::write(int status, const QByteArray& body, const QList<QByteArray>& headers)
{
    // The upload counts as running until its answer leaves, so that a client
    // that waits for the answer can never see more running than it started.
    endUpload();
    QByteArray out = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason(status) + "\r\n";
    out += "Content-Type: application/json\r\n";
    out += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    for (const QByteArray& h : headers)
        out += h + "\r\n";
    out += m_closeAfter ? "Connection: close\r\n" : "Connection: keep-alive\r\n";
    out += "\r\n" + body;
    m_socket->write(out);
    if (m_closeAfter) {
        m_state = State::Closed;
        m_socket->disconnectFromHost();
        return;
    }
    m_state = State::Head;
    m_kind = Kind::Other;
    // Bytes of a next request may already wait in the socket's buffer.
    QTimer::singleShot(0, this, &EmulatedWebConnection::readSome);
}

} // namespace orvane
