#include "RtpSettings.h"

#include <cjson/cJSON.h>

namespace {
int numberOf(const cJSON* object, const char* key)
{
    const cJSON* item = cJSON_GetObjectItem(object, key);
    return cJSON_IsNumber(item) ? item->valueint : 0;
}
} // namespace

void RtpSettings::reset()
{
    enable = 0;
    rtpIP.clear();
    rtpPort = 0;
}

void RtpSettings::readJson(const cJSON* object)
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

cJSON* RtpSettings::toJson() const
{
    cJSON* object = cJSON_CreateObject();
    cJSON_AddNumberToObject(object, "enable", enable);
    cJSON_AddStringToObject(object, "rtpIP", rtpIP.toUtf8().constData());
    cJSON_AddNumberToObject(object, "rtpPort", rtpPort);
    return object;
}
