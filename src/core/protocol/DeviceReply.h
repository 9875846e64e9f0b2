#pragma once

#include <QString>
#include <cstdint>
#include <memory>

struct cJSON;

namespace orvane {

class RawFrame;

// One received command frame in parsed form: the sender as the ARP body names
// it, where the frame was addressed, and the JSON tree of its text. Deleting a
// reply frees the tree.
class DeviceReply
{
public:
    // Never fails: a frame whose text does not parse gives a reply without a tree.
    static std::unique_ptr<DeviceReply> fromFrame(const RawFrame& frame);
    // For replies that did not come off the wire; a null text gives no tree.
    // The destination is left all zero.
    DeviceReply(const uint8_t mac[6], const uint8_t ip[4], const char* text);
    ~DeviceReply();

    DeviceReply(const DeviceReply&) = delete;
    DeviceReply& operator=(const DeviceReply&) = delete;

    const uint8_t* mac() const { return m_mac; }
    const uint8_t* ip() const { return m_ip; }
    // The Ethernet destination of the frame.
    const uint8_t* destination() const { return m_destination; }
    bool isFrom(const uint8_t mac[6]) const;
    // The parsed text when it is a JSON object without ambiguous keys; none otherwise.
    const cJSON* json() const { return m_json; }
    // The text parsed but named one key twice (in any case, at any depth):
    // which of the two a reader would take is anybody's guess, so neither is.
    bool hasDuplicateKeys() const { return m_duplicateKeys; }

    // The "id" member: a whole number in int range, or a string holding only
    // such a decimal number; -1 otherwise.
    int id() const;
    // Whether the reply carries a readable id at all, so that command -1 (id
    // 0xffffffff printed with %d) is not answered by every reply without one.
    bool hasId() const;
    bool answers(uint32_t commandId) const { return hasId() && id() == static_cast<int>(commandId); }

    // Member lookup ignores the case of the key.
    const cJSON* member(const char* key) const;
    // The member's text when it is a string, else none (an empty, null QString).
    QString stringMember(const char* key) const;
    // "result" is exactly "success"; the key may be written in any case.
    bool isSuccess() const;

    // A JSON number that is whole and fits an int; 1e400 or 0.9 is no such number.
    static bool integerOf(const cJSON* item, int* value);
    // Whether any object in the tree names a key twice, ignoring case.
    static bool hasDuplicateKeys(const cJSON* item);

private:
    bool readId(int* id) const;

    uint8_t m_mac[6] = {};
    uint8_t m_ip[4] = {};
    uint8_t m_destination[6] = {};
    cJSON* m_json = nullptr;
    bool m_duplicateKeys = false;
};

} // namespace orvane
