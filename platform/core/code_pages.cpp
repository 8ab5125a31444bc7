// Conversions between the narrow code pages (both UTF-8 here) and UTF-16.
#include "win32_errors.h"

#include "platform/win32_api.h"

#include <algorithm>
#include <cstdint>
#include <string>

using namespace platform_core;

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsSupportedCodePage(UINT codePage) {
    return codePage == CP_ACP || codePage == CP_UTF8;
}

bool IsContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// Decodes one UTF-8 character at `text` (with `left` bytes available). Answers
// the bytes used and false for an ill-formed sequence, in which case the bytes
// used are its longest valid start (at least one), so each such piece becomes
// one replacement character.
bool DecodeUtf8(const unsigned char* text, std::size_t left, char32_t* out, std::size_t* used) {
    const unsigned char lead = text[0];
    *used = 1;
    if (lead < 0x80) {
        *out = lead;
        return true;
    }
    std::size_t length;
    char32_t value;
    unsigned char low = 0x80; // allowed range of the second byte
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0F;
        if (lead == 0xE0)
            low = 0xA0; // no overlong forms
        if (lead == 0xED)
            high = 0x9F; // no encoded surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07;
        if (lead == 0xF0)
            low = 0x90;
        if (lead == 0xF4)
            high = 0x8F; // nothing past U+10FFFF
    } else {
        return false;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if (i >= left)
            return false;
        const unsigned char byte = text[i];
        if (i == 1 ? (byte < low || byte > high) : !IsContinuation(byte))
            return false;
        value = (value << 6) | (byte & 0x3F);
        *used = i + 1;
    }
    *out = value;
    return true;
}

// Appends one code point as UTF-16.
void AppendUtf16(char32_t c, std::u16string& out) {
    if (c < 0x10000) {
        out.push_back(static_cast<char16_t>(c));
    } else {
        c -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    }
}

void AppendUtf8(char32_t c, std::string& out) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
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
    const auto* bytes = reinterpret_cast<const unsigned char*>(source);
    std::u16string converted;
    converted.reserve(length);
    for (std::size_t at = 0; at < length;) {
        char32_t c;
        std::size_t used;
        if (!DecodeUtf8(bytes + at, length - at, &c, &used)) {
            if (flags & MB_ERR_INVALID_CHARS) {
                SetLastError(ERROR_NO_UNICODE_TRANSLATION);
                return 0;
            }
            c = kReplacement;
        }
        AppendUtf16(c, converted);
        at += used;
    }
    return Deliver(converted, target, targetSize);
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
    for (std::size_t at = 0; at < length; ++at) {
        const char16_t unit = source[at];
        char32_t c = unit;
        if (unit >= 0xD800 && unit <= 0xDBFF && at + 1 < length && source[at + 1] >= 0xDC00 &&
            source[at + 1] <= 0xDFFF) {
            c = 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) +
                (source[at + 1] - 0xDC00);
            ++at;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
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
            c = kReplacement;
        }
        AppendUtf8(c, converted);
    }
    if (usedDefault)
        *usedDefault = replaced ? TRUE : FALSE;
    return Deliver(converted, target, targetSize);
}

} // extern "C"
