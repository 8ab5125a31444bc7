// UTF-8 and UTF-16 code-point coders and the conversions between the two
// encodings. UTF-16 text is char16_t. Limits are counts of source bytes or
// units; 0xFFFFFFFF means "up to the terminating NUL". Conversions stop at the
// first invalid sequence or unencodable code point and always terminate their
// output.
#pragma once

#include <cstdint>

inline constexpr std::uint32_t text_until_nul = 0xFFFFFFFFu;

// Bytes (or 16-bit units) before the first NUL, at most `max`; 0 for null text.
std::uint32_t strlen_max(const char* text, std::uint32_t max);
std::uint32_t wcslen_max(const char16_t* text, std::uint32_t max);

// Length 1..6 of the sequence at `source` (reading at most `max` bytes), or 0
// for a NUL, an invalid or an overlong sequence. `*out` (if given) is set to 0
// first and to the code point on success.
std::uint32_t utf8_decode_char(const char* source, std::uint32_t* out, std::uint32_t max);
// Writes `code_point` (up to 0x7FFFFFFF) to `out` (room for 6 bytes) and
// answers the byte count, or 0; with a null `out` only the length is answered.
std::uint32_t utf8_encode_char(std::uint32_t code_point, char* out);
// Writes one or two units to `out`; 0 for code point 0 or above 0x10FFFF.
std::uint32_t utf16_encode_char(std::uint32_t code_point, char16_t* out);
// Units consumed (1 or 2) reading at most `max` units, 0 at a NUL unit. An
// unpaired surrogate is answered as itself.
std::uint32_t utf16_decode_char(const char16_t* source, std::uint32_t* out,
                                std::uint32_t max = text_until_nul);

// `target` needs room for (source bytes + 1) units. Answers units written.
std::uint32_t convert_utf8_to_wide(const char* source, char16_t* target, std::uint32_t max);
// `target` needs room for 3 * (source units) + 1 bytes. Answers bytes written.
std::uint32_t convert_wide_to_utf8(const char16_t* source, char* target, std::uint32_t max);
