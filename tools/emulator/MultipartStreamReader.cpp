#include "MultipartStreamReader.h"

namespace orvane {

namespace {

const int MaxHeaderBytes = 16384;

// A parameter of a header value such as `type; a=1; b="x;y"`, where a quoted
// value may hold semicolons and backslash escapes.
QByteArray headerParameter(const QByteArray& value, const QByteArray& wanted)
{
    int i = value.indexOf(';');
    if (i < 0)
        return QByteArray();
    ++i;
    const int n = value.size();
    while (i < n) {
        while (i < n && (value[i] == ' ' || value[i] == '\t'))
            ++i;
        const int nameStart = i;
        while (i < n && value[i] != '=' && value[i] != ';')
            ++i;
        const QByteArray name = value.mid(nameStart, i - nameStart).trimmed();
        QByteArray parameter;
        if (i < n && value[i] == '=') {
            ++i;
            if (i < n && value[i] == '"') {
                ++i;
                while (i < n && value[i] != '"') {
                    if (value[i] == '\\' && i + 1 < n)
                        ++i;
                    parameter += value[i++];
                }
                ++i;
                while (i < n && value[i] != ';')
                    ++i;
            } else {
                const int start = i;
                while (i < n && value[i] != ';')
                    ++i;
                parameter = value.mid(start, i - start).trimmed();
            }
        }
        if (name.compare(wanted, Qt::CaseInsensitive) == 0)
            return parameter;
        ++i;
    }
    return QByteArray();
}

} // namespace

MultipartStreamReader::MultipartStreamReader(const QByteArray& boundary)
    : m_delimiter("\r\n--" + boundary),
      // The first delimiter may open the body without a line break before it.
      m_pending("\r\n")
{
    if (boundary.isEmpty())
        fail("no boundary");
}

MultipartStreamReader::~MultipartStreamReader() = default;

QByteArray MultipartStreamReader::boundaryOf(const QByteArray& contentType)
{
    return headerParameter(contentType, "boundary");
}

QByteArray MultipartStreamReader::dispositionParameter(const QByteArray& disposition,
                                                       const QByteArray& parameter)
{
    return headerParameter(disposition, parameter);
}

void MultipartStreamReader::fail(const QByteArray& why)
{
    m_state = State::Failed;
    m_error = why;
    m_pending.clear();
    m_hash.reset();
}

void MultipartStreamReader::takeBody(const char* data, int size)
{
    if (size <= 0)
        return;
    m_parts.last().size += size;
    m_hash->addData(data, size);
}

void MultipartStreamReader::endPart()
{
    m_parts.last().sha256 = m_hash->result().toHex();
    m_hash.reset();
}

void MultipartStreamReader::feed(const QByteArray& data)
{
    if (m_state == State::Epilogue || m_state == State::Failed)
        return;
    m_pending += data;
    const int keep = m_delimiter.size() - 1;
    for (;;) {
        switch (m_state) {
        case State::Preamble: {
            const int at = m_pending.indexOf(m_delimiter);
            if (at < 0) {
                if (m_pending.size() > keep)
                    m_pending = m_pending.right(keep);
                return;
            }
            m_pending.remove(0, at + m_delimiter.size());
            m_state = State::AfterDelimiter;
            break;
        }
        case State::AfterDelimiter: {
            int skip = 0;
            while (skip < m_pending.size() && (m_pending[skip] == ' ' || m_pending[skip] == '\t'))
                ++skip;
            m_pending.remove(0, skip);
            if (m_pending.size() < 2)
                return;
            if (m_pending.startsWith("--")) {
                m_state = State::Epilogue;
                m_pending.clear();
                return;
            }
            if (!m_pending.startsWith("\r\n")) {
                fail("a delimiter is not followed by a line break");
                return;
            }
            m_pending.remove(0, 2);
            m_parts.append(Part());
            m_state = State::Headers;
            break;
        }
        case State::Headers: {
            int end = -1;
            if (m_pending.startsWith("\r\n")) {
                end = 0;
            } else {
                const int at = m_pending.indexOf("\r\n\r\n");
                if (at >= 0)
                    end = at + 2;
            }
            if (end < 0) {
                if (m_pending.size() > MaxHeaderBytes)
                    fail("part headers too long");
                return;
            }
            Part& part = m_parts.last();
            if (end > 0) {
                for (const QByteArray& line : m_pending.left(end - 2).split('\n')) {
                    const QByteArray clean = line.endsWith('\r') ? line.chopped(1) : line;
                    part.headerLines.append(clean);
                    const int colon = clean.indexOf(':');
                    if (colon > 0 && clean.left(colon).trimmed().compare("Content-Disposition",
                                                                         Qt::CaseInsensitive) == 0) {
                        const QByteArray value = clean.mid(colon + 1).trimmed();
                        part.name = dispositionParameter(value, "name");
                        part.fileName = dispositionParameter(value, "filename");
                    }
                }
            }
            m_pending.remove(0, end + 2);
            m_hash.reset(new QCryptographicHash(QCryptographicHash::Sha256));
            m_state = State::Body;
            break;
        }
        case State::Body: {
            const int at = m_pending.indexOf(m_delimiter);
            if (at < 0) {
                if (m_pending.size() > keep) {
                    takeBody(m_pending.constData(), m_pending.size() - keep);
                    m_pending = m_pending.right(keep);
                }
                return;
            }
            takeBody(m_pending.constData(), at);
            endPart();
            m_pending.remove(0, at + m_delimiter.size());
            m_state = State::AfterDelimiter;
            break;
        }
        case State::Epilogue:
        case State::Failed:
            return;
        }
    }
}

} // namespace orvane
