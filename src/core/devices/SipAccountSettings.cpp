#include "SipAccountSettings.h"

#include "ProtocolClient.h"

#include <cjson/cJSON.h>

namespace orvane {

namespace {
QString stringOf(const cJSON* object, const char* key)
{
    const cJSON* item = cJSON_GetObjectItem(object, key);
    return cJSON_IsString(item) && item->valuestring ? QString::fromUtf8(item->valuestring) : QString();
}
} // namespace

bool SipAccountSettings::isComplete() const
{
    return !serverHost.isEmpty() && !serverPort.isEmpty() && !account.isEmpty() && !password.isEmpty();
}

QString SipAccountSettings::summary(const SipAccountSettings& sip0, const SipAccountSettings& sip1)
{
    for (const SipAccountSettings* sip : {&sip0, &sip1}) {
        if (sip->isComplete())
            return QStringLiteral("%1@%2").arg(sip->account, sip->serverHost);
    }
    return QString();
}

bool SipAccountSettings::readJson(const cJSON* object)
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

QByteArray SipAccountSettings::toText() const
{
    // The blanks around the colons and after some commas are what devices have
    // always been sent; keep them.
    QByteArray text;
    text += "{\"serverHost\" : \"" + ProtocolClient::jsonEscape(serverHost);
    text += "\",\"serverPort\" : \"" + ProtocolClient::jsonEscape(serverPort);
    text += "\", \"account\" : \"" + ProtocolClient::jsonEscape(account);
    text += "\",\"password\" : \"" + ProtocolClient::jsonEscape(password);
    text += "\",\"displayName\" : \"" + ProtocolClient::jsonEscape(displayName);
    text += "\"}";
    return text;
}

} // namespace orvane
