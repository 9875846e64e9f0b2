#include "EmulatedWebServer.h"

#include "EmulatedWebConnection.h"

#include <QCryptographicHash>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>

namespace orvane {

namespace {

// application/x-www-form-urlencoded: "+" is a blank, then percent-decoding.
QByteArray formDecode(QByteArray text)
{
    text.replace('+', ' ');
    return QByteArray::fromPercentEncoding(text);
}

} // namespace

EmulatedWebServer::EmulatedWebServer(const QString& mac, const Misbehaviour& misbehaviour,
                                     EmulatedWebHooks hooks, QObject* parent)
    : QObject(parent), m_mac(mac), m_misbehaviour(misbehaviour), m_hooks(std::move(hooks)),
      m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &EmulatedWebServer::accept);
}

EmulatedWebServer::~EmulatedWebServer()
{
    // Connections use the hooks, which go with this object's members.
    qDeleteAll(findChildren<EmulatedWebConnection*>(QString(), Qt::FindDirectChildrenOnly));
}

bool EmulatedWebServer::listen(const QHostAddress& address, quint16 port, QString* error)
{
    if (m_server->listen(address, port))
        return true;
    *error = m_server->errorString();
    return false;
}

void EmulatedWebServer::accept()
{
    while (QTcpSocket* socket = m_server->nextPendingConnection())
        new EmulatedWebConnection(socket, this);
}

QByteArray EmulatedWebServer::newSession()
{
    quint32 words[4];
    QRandomGenerator::global()->fillRange(words);
    const QByteArray token = QByteArray(reinterpret_cast<const char*>(words), sizeof words).toBase64();
    m_sessions.insert(token);
    return token;
}

bool EmulatedWebServer::checkLogin(const QByteArray& body, QByteArray* user) const
{
    QByteArray account, password;
    bool haveAccount = false, havePassword = false;
    for (const QByteArray& field : body.split('&')) {
        const int eq = field.indexOf('=');
        const QByteArray key = formDecode(eq < 0 ? field : field.left(eq));
        const QByteArray value = eq < 0 ? QByteArray() : formDecode(field.mid(eq + 1));
        // A second field of the same name is a body cut up by an unencoded "&" or "=".
        if (key == "username") {
            if (haveAccount)
                return false;
            account = value;
            haveAccount = true;
        } else if (key == "password") {
            if (havePassword)
                return false;
            password = value;
            havePassword = true;
        } else {
            return false;
        }
    }
    *user = account;
    if (!haveAccount || !havePassword || m_misbehaviour.refuseLogin)
        return false;
    const QPair<QString, QString> credentials = m_hooks.credentials();
    const QByteArray stored = credentials.second.toUtf8();
    // The program sends what its record holds: the password a search
    // reported, or the MD5 digest it set with SetAccountPassword.
    return account == credentials.first.toUtf8() &&
           (password == stored ||
            password == QCryptographicHash::hash(stored, QCryptographicHash::Md5).toHex());
}

} // namespace orvane
