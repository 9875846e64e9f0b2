#pragma once

#include <cstdint>

namespace orvane {

// One network adapter as the link needs it. Addresses are kept in network
// order, first octet first, exactly as they go into a frame.
struct Adapter
{
    static constexpr int TextSize = 1024;

    char pcapName[TextSize] = {};
    char description[TextSize] = {};
    uint8_t address[8] = {};
    uint8_t ip[16] = {};
    uint8_t mask[16] = {};
    uint8_t gateway[16] = {};

    const uint8_t* mac() const { return address; }
    // The mask as one 32-bit number assembled big-endian from its octets.
    uint32_t maskValue() const;

    static void setText(char* field, const char* text);
};

} // namespace orvane
