// Conversions between UTF-8, UTF-16 and the system's ANSI code page (which is
// UTF-8 on this platform). Limits count source bytes or units; 0xFFFFFFFF
// means "up to the terminating NUL". Every output is terminated and the
// answer is its length without the terminator.
#pragma once

#include <cstdint>

// `target` needs room for (source bytes + 1) units.
std::uint32_t convert_ansi_to_wide(const char* source, char16_t* target, std::uint32_t max);
// `target` needs room for 3 * (source units) + 1 bytes.
std::uint32_t convert_wide_to_ansi(const char16_t* source, char* target, std::uint32_t max);
// `target` needs room for 3 * (source bytes) + 1 bytes.
std::uint32_t convert_utf8_to_ansi(const char* source, char* target, std::uint32_t max);
std::uint32_t convert_ansi_to_utf8(const char* source, char* target, std::uint32_t max);
