#pragma once

#include <QString>
#include <QStringList>

// The rules that a settings page and the command-line front end share, so
// that a batch gives every device the same values whichever way it was started.
class BatchRules
{
public:
    // Four decimal numbers 0 to 255 without leading zeros, separated by dots,
    // nothing before or after.
    static bool isValidAddress(const QString& text);
    // The address for the next device of a batch: only the last number counts
    // up, 255 wrapping to 0 without a carry.
    static QString nextAddress(const QString& address);
    // The next MAC text of a batch: a base-16 counter over the characters that
    // jumps over the separator places 2, 5, 8, 11 and 14. Empty for a text the
    // counter cannot hold (over 31 characters).
    static QString macSuccessor(const QString& mac);
    static constexpr int MaxMacTextLength = 31;
    // One value per device of a batch: first, then each next one. The sequence
    // goes on past a device that fails, so every device's value is fixed up front.
    static QStringList addressSequence(const QString& first, int count);
    static QStringList macSequence(const QString& first, int count);
    // What a device receives instead of a typed password: the lower-case
    // hexadecimal MD5 digest of its UTF-8 bytes.
    static QString passwordDigest(const QString& password);
};
