// Reading a custom Windows Media profile (".prx") file, which holds UTF-16
// little-endian text.
#pragma once

#include <string>

// The text of a UTF-16 profile as UTF-8, up to its first zero unit. A leading
// byte-order mark is dropped and an unpaired surrogate becomes U+FFFD.
std::string Utf8FromProfileUnits(const char16_t* units, std::size_t count);

// Reads the file at the UTF-8 `path` through the host's file systems into
// `out`: size / 2 units (an odd last byte is not read). False, with `out`
// unchanged, when the file cannot be opened or held in memory.
bool ReadProfileFile(const char* path, std::string& out);
