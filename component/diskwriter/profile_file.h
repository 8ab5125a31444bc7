// Reading a custom Windows Media profile (".prx") file. Profile files are
// UTF-16 text, little-endian unless a byte-order mark says otherwise; files
// written by hand are often UTF-8, which is read as well.
#pragma once

#include <string>

// The text of a UTF-16 profile as UTF-8, up to its first zero unit. A leading
// byte-order mark is dropped and an unpaired surrogate becomes U+FFFD.
std::string Utf8FromProfileUnits(const char16_t* units, std::size_t count);

// The text of a profile file's bytes as UTF-8. UTF-16 is recognised by its
// byte-order mark or by a zero byte beside the first character; it is read up
// to its first zero unit, size / 2 units at most (an odd last byte is not
// read). Anything else is UTF-8 (a byte-order mark dropped, malformed bytes
// replaced by U+FFFD).
std::string Utf8FromProfileBytes(const unsigned char* bytes, std::size_t size);

// Reads the file at the UTF-8 `path` through the host's file systems into
// `out`. False, with `out` unchanged, when the file cannot be opened or held
// in memory.
bool ReadProfileFile(const char* path, std::string& out);
