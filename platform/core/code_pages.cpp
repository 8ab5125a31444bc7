// Conversions between the narrow code pages (both UTF-8 here) and UTF-16.
#include "win32_errors.h"

#include "platform/unicode.h"
#include "platform/win32_api.h"

#include <algorithm>
#include <cstdint>
#include <string>

using namespace platform_core;

namespace {

bool IsSupportedCodePage(UINT codePage) {
    return codePage == CP_ACP || codePage == CP_UTF8;
}

// Hands a converted text to the caller: the size needed when the target size is
// 0, otherwise the copy, or failure when it does not fit.
template <typename Char>
int Deliver(const std::basic_string<Char>& converted, Char* target, int targetSize) {
    if (converted.size() > static_cast<std::size_t>(INT32_MAX)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const int needed = static_cast<int>(converted.size());
    if (targetSize == 0)
        return needed;
    if (needed > targetSize) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::copy(converted.begin(), converted.end(), target);
    return needed;
}

} // namespace

extern "C" {

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR source, int sourceLength, LPWSTR target,
                        int targetSize) {
    if (!IsSupportedCodePage(codePage) || !source || sourceLength == 0 || sourceLength < -1 ||
        targetSize < 0 || (targetSize > 0 && !target)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const std::size_t length =
        sourceLength == -1 ? std::strlen(source) + 1 : static_cast<std::size_t>(sourceLength);
    const auto converted =
        unicode::Utf8ToUtf16(std::string_view(source, length), (flags & MB_ERR_INVALID_CHARS) != 0);
    if (!converted) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
    }
    return Deliver(*converted, target, targetSize);
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR source, int sourceLength, LPSTR target,
                        int targetSize, LPCSTR defaultChar, BOOL* usedDefault) {
    if (!IsSupportedCodePage(codePage) || !source || sourceLength == 0 || sourceLength < -1 ||
        targetSize < 0 || (targetSize > 0 && !target)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::size_t length = static_cast<std::size_t>(sourceLength);
    if (sourceLength == -1)
        length = std::char_traits<char16_t>::length(source) + 1;
    std::string converted;
    converted.reserve(length);
    bool replaced = false;
    const std::u16string_view text(source, length);
    for (std::size_t at = 0; at < length;) {
        char32_t c;
        if (!unicode::DecodeUtf16(text, at, c)) {
            // A surrogate without its partner stands for no character.
            if (flags & WC_ERR_INVALID_CHARS) {
                SetLastError(ERROR_NO_UNICODE_TRANSLATION);
                return 0;
            }
            replaced = true;
            if (defaultChar) {
                converted.push_back(*defaultChar);
                continue;
            }
            c = unicode::kReplacementCharacter;
        }
        unicode::AppendUtf8(converted, c);
    }
    if (usedDefault)
        *usedDefault = replaced ? TRUE : FALSE;
    return Deliver(converted, target, targetSize);
}

} // extern "C"
