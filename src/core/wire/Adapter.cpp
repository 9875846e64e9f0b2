#include "Adapter.h"

#include <cstring>

namespace orvane {

uint32_t Adapter::maskValue() const
{
    return (uint32_t(mask[0]) << 24) | (uint32_t(mask[1]) << 16) | (uint32_t(mask[2]) << 8) | uint32_t(mask[3]);
}

void Adapter::setText(char* field, const char* text)
{
    memset(field, 0, TextSize);
    if (text)
        strncpy(field, text, TextSize - 1);
}

} // namespace orvane
