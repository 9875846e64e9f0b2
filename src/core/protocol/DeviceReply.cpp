#include "DeviceReply.h"

#include "CommandFrame.h"
#include "RawFrame.h"

#include <cctype>
#include <cerrno>
#include <cjson/cJSON.h>
#include <climits>
#include <cstdlib>
#include <cstring>

std::unique_ptr<DeviceReply> DeviceReply::fromFrame(const RawFrame& frame)
{
    uint8_t mac[6];
    uint8_t ip[4];
    CommandFrame::sender(frame, mac, ip);
    const bool marked = frame.bytes()[CommandFrame::HeaderOffset] == 0x88 &&
                        frame.bytes()[CommandFrame::HeaderOffset + 1] == 0x88;
    return std::make_unique<DeviceReply>(mac, ip, marked ? CommandFrame::text(frame) : nullptr);
}

DeviceReply::DeviceReply(const uint8_t mac[6], const uint8_t ip[4], const char* text)
{
    memcpy(m_mac, mac, sizeof m_mac);
    memcpy(m_ip, ip, sizeof m_ip);
    if (!text)
        return;
    m_json = cJSON_Parse(text);
    // Every reader below expects members with names; an array or a bare value
    // from a confused device counts as no JSON at all.
    if (m_json && !cJSON_IsObject(m_json)) {
        cJSON_Delete(m_json);
        m_json = nullptr;
    }
}

DeviceReply::~DeviceReply()
{
    cJSON_Delete(m_json);
}

bool DeviceReply::readId(int* id) const
{
    const cJSON* item = member("id");
    if (cJSON_IsNumber(item)) {
        *id = item->valueint;
        return true;
    }
    if (!cJSON_IsString(item) || !item->valuestring)
        return false;
    // Read the way "%d" reads: blanks, a sign, digits, anything after them ignored;
    // out-of-range numbers do not match any command.
    const char* p = item->valuestring;
    while (isspace(static_cast<unsigned char>(*p)))
        ++p;
    const char* digits = p;
    if (*digits == '+' || *digits == '-')
        ++digits;
    if (!isdigit(static_cast<unsigned char>(*digits)))
        return false;
    errno = 0;
    char* end = nullptr;
    const long long value = strtoll(p, &end, 10);
    if (errno == ERANGE || value < INT_MIN || value > INT_MAX)
        return false;
    *id = static_cast<int>(value);
    return true;
}

int DeviceReply::id() const
{
    int value = -1;
    return readId(&value) ? value : -1;
}

bool DeviceReply::hasId() const
{
    int value;
    return readId(&value);
}

const cJSON* DeviceReply::member(const char* key) const
{
    return m_json ? cJSON_GetObjectItem(m_json, key) : nullptr;
}

QString DeviceReply::stringMember(const char* key) const
{
    const cJSON* item = member(key);
    if (!cJSON_IsString(item) || !item->valuestring)
        return QString();
    return QString::fromUtf8(item->valuestring);
}

bool DeviceReply::isSuccess() const
{
    const cJSON* item = member("result");
    return cJSON_IsString(item) && item->valuestring && strcmp(item->valuestring, "success") == 0;
}
