#pragma once

#include <QByteArray>

// How a command or reply text appears in the log file: password values are
// replaced by asterisks, and line breaks and tabs (JSON whitespace some
// replies and the RTP command carry) become blanks so that each command
// stays on one log line.
class CommandLogText
{
public:
    static constexpr const char* Mask = "******";

    static QByteArray fromCommand(const char* text);
    // Only the password values: the string or number after any key whose name
    // holds "password" or "passwd", in any case, quoted or not.
    static QByteArray maskPasswords(const QByteArray& text);
};
