#include "diskwriter/output_path.h"

#include "sdk/utf_coders.h"

#include <cstring>

namespace {

constexpr char16_t kEscapeBase = 0xDC00;

bool IsScalar(std::uint32_t codePoint) {
    return codePoint <= 0x10FFFF && (codePoint < 0xD800 || codePoint > 0xDFFF);
}

} // namespace

std::u16string WidePathFromBytes(const char* path) {
    std::u16string wide;
    for (std::size_t left = std::strlen(path); left > 0;) {
        std::uint32_t codePoint = 0;
        const std::uint32_t used = utf8_decode_char(
            path, &codePoint, static_cast<std::uint32_t>(std::min<std::size_t>(left, 6)));
        char16_t units[2];
        const std::uint32_t count =
            used > 0 && IsScalar(codePoint) ? utf16_encode_char(codePoint, units) : 0;
        if (count == 0 || used > 4) {
            wide.push_back(static_cast<char16_t>(kEscapeBase + static_cast<unsigned char>(*path)));
            ++path;
            --left;
            continue;
        }
        wide.append(units, count);
        path += used;
        left -= used;
    }
    return wide;
}

std::string BytesFromWidePath(const char16_t* path) {
    std::string bytes;
    while (*path != 0) {
        std::uint32_t codePoint = 0;
        const std::uint32_t used = utf16_decode_char(path, &codePoint);
        if (used == 0)
            break;
        if (codePoint >= kEscapeBase + 0x80 && codePoint <= kEscapeBase + 0xFF) {
            bytes.push_back(static_cast<char>(codePoint - kEscapeBase));
        } else {
            char encoded[6];
            bytes.append(encoded, utf8_encode_char(codePoint, encoded));
        }
        path += used;
    }
    return bytes;
}
