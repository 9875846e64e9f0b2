#pragma once

#include <QByteArray>
#include <QString>

struct cJSON;

namespace orvane {

// One SIP account of a device as GetSipSettings and SetSipSettings carry it.
class SipAccountSettings
{
public:
    // The device reads one account object from a buffer of this many bytes.
    static constexpr int MaxTextLength = 255;

    SipAccountSettings() = default;
    virtual ~SipAccountSettings() = default;
    SipAccountSettings(const SipAccountSettings&) = default;
    SipAccountSettings& operator=(const SipAccountSettings&) = default;

    // The display name is optional; a device registers without it.
    bool isComplete() const;

    // "account@serverHost" of the first complete account, or empty text.
    static QString summary(const SipAccountSettings& sip0, const SipAccountSettings& sip1);

    // Fills all five texts from an account object, a text that is missing or not
    // a string becoming empty. Without an object the values stay and false is returned.
    bool readJson(const cJSON* object);
    // The account object of SetSipSettings, values JSON-escaped; it may be
    // longer than MaxTextLength, which the sender has to check.
    QByteArray toText() const;

    QString account;
    QString password;
    QString displayName;
    QString serverHost;
    QString serverPort; // a string in both directions
};

} // namespace orvane
