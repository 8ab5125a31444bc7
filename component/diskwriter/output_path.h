// File names are bytes, and not every name is UTF-8 (a Latin-1 folder, say),
// but the platform's writer takes its file name as UTF-16. A byte that is not
// part of a well-formed UTF-8 character travels as the lone surrogate
// U+DC00 + byte, which the platform turns back into that byte, so a name
// arrives exactly as the host gave it: never cut short at a bad byte.
#pragma once

#include <string>

std::u16string WidePathFromBytes(const char* path);

// The inverse: escaped bytes come back as themselves.
std::string BytesFromWidePath(const char16_t* path);
