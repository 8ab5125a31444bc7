#include "platform/win32_types.h"

#include <cstdio>

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Reads `digits` hexadecimal digits at `text`; false on any other character.
bool ReadHex(const char* text, int digits, std::uint64_t* value) {
    std::uint64_t result = 0;
    for (int i = 0; i < digits; ++i) {
        const int v = HexValue(text[i]);
        if (v < 0)
            return false;
        result = (result << 4) | static_cast<std::uint64_t>(v);
    }
    *value = result;
    return true;
}

} // namespace

bool GuidFromString(const char* text, GUID* out) {
    if (text == nullptr || out == nullptr || std::strlen(text) != kGuidTextLength)
        return false;
    if (text[0] != '{' || text[37] != '}' || text[9] != '-' || text[14] != '-' || text[19] != '-' ||
        text[24] != '-')
        return false;
    std::uint64_t d1, d2, d3, d4, d5;
    if (!ReadHex(text + 1, 8, &d1) || !ReadHex(text + 10, 4, &d2) || !ReadHex(text + 15, 4, &d3) ||
        !ReadHex(text + 20, 4, &d4) || !ReadHex(text + 25, 12, &d5))
        return false;
    GUID g;
    g.Data1 = static_cast<std::uint32_t>(d1);
    g.Data2 = static_cast<std::uint16_t>(d2);
    g.Data3 = static_cast<std::uint16_t>(d3);
    g.Data4[0] = static_cast<std::uint8_t>(d4 >> 8);
    g.Data4[1] = static_cast<std::uint8_t>(d4);
    for (int i = 0; i < 6; ++i)
        g.Data4[2 + i] = static_cast<std::uint8_t>(d5 >> (8 * (5 - i)));
    *out = g;
    return true;
}

void GuidToString(REFGUID g, char out[kGuidTextLength + 1]) {
    std::snprintf(out, kGuidTextLength + 1, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  g.Data1, g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3],
                  g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
}
