#include "diskwriter/profile_name.h"

#include <cstring>

namespace {

constexpr std::size_t kWindowBytes = 255;
constexpr char kNameKey[] = "name=";

} // namespace

std::string ExtractProfileName(const char* profileText) {
    if (profileText == nullptr)
        return {};
    // A zero-filled window, so every search below ends inside it.
    char window[kWindowBytes + 1] = {};
    std::strncpy(window, profileText, kWindowBytes);

    const char* key = std::strstr(window, kNameKey);
    if (key == nullptr)
        return {};
    const char* quote = key + sizeof kNameKey - 1;
    // The byte after the key is skipped as the opening quotation mark; when
    // the window ends right there, there is nothing to skip into.
    if (*quote == '\0')
        return {};
    const char* begin = quote + 1;
    const char* end = std::strchr(begin, '"');
    if (end == nullptr)
        return {};
    return std::string(begin, end);
}
