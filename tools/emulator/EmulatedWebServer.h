#pragma once

#include "EmulatedDevice.h"

#include <QHostAddress>
#include <QObject>
#include <QPair>
#include <QSet>
#include <QString>
#include <functional>

class QTcpServer;

namespace orvane {

// What a device's web interface needs from the emulator around it.
struct EmulatedWebHooks
{
    // One log line (the emulator adds the "# <time>" prefix).
    std::function<void(const QString& text)> note;
    // The device's account and password as they stand now (SetAccountPassword changes them).
    std::function<QPair<QString, QString>()> credentials;
    // An upload's body begins; returns the number of uploads now running on all devices.
    std::function<int()> uploadStarted;
    std::function<void()> uploadEnded;
};

// One device's web interface: POST /cgi-bin/CGI?login and POST
// /cgi-bin/upload over HTTP/1.1 on the device's own IPv4 address.
class EmulatedWebServer : public QObject
{
    Q_OBJECT
public:
    static constexpr char LoginTarget[] = "/cgi-bin/CGI?login";
    static constexpr char UploadTarget[] = "/cgi-bin/upload";

    EmulatedWebServer(const QString& mac, const Misbehaviour& misbehaviour, EmulatedWebHooks hooks,
                      QObject* parent = nullptr);
    ~EmulatedWebServer() override;

    bool listen(const QHostAddress& address, quint16 port, QString* error);

    const QString& mac() const { return m_mac; }
    const Misbehaviour& misbehaviour() const { return m_misbehaviour; }
    const EmulatedWebHooks& hooks() const { return m_hooks; }

    // A fresh session token; it holds '=' padding, as base64 tokens of real devices do.
    QByteArray newSession();
    bool isSession(const QByteArray& token) const { return m_sessions.contains(token); }
    // Whether a login body (form-encoded) carries this device's account and password.
    bool checkLogin(const QByteArray& body, QByteArray* user) const;

private:
    void accept();

    QString m_mac;
    Misbehaviour m_misbehaviour;
    EmulatedWebHooks m_hooks;
    QTcpServer* m_server;
    QSet<QByteArray> m_sessions;
};

} // namespace orvane
