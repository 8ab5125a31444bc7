// The process's one UTF-8 / UTF-16 coder, for the platform and the host: the
// code-page conversions are built on it, and the host's text handling uses it
// directly.
#pragma once

#include "platform/win32_types.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace unicode {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// Decodes the character at `offset` and advances past it. An ill-formed
// sequence (overlong, surrogate, past U+10FFFF, cut short) answers false and
// advances over its longest valid start, at least one byte, so that each such
// piece can stand for one replacement character.
PLATFORM_API bool DecodeUtf8(std::string_view text, std::size_t& offset, char32_t& out);

// Decodes the character at `offset` of UTF-16 text and advances past it; an
// unpaired surrogate answers false and advances one unit.
PLATFORM_API bool DecodeUtf16(std::u16string_view text, std::size_t& offset, char32_t& out);

// Appends one code point; surrogates and values past U+10FFFF become U+FFFD.
PLATFORM_API void AppendUtf8(std::string& out, char32_t code_point);
PLATFORM_API void AppendUtf16(std::u16string& out, char32_t code_point);

PLATFORM_API bool IsValidUtf8(std::string_view text);

// Strict conversions answer nothing for malformed input; lenient ones put
// U+FFFD for each malformed piece.
PLATFORM_API std::optional<std::u16string> Utf8ToUtf16(std::string_view text, bool strict = true);
PLATFORM_API std::optional<std::string> Utf16ToUtf8(std::u16string_view text, bool strict = true);

// The text with each malformed piece replaced by U+FFFD.
PLATFORM_API std::string ValidUtf8(std::string_view text);

// A file name's bytes from UTF-16 in which bytes that are not UTF-8 travel as
// the lone surrogates U+DC80..U+DCFF (one per byte). Nothing for any other
// unpaired surrogate.
PLATFORM_API std::optional<std::string> Utf16ToPathBytes(std::u16string_view text);

// ISO 8859-1 bytes: each byte is the code point of the same value.
PLATFORM_API std::string Latin1ToUtf8(std::string_view bytes);

} // namespace unicode
