// Number and text formatting of the sdk.
#pragma once

#include "vantrel/string_base.h"

#include <cstdarg>
#include <cstddef>
#include <cstdint>

// Digits in radix 2..36 (lower-case letters) into `out` (room for 66 bytes);
// an empty text for any other radix. format_integer writes a '-' in radix 10
// and the two's complement bits in the others.
void format_unsigned(std::uint64_t value, std::uint32_t radix, char* out);
void format_integer(std::int64_t value, std::uint32_t radix, char* out);
// `digits` significant digits (1 to 17), fixed or exponent form, whichever is
// shorter.
void format_real(double value, std::uint32_t digits, char* out, std::size_t size);

// Replaces `out` with value in fixed point: '-' for negative values, '+' for
// the others only when `force_sign` is set, `decimals` digits after the point,
// truncated toward zero. Answers false when memory ran out.
bool format_fixed_point(string_base& out, double value, std::uint32_t decimals, bool force_sign);

// Reads a decimal number: leading spaces, a sign, digits with '.' or ',' as
// the decimal point and an optional exponent after 'E' or 'e'. Stops at the
// first other character; 0.0 for null or empty text.
double parse_real(const char* text);

// Replaces `out` with "[Nwk ][Nd ]h:mm:ss" or "m:ss"; negative counts as 0.
bool format_duration(string_base& out, std::int64_t seconds);

// Replaces `out` with `format` expanded. Conversions: %% ; flags '+' (a '+'
// before numbers above 0) and '0' (pad with zeros), then a decimal width;
// s/S UTF-8 text, i/I/d/D signed 32-bit, u/U unsigned 32-bit, x/X hexadecimal,
// c/C one character (no padding). Any other letter is copied and takes no
// argument. Answers false when memory ran out.
bool format_into(string_base& out, const char* format, va_list args);
