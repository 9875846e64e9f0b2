#include "DeviceReply.h"

#include "CommandFrame.h"
#include "RawFrame.h"

#include <cctype>
#include <cerrno>
#include <cjson/cJSON.h>
#include <climits>
#include <cstdlib>
#include <cmath>
#include <cstring>
#include <strings.h>

namespace orvane {

std::unique_ptr<DeviceReply> DeviceReply::fromFrame(const RawFrame& frame)
{
    uint8_t mac[6];
    uint8_t ip[4];
    CommandFrame::sender(frame, mac, ip);
    const bool marked = frame.bytes()[CommandFrame::HeaderOffset] == 0x88 &&
                        frame.bytes()[CommandFrame::HeaderOffset + 1] == 0x88;
    auto reply = std::make_unique<DeviceReply>(mac, ip, marked ? CommandFrame::text(frame) : nullptr);
    memcpy(reply->m_destination, frame.bytes(), sizeof reply->m_destination);
    return reply;
}

bool DeviceReply::isFrom(const uint8_t mac[6]) const
{
    return memcmp(m_mac, mac, sizeof m_mac) == 0;
}

bool DeviceReply::integerOf(const cJSON* item, int* value)
{
    if (!cJSON_IsNumber(item))
        return false;
    const double number = item->valuedouble;
    if (!std::isfinite(number) || number != std::floor(number) || number < INT_MIN || number > INT_MAX)
        return false;
    *value = static_cast<int>(number);
    return true;
}

bool DeviceReply::hasDuplicateKeys(const cJSON* item)
{
    for (; item; item = item->next) {
        // Lookups ignore case, so "Result" and "result" are as ambiguous as two "result"s.
        if (item->string) {
            for (const cJSON* later = item->next; later; later = later->next) {
                if (later->string && strcasecmp(item->string, later->string) == 0)
                    return true;
            }
        }
        if (item->child && hasDuplicateKeys(item->child))
            return true;
    }
    return false;
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
    // A sender naming "mac" or "id" twice could show one reader one value and
    // another reader the other; such a reply is refused whole.
    if (m_json && hasDuplicateKeys(m_json->child)) {
        m_duplicateKeys = true;
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
    if (cJSON_IsNumber(item))
        return integerOf(item, id);
    if (!cJSON_IsString(item) || !item->valuestring)
        return false;
    // A decimal number and nothing else but blanks: "0.9" or "7abc" must not
    // answer command 0 or 7, and out-of-range numbers answer no command.
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
    while (isspace(static_cast<unsigned char>(*end)))
        ++end;
    if (*end != '\0')
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

} // namespace orvane
