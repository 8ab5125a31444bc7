#include "utf16_text.h"

#include "platform/unicode.h"

namespace writer {

// Strict both ways, so malformed text fails instead of being replaced.

std::optional<std::string> Utf8FromUtf16(std::u16string_view text) {
    return unicode::Utf16ToUtf8(text);
}

std::optional<std::u16string> Utf16FromUtf8(std::string_view text) {
    return unicode::Utf8ToUtf16(text);
}

std::size_t Utf16Length(const WCHAR* text) {
    return text == nullptr ? 0 : std::char_traits<char16_t>::length(text);
}

} // namespace writer
