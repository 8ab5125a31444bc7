#include "convert/safe_names.h"

#include <algorithm>
#include <cstring>

#include "platform/unicode.h"
#include "progress/screen_text.h"

namespace vantrel {
namespace {

constexpr char kStandIn = '_';

bool refused(char32_t code) {
    return code < 0x20 || code == 0x7F || (code < 0x80 && std::strchr("\\:*?\"<>|", code));
}

// The characters of `text` that FAT and exFAT refuse replaced.
std::string replaced(std::string_view text) {
    std::string safe;
    safe.reserve(text.size());
    for (std::size_t offset = 0; offset < text.size();) {
        const std::size_t begin = offset;
        char32_t code = 0;
        if (!unicode::DecodeUtf8(text, offset, code) || refused(code))
            safe += kStandIn;
        else
            safe.append(text.substr(begin, offset - begin));
    }
    return safe;
}

// Where to cut `text` to at most `bytes`: before a character that takes room
// of its own, so that no character is split, nor a letter from its marks.
std::size_t cut_point(std::string_view text, std::size_t bytes) {
    if (text.size() <= bytes)
        return text.size();
    std::size_t cut = 0;
    for (std::size_t offset = 0; offset < text.size() && offset <= bytes;) {
        const std::size_t begin = offset;
        char32_t code = 0;
        unicode::DecodeUtf8(text, offset, code);
        if (char_width(code) > 0)
            cut = begin;
    }
    return cut;
}

} // namespace

std::string device_safe_name(std::string_view name, std::size_t kept_tail) {
    std::string safe = replaced(name);
    kept_tail = std::min(kept_tail, safe.size());
    if (safe.size() > kLongestSafeName) {
        const std::string tail = safe.substr(safe.size() - kept_tail);
        const std::string_view stem = std::string_view(safe).substr(0, safe.size() - kept_tail);
        const std::size_t room =
            kLongestSafeName > tail.size() ? kLongestSafeName - tail.size() : 0;
        safe = std::string(stem.substr(0, cut_point(stem, room))) + tail;
    }
    for (std::size_t i = safe.size(); i > 0 && (safe[i - 1] == '.' || safe[i - 1] == ' '); --i)
        safe[i - 1] = kStandIn;
    return safe;
}

std::string device_safe_path(std::string_view relative) {
    std::string safe;
    for (std::size_t begin = 0; begin <= relative.size();) {
        std::size_t slash = relative.find('/', begin);
        if (slash == std::string_view::npos)
            slash = relative.size();
        if (begin > 0)
            safe += '/';
        safe += device_safe_name(relative.substr(begin, slash - begin));
        begin = slash + 1;
    }
    return safe;
}

} // namespace vantrel
