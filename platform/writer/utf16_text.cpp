#include "utf16_text.h"

#include "platform/win32_api.h"

#include <climits>

namespace writer {

// Both directions go through the platform's code-page conversions with their
// strict flags, so malformed text fails instead of being replaced.

std::optional<std::string> Utf8FromUtf16(std::u16string_view text) {
    if (text.empty())
        return std::string();
    if (text.size() > INT_MAX / 4)
        return std::nullopt;
    const int length = static_cast<int>(text.size());
    const int size = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(), length,
                                         nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return std::nullopt;
    std::string out(static_cast<std::size_t>(size), '\0');
    if (WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(), length, out.data(), size,
                            nullptr, nullptr) != size)
        return std::nullopt;
    return out;
}

std::optional<std::u16string> Utf16FromUtf8(std::string_view text) {
    if (text.empty())
        return std::u16string();
    if (text.size() > INT_MAX)
        return std::nullopt;
    const int length = static_cast<int>(text.size());
    const int size =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), length, nullptr, 0);
    if (size <= 0)
        return std::nullopt;
    std::u16string out(static_cast<std::size_t>(size), u'\0');
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), length, out.data(), size) !=
        size)
        return std::nullopt;
    return out;
}

std::size_t Utf16Length(const WCHAR* text) {
    return text == nullptr ? 0 : std::char_traits<char16_t>::length(text);
}

} // namespace writer
