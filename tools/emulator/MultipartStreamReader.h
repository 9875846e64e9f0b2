#pragma once

#include <QByteArray>
#include <QCryptographicHash>
#include <QList>
#include <QVector>
#include <memory>

namespace orvane {

// Reads a multipart/form-data body as it arrives, without holding it: each
// part's headers are kept, its content only counted and hashed, so a firmware
// image of any size costs no memory.
class MultipartStreamReader
{
public:
    struct Part
    {
        QList<QByteArray> headerLines; // as received, without line breaks
        QByteArray name;               // from Content-Disposition
        QByteArray fileName;
        qint64 size = 0;
        QByteArray sha256; // lower-case hex, once the part has ended
    };

    explicit MultipartStreamReader(const QByteArray& boundary);
    ~MultipartStreamReader();

    void feed(const QByteArray& data);
    // True when the closing delimiter has been read and the layout held.
    bool isComplete() const { return m_state == State::Epilogue; }
    bool hasFailed() const { return m_state == State::Failed; }
    QByteArray error() const { return m_error; }
    const QVector<Part>& parts() const { return m_parts; }

    // The boundary parameter of a Content-Type header, quoted or not; empty when none.
    static QByteArray boundaryOf(const QByteArray& contentType);
    // A parameter of a Content-Disposition header (name, filename), quoted or not.
    static QByteArray dispositionParameter(const QByteArray& disposition, const QByteArray& parameter);

private:
    enum class State
    {
        Preamble,
        AfterDelimiter,
        Headers,
        Body,
        Epilogue,
        Failed
    };

    void fail(const QByteArray& why);
    void takeBody(const char* data, int size);
    void endPart();

    QByteArray m_delimiter; // CRLF "--" boundary
    QByteArray m_pending;
    State m_state = State::Preamble;
    QByteArray m_error;
    QVector<Part> m_parts;
    std::unique_ptr<QCryptographicHash> m_hash;
};

} // namespace orvane
