#include "RtpChannelSettings.h"

#include "DeviceReply.h"
#include "StreamDestination.h"

#include <cjson/cJSON.h>

namespace orvane {

namespace {
int numberOf(const cJSON* object, const char* key)
{
    const cJSON* item = cJSON_GetObjectItem(object, key);
    // A port of 1e400 or 5004.5 is no port at all rather than 2147483647 or 5004.
    int value = 0;
    return DeviceReply::integerOf(item, &value) ? value : 0;
}
} // namespace

void RtpChannelSettings::reset()
{
    enable = 0;
    rtpIP.clear();
    rtpPort = 0;
}

RtpChannelSettings RtpChannelSettings::fromEndpointText(const QString& text)
{
    RtpChannelSettings s;
    s.enable = 1;
    const EndpointText e = EndpointText::split(text);
    s.rtpIP = e.address;
    s.rtpPort = e.port > 0 ? e.port : 0;
    return s;
}

QString RtpChannelSettings::endpointText() const
{
    if (rtpIP.isEmpty())
        return QString();
    if (rtpPort == 0)
        return rtpIP;
    return QStringLiteral("%1:%2").arg(rtpIP).arg(rtpPort);
}

QString RtpChannelSettings::summary(const QList<RtpChannelSettings>& channels)
{
    for (const RtpChannelSettings& channel : channels) {
        if (channel.isSet())
            return QStringLiteral("%1:%2").arg(channel.rtpIP).arg(channel.rtpPort);
    }
    return QString();
}

void RtpChannelSettings::readJson(const cJSON* object)
{
    if (!cJSON_IsObject(object)) {
        reset();
        return;
    }
    enable = numberOf(object, "enable");
    const cJSON* ip = cJSON_GetObjectItem(object, "rtpIP");
    rtpIP = cJSON_IsString(ip) && ip->valuestring ? QString::fromUtf8(ip->valuestring) : QString();
    rtpPort = numberOf(object, "rtpPort");
}

cJSON* RtpChannelSettings::toJson() const
{
    cJSON* object = cJSON_CreateObject();
    cJSON_AddNumberToObject(object, "enable", enable);
    cJSON_AddStringToObject(object, "rtpIP", rtpIP.toUtf8().constData());
    cJSON_AddNumberToObject(object, "rtpPort", rtpPort);
    return object;
}

} // namespace orvane
