#include "CommandLogText.h"

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool isPasswordKey(const QByteArray& key)
{
    const QByteArray lower = key.toLower();
    return lower.contains("password") || lower.contains("passwd");
}

// Index just past the string that starts with the quote at `open`; the text's
// end when it is not closed.
int endOfString(const QByteArray& text, int open)
{
    int i = open + 1;
    while (i < text.size()) {
        if (text.at(i) == '\\') {
            i += 2;
            continue;
        }
        if (text.at(i) == '"')
            return i + 1;
        ++i;
    }
    return text.size();
}

} // namespace

QByteArray CommandLogText::maskPasswords(const QByteArray& text)
{
    QByteArray out;
    out.reserve(text.size());
    int i = 0;
    while (i < text.size()) {
        if (text.at(i) != '"') {
            out += text.at(i++);
            continue;
        }
        const int keyEnd = endOfString(text, i);
        out += text.mid(i, keyEnd - i);
        const QByteArray key = text.mid(i + 1, qMax(0, keyEnd - i - 2));
        i = keyEnd;
        int j = i;
        while (j < text.size() && isBlank(text.at(j)))
            ++j;
        if (j >= text.size() || text.at(j) != ':' || !isPasswordKey(key))
            continue;
        ++j;
        while (j < text.size() && isBlank(text.at(j)))
            ++j;
        out += text.mid(i, j - i);
        i = j;
        if (i >= text.size())
            break;
        if (text.at(i) == '"') {
            i = endOfString(text, i);
            out += '"';
            out += Mask;
            out += '"';
        } else if (text.at(i) != '{' && text.at(i) != '[') {
            // A bare value (a number, or whatever a device sends) up to the next delimiter.
            while (i < text.size() && text.at(i) != ',' && text.at(i) != '}' && text.at(i) != ']' &&
                   !isBlank(text.at(i)))
                ++i;
            out += Mask;
        }
    }
    return out;
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
