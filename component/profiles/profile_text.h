// Conversions of profile text between its narrow form (UTF-8, as the edit box
// and the string table hold it) and the UTF-16 the profile manager reads.
#pragma once

#include "platform/win32_types.h"

#include <string>
#include <string_view>

// A leading byte-order mark is skipped; bytes that are not UTF-8 become U+FFFD.
std::u16string ProfileTextToWide(std::string_view text);
// Up to the first zero unit; unpaired surrogates become U+FFFD.
std::string ProfileTextToNarrow(std::u16string_view text);
