#include "SipSettings.h"

#include "OrvaneSDK.h"

#include <cjson/cJSON.h>

namespace {
QString stringOf(const cJSON* object, const char* key)
{
    const cJSON* item = cJSON_GetObjectItem(object, key);
    return cJSON_IsString(item) && item->valuestring ? QString::fromUtf8(item->valuestring) : QString();
}
} // namespace

void SipSettings::clear()
{
    account.clear();
    password.clear();
    displayName.clear();
    serverHost.clear();
    serverPort.clear();
}

bool SipSettings::isComplete() const
{
    return !serverHost.isEmpty() && !serverPort.isEmpty() && !account.isEmpty() && !password.isEmpty();
}

QString SipSettings::summary(const SipSettings& sip0, const SipSettings& sip1)
{
    for (const SipSettings* sip : {&sip0, &sip1}) {
        if (sip->isComplete())
            return QStringLiteral("%1@%2").arg(sip->account, sip->serverHost);
    }
    return QString();
}

bool SipSettings::readJson(const cJSON* object)
{
    if (!cJSON_IsObject(object))
        return false;
    serverHost = stringOf(object, "serverHost");
    serverPort = stringOf(object, "serverPort");
    displayName = stringOf(object, "displayName");
    account = stringOf(object, "account");
    password = stringOf(object, "password");
    return true;
}

QByteArray SipSettings::toText() const
{
    // The blanks around the colons and after some commas are what devices have
    // always been sent; keep them.
    QByteArray text;
    text += "{\"serverHost\" : \"" + OrvaneSDK::jsonEscape(serverHost);
    text += "\",\"serverPort\" : \"" + OrvaneSDK::jsonEscape(serverPort);
    text += "\", \"account\" : \"" + OrvaneSDK::jsonEscape(account);
    text += "\",\"password\" : \"" + OrvaneSDK::jsonEscape(password);
    text += "\",\"displayName\" : \"" + OrvaneSDK::jsonEscape(displayName);
    text += "\"}";
    return text;
}

bool SipSettings::operator==(const SipSettings& other) const
{
    return account == other.account && password == other.password && displayName == other.displayName &&
           serverHost == other.serverHost && serverPort == other.serverPort;
}
