#include "CommandLogText.h"
#include "HexDigit.h"

namespace orvane {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Deep enough for every command and reply there is; deeper texts are treated
// as unreadable rather than risk the stack.
constexpr int MaxDepth = 64;

// Walks the text as JSON and copies it, with the value of every secret key
// replaced. Where the text stops being JSON, the rest is copied only when
// nothing in it could name a secret.
class Masker
{
public:
    explicit Masker(const QByteArray& text) : m_in(text) {}

    QByteArray run()
    {
        bool ok = value(0);
        if (ok) {
            skipBlanks();
            ok = m_pos == m_in.size();
        }
        if (!ok) {
            // From the start of the text that broke off: a key the JSON library
            // still reads ("pass\u!!!!" is "pass" to it) must not go out whole.
            copyTo(qMin(m_tokenStart, m_in.size()));
            const QByteArray rest = m_in.mid(m_copied).toLower();
            if (rest.contains("pass") || rest.contains("pwd") || rest.contains('\\'))
                m_out += CommandLogText::Mask;
            else
                m_out += rest.isEmpty() ? QByteArray() : m_in.mid(m_copied);
            return m_out;
        }
        copyTo(m_in.size());
        return m_out;
    }

private:
    char at() const { return m_pos < m_in.size() ? m_in.at(m_pos) : '\0'; }
    void skipBlanks()
    {
        while (m_pos < m_in.size() && isBlank(m_in.at(m_pos)))
            ++m_pos;
    }
    void copyTo(int end)
    {
        if (end > m_copied)
            m_out += m_in.mid(m_copied, end - m_copied);
        m_copied = qMax(m_copied, end);
    }

    static bool isSecret(const QByteArray& key)
    {
        const QByteArray lower = key.toLower();
        return lower.contains("pass") || lower.contains("pwd");
    }

    // A string at m_pos; its decoded text (escapes resolved, so that
    // "pass\u0077ord" reads as what it is) goes to decoded when given.
    bool string(QByteArray* decoded)
    {
        if (at() != '"')
            return false;
        m_tokenStart = m_pos++;
        while (m_pos < m_in.size()) {
            const char c = m_in.at(m_pos++);
            if (c == '"')
                return true;
            if (c != '\\') {
                if (decoded)
                    *decoded += c;
                continue;
            }
            const char e = at();
            ++m_pos;
            if (e == 'u') {
                int code = 0;
                for (int i = 0; i < 4; ++i) {
                    const int digit = hexDigitValue(at());
                    if (digit < 0)
                        return false;
                    code = code * 16 + digit;
                    ++m_pos;
                }
                if (decoded)
                    *decoded += code < 0x80 ? char(code) : '?';
            } else if (QByteArray("\"\\/bfnrt").contains(e)) {
                if (decoded)
                    *decoded += e;
            } else {
                return false;
            }
        }
        return false;
    }

    bool word()
    {
        const int start = m_pos;
        while (m_pos < m_in.size() && (QByteArray("+-.eE").contains(at()) || (at() >= '0' && at() <= '9') ||
                                       (at() >= 'a' && at() <= 'z')))
            ++m_pos;
        const QByteArray w = m_in.mid(start, m_pos - start);
        if (w == "true" || w == "false" || w == "null")
            return true;
        if (w.isEmpty() || !(w.at(0) == '-' || (w.at(0) >= '0' && w.at(0) <= '9')))
            return false;
        for (char c : w) {
            if (c >= 'a' && c <= 'z' && c != 'e')
                return false;
        }
        return true;
    }

    bool container(int depth, char close)
    {
        ++m_pos;
        skipBlanks();
        if (at() == close) {
            ++m_pos;
            return true;
        }
        for (;;) {
            skipBlanks();
            bool secret = false;
            if (close == '}') {
                QByteArray key;
                if (!string(&key))
                    return false;
                skipBlanks();
                if (at() != ':')
                    return false;
                ++m_pos;
                secret = isSecret(key);
            }
            if (!(secret ? maskedValue(depth + 1) : value(depth + 1)))
                return false;
            skipBlanks();
            if (at() == close) {
                ++m_pos;
                return true;
            }
            if (at() != ',')
                return false;
            ++m_pos;
        }
    }

    bool value(int depth)
    {
        if (depth > MaxDepth)
            return false;
        skipBlanks();
        switch (at()) {
        case '"':
            return string(nullptr);
        case '{':
            return container(depth, '}');
        case '[':
            return container(depth, ']');
        default:
            return word();
        }
    }

    // The whole value goes, whatever its kind: a password sent as a number,
    // an object or an array is as secret as one sent as a string.
    bool maskedValue(int depth)
    {
        skipBlanks();
        copyTo(m_pos);
        const bool quoted = at() == '"';
        const bool ok = value(depth);
        m_out += quoted ? QByteArray("\"") + CommandLogText::Mask + '"' : QByteArray(CommandLogText::Mask);
        // A secret value that does not end takes the rest of the text with it.
        m_copied = ok ? m_pos : m_in.size();
        if (!ok)
            m_pos = m_in.size();
        return ok;
    }

    const QByteArray& m_in;
    QByteArray m_out;
    int m_pos = 0;
    int m_copied = 0;
    int m_tokenStart = 0; // where the last string began
};

} // namespace

QByteArray CommandLogText::maskPasswords(const QByteArray& text)
{
    if (text.isEmpty())
        return text;
    return Masker(text).run();
}

QByteArray CommandLogText::fromCommand(const char* text)
{
    QByteArray line = maskPasswords(QByteArray(text ? text : ""));
    for (char& c : line) {
        if (c == '\n' || c == '\r' || c == '\t')
            c = ' ';
    }
    return line;
}

} // namespace orvane
