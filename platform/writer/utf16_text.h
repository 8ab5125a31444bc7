// Conversions between the platform's UTF-16 text and UTF-8, strict about
// malformed input so that bad text is refused instead of silently altered.
#pragma once

#include "platform/win32_types.h"

#include <optional>
#include <string>

namespace writer {

// UTF-8 of a UTF-16 text; nullopt for an unpaired surrogate.
std::optional<std::string> Utf8FromUtf16(std::u16string_view text);

// UTF-16 of a UTF-8 text; nullopt for a malformed sequence.
std::optional<std::u16string> Utf16FromUtf8(std::string_view text);

// Length of a zero-terminated UTF-16 text (null counts as empty).
std::size_t Utf16Length(const WCHAR* text);

} // namespace writer
