#pragma once

#include <QString>
#include <cstdint>
#include <memory>

struct cJSON;
class RawFrame;

// One received command frame in parsed form: the sender as the ARP body names
// it and the JSON tree of its text. Deleting a reply frees the tree.
class DeviceReply
{
public:
    // Never fails: a frame whose text does not parse gives a reply without a tree.
    static std::unique_ptr<DeviceReply> fromFrame(const RawFrame& frame);
    // For replies that did not come off the wire; a null text gives no tree.
    DeviceReply(const uint8_t mac[6], const uint8_t ip[4], const char* text);
    ~DeviceReply();

    DeviceReply(const DeviceReply&) = delete;
    DeviceReply& operator=(const DeviceReply&) = delete;

    const uint8_t* mac() const { return m_mac; }
    const uint8_t* ip() const { return m_ip; }
    // The parsed text when it is a JSON object; none otherwise.
    const cJSON* json() const { return m_json; }

    // The "id" member: a number, or a string holding a decimal number; -1 otherwise.
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

private:
    bool readId(int* id) const;

    uint8_t m_mac[6] = {};
    uint8_t m_ip[4] = {};
    cJSON* m_json = nullptr;
};
