#pragma once

#include "MultipartStreamReader.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <memory>

class QTcpSocket;

namespace orvane {

class EmulatedWebServer;

// One TCP connection to a device's web interface: HTTP/1.1 requests with
// Content-Length bodies, one after another (keep-alive), answered in order.
// Deletes itself when the connection ends.
class EmulatedWebConnection : public QObject
{
    Q_OBJECT
public:
    EmulatedWebConnection(QTcpSocket* socket, EmulatedWebServer* server);
    ~EmulatedWebConnection() override;

private:
    enum class State
    {
        Head,      // reading a request line and headers
        Body,      // reading a request body
        Answering, // a (slow) answer is due; later requests wait
        Stalled,   // stallUpload: everything is read and dropped, nothing answered
        Silent,    // webSilent: everything is read and dropped
        Closed
    };
    enum class Kind
    {
        Login,
        Upload,
        Other
    };

    void readSome();
    bool readHead();
    void takeBody(const QByteArray& chunk);
    void endRequest();
    void answer(int status, const QByteArray& body, const QList<QByteArray>& headers = {});
    void write(int status, const QByteArray& body, const QList<QByteArray>& headers);
    void endUpload();
    void cut(const QString& why);
    QByteArray header(const char* name) const;
    void note(const QString& text) const;

    QTcpSocket* m_socket;
    EmulatedWebServer* m_server;
    State m_state = State::Head;
    QByteArray m_buffer;

    // The request being read.
    Kind m_kind = Kind::Other;
    QByteArray m_method;
    QByteArray m_target;
    QList<QPair<QByteArray, QByteArray>> m_headers;
    qint64 m_length = 0;
    qint64 m_received = 0;
    bool m_closeAfter = false;
    QByteArray m_form;
    bool m_cookieAccepted = false;
    std::unique_ptr<MultipartStreamReader> m_multipart;
    bool m_uploadCounted = false;
};

} // namespace orvane
