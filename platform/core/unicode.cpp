#include "platform/unicode.h"

namespace unicode {
namespace {

bool IsContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

bool IsScalar(char32_t c) {
    return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
}

} // namespace

bool DecodeUtf8(std::string_view text, std::size_t& offset, char32_t& out) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data()) + offset;
    const std::size_t left = text.size() - offset;
    const unsigned char lead = bytes[0];
    ++offset;
    if (lead < 0x80) {
        out = lead;
        return true;
    }
    std::size_t length;
    char32_t value;
    unsigned char low = 0x80; // the allowed range of the second byte
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
        const unsigned char byte = bytes[i];
        if (i == 1 ? (byte < low || byte > high) : !IsContinuation(byte))
            return false;
        value = (value << 6) | (byte & 0x3F);
        ++offset;
    }
    out = value;
    return true;
}

bool DecodeUtf16(std::u16string_view text, std::size_t& offset, char32_t& out) {
    const char16_t unit = text[offset++];
    out = unit;
    if (unit < 0xD800 || unit > 0xDFFF)
        return true;
    if (unit <= 0xDBFF && offset < text.size() && text[offset] >= 0xDC00 &&
        text[offset] <= 0xDFFF) {
        out = 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (text[offset++] - 0xDC00);
        return true;
    }
    return false;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (!IsScalar(c))
        c = kReplacementCharacter;
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

void AppendUtf16(std::u16string& out, char32_t c) {
    if (!IsScalar(c))
        c = kReplacementCharacter;
    if (c < 0x10000) {
        out.push_back(static_cast<char16_t>(c));
    } else {
        c -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    }
}

bool IsValidUtf8(std::string_view text) {
    char32_t c;
    for (std::size_t at = 0; at < text.size();)
        if (!DecodeUtf8(text, at, c))
            return false;
    return true;
}

namespace {

// Decodes `text` one character at a time and appends each to the output; an
// undecodable sequence fails a strict conversion and is replaced otherwise.
template <class Out, class In>
std::optional<Out> Transcode(In text, bool strict, bool (*decode)(In, std::size_t&, char32_t&),
                             void (*append)(Out&, char32_t)) {
    Out out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        char32_t c;
        if (!decode(text, at, c)) {
            if (strict)
                return std::nullopt;
            c = kReplacementCharacter;
        }
        append(out, c);
    }
    return out;
}

} // namespace

std::optional<std::u16string> Utf8ToUtf16(std::string_view text, bool strict) {
    return Transcode(text, strict, DecodeUtf8, AppendUtf16);
}

std::optional<std::string> Utf16ToUtf8(std::u16string_view text, bool strict) {
    return Transcode(text, strict, DecodeUtf16, AppendUtf8);
}

std::optional<std::string> Utf16ToPathBytes(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        char32_t c;
        if (DecodeUtf16(text, at, c)) {
            AppendUtf8(out, c);
        } else if (c >= 0xDC80 && c <= 0xDCFF) {
            out.push_back(static_cast<char>(c - 0xDC00));
        } else {
            return std::nullopt;
        }
    }
    return out;
}

std::string ValidUtf8(std::string_view text) {
    if (IsValidUtf8(text))
        return std::string(text);
    std::string out;
    out.reserve(text.size() + 8);
    for (std::size_t at = 0; at < text.size();) {
        char32_t c;
        AppendUtf8(out, DecodeUtf8(text, at, c) ? c : kReplacementCharacter);
    }
    return out;
}

std::string Latin1ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (const char byte : bytes)
        AppendUtf8(out, static_cast<unsigned char>(byte));
    return out;
}

} // namespace unicode
