#include "sdk/text_format.h"

#include "sdk/utf_coders.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

void format_unsigned(std::uint64_t value, std::uint32_t radix, char* out) {
    if (radix < 2 || radix > 36) {
        out[0] = 0;
        return;
    }
    char reversed[65];
    std::uint32_t n = 0;
    do {
        reversed[n++] = "0123456789abcdefghijklmnopqrstuvwxyz"[value % radix];
        value /= radix;
    } while (value != 0);
    for (std::uint32_t i = 0; i < n; ++i) {
        out[i] = reversed[n - 1 - i];
    }
    out[n] = 0;
}

void format_integer(std::int64_t value, std::uint32_t radix, char* out) {
    if (radix == 10 && value < 0) {
        out[0] = '-';
        // Negate in unsigned arithmetic so the most negative value works too.
        format_unsigned(0 - static_cast<std::uint64_t>(value), radix, out + 1);
        return;
    }
    format_unsigned(static_cast<std::uint64_t>(value), radix, out);
}

void format_real(double value, std::uint32_t digits, char* out, std::size_t size) {
    if (digits < 1) {
        digits = 1;
    } else if (digits > 17) {
        digits = 17;
    }
    std::snprintf(out, size, "%.*g", static_cast<int>(digits), value);
}

bool format_fixed_point(string_base& out, double value, std::uint32_t decimals, bool force_sign) {
    if (decimals > 18) {
        decimals = 18;
    }
    char text[48];
    std::uint32_t pos = 0;
    if (value < 0) {
        text[pos++] = '-';
        value = -value;
    } else if (force_sign) {
        text[pos++] = '+';
    }
    // Truncated toward zero; values beyond 64 bits (or NaN) are clamped
    // rather than converted out of range.
    const double scaled = value * std::pow(10.0, decimals);
    std::int64_t whole = 0;
    if (scaled >= 9.2e18) {
        whole = std::numeric_limits<std::int64_t>::max();
    } else if (scaled > 0) {
        whole = static_cast<std::int64_t>(scaled);
    }
    char digits[24];
    format_integer(whole, 10, digits);
    const std::uint32_t count = static_cast<std::uint32_t>(std::strlen(digits));
    if (count > decimals) {
        std::memcpy(text + pos, digits, count - decimals);
        pos += count - decimals;
        if (decimals > 0) {
            text[pos++] = '.';
            std::memcpy(text + pos, digits + count - decimals, decimals);
            pos += decimals;
        }
    } else {
        text[pos++] = '0';
        text[pos++] = '.';
        for (std::uint32_t i = count; i < decimals; ++i) {
            text[pos++] = '0';
        }
        std::memcpy(text + pos, digits, count);
        pos += count;
    }
    text[pos] = 0;
    return out.assign_bytes(text, pos) != nullptr;
}

double parse_real(const char* text) {
    if (text == nullptr) {
        return 0.0;
    }
    while (*text == ' ') {
        ++text;
    }
    bool negative = false;
    if (*text == '-' || *text == '+') {
        negative = *text == '-';
        ++text;
    }
    constexpr std::int64_t kLimit = std::numeric_limits<std::int64_t>::max() / 10 - 9;
    std::int64_t mantissa = 0;
    std::int64_t exponent = 0;
    bool after_point = false;
    for (;; ++text) {
        const char c = *text;
        if (c >= '0' && c <= '9') {
            // Digits beyond what 64 bits hold only scale the result.
            if (mantissa < kLimit) {
                mantissa = mantissa * 10 + (c - '0');
                if (after_point) {
                    --exponent;
                }
            } else if (!after_point) {
                ++exponent;
            }
        } else if ((c == '.' || c == ',') && !after_point) {
            after_point = true;
        } else if (c == 'E' || c == 'e') {
            exponent += std::atoi(text + 1);
            break;
        } else {
            break;
        }
    }
    double result = static_cast<double>(mantissa);
    if (exponent < 0) {
        result /= std::pow(10.0, static_cast<double>(-exponent));
    } else if (exponent > 0) {
        result *= std::pow(10.0, static_cast<double>(exponent));
    }
    return negative ? -result : result;
}

bool format_duration(string_base& out, std::int64_t seconds) {
    if (seconds < 0) {
        seconds = 0;
    }
    const auto weeks = static_cast<std::uint64_t>(seconds / 604800);
    const auto days = static_cast<unsigned>(seconds / 86400 % 7);
    const auto hours = static_cast<unsigned>(seconds / 3600 % 24);
    const auto minutes = static_cast<unsigned>(seconds / 60 % 60);
    const auto secs = static_cast<unsigned>(seconds % 60);
    char text[96];
    int pos = 0;
    if (weeks > 0) {
        pos += std::snprintf(text + pos, sizeof text - pos, "%lluwk ",
                             static_cast<unsigned long long>(weeks));
    }
    if (days > 0 || weeks > 0) {
        pos += std::snprintf(text + pos, sizeof text - pos, "%ud ", days);
    }
    if (hours > 0 || days > 0 || weeks > 0) {
        std::snprintf(text + pos, sizeof text - pos, "%u:%02u:%02u", hours, minutes, secs);
    } else {
        std::snprintf(text + pos, sizeof text - pos, "%u:%02u", minutes, secs);
    }
    return out.assign_bytes(text, string_base::until_nul) != nullptr;
}
