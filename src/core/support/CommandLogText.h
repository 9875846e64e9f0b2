#pragma once

#include <QByteArray>

namespace orvane {

// How a command or reply text appears in the log file: password values are
// replaced by asterisks, and line breaks and tabs (JSON whitespace some
// replies and the RTP command carry) become blanks so that each command
// stays on one log line.
class CommandLogText
{
public:
    static constexpr const char* Mask = "******";

    static QByteArray fromCommand(const char* text);
    // Only the secret values: the whole value (string, number, object, array)
    // of any key, at any depth, whose name holds "pass" or "pwd" in any case,
    // escapes in the key resolved. Where the text is not JSON, the rest of it
    // is withheld if it could hold a secret.
    static QByteArray maskPasswords(const QByteArray& text);
};

} // namespace orvane
