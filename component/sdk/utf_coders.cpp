#include "sdk/utf_coders.h"

namespace {

constexpr std::uint8_t kLeadMask[6] = {0x80, 0xE0, 0xF0, 0xF8, 0xFC, 0xFE};
constexpr std::uint8_t kLeadValue[6] = {0x00, 0xC0, 0xE0, 0xF0, 0xF8, 0xFC};
// Smallest code point that needs a sequence of each length; anything below
// is an overlong form that would smuggle e.g. '/' or NUL past byte checks.
constexpr std::uint32_t kShortestFor[7] = {0, 0, 0x80, 0x800, 0x10000, 0x200000, 0x4000000};

template <class Unit> std::uint32_t units_before_nul(const Unit* text, std::uint32_t max) {
    if (text == nullptr) {
        return 0;
    }
    std::uint32_t n = 0;
    while (n < max && text[n] != 0) {
        ++n;
    }
    return n;
}

} // namespace

std::uint32_t strlen_max(const char* text, std::uint32_t max) {
    return units_before_nul(text, max);
}

std::uint32_t wcslen_max(const char16_t* text, std::uint32_t max) {
    return units_before_nul(text, max);
}

std::uint32_t utf8_decode_char(const char* source, std::uint32_t* out, std::uint32_t max) {
    if (out != nullptr) {
        *out = 0;
    }
    if (max == 0) {
        return 0;
    }
    if (max > 6) {
        max = 6;
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(source);
    const std::uint8_t lead = bytes[0];
    if (lead < 0x80) {
        if (out != nullptr) {
            *out = lead;
        }
        return lead != 0 ? 1 : 0;
    }
    std::uint32_t length = 0;
    for (std::uint32_t i = 0; i < max; ++i) {
        if ((lead & kLeadMask[i]) == kLeadValue[i]) {
            length = i + 1;
            break;
        }
    }
    if (length == 0) {
        return 0;
    }
    for (std::uint32_t j = 0; j < length; ++j) {
        if (bytes[j] == 0) {
            return 0;
        }
    }
    if (length == 2 && (lead & 0x1E) == 0) {
        return 0;
    }
    std::uint32_t value = lead & (0xFFu >> (length + 1));
    for (std::uint32_t j = 1; j < length; ++j) {
        const std::uint8_t byte = bytes[j];
        if ((byte & 0xC0) != 0x80) {
            return 0;
        }
        if (j == 2 && value == 0 && ((byte & 0x7F) >> (7 - length)) == 0) {
            return 0;
        }
        value = (value << 6) | (byte & 0x3F);
    }
    if (value < kShortestFor[length]) {
        return 0;
    }
    if (out != nullptr) {
        *out = value;
    }
    return length;
}

std::uint32_t utf8_encode_char(std::uint32_t code_point, char* out) {
    std::uint32_t length;
    if (code_point < 0x80) {
        length = 1;
    } else if (code_point < 0x800) {
        length = 2;
    } else if (code_point < 0x10000) {
        length = 3;
    } else if (code_point < 0x200000) {
        length = 4;
    } else if (code_point < 0x4000000) {
        length = 5;
    } else if (code_point <= 0x7FFFFFFF) {
        length = 6;
    } else {
        return 0;
    }
    if (out == nullptr) {
        return length;
    }
    if (length == 1) {
        out[0] = static_cast<char>(code_point);
        return 1;
    }
    static constexpr std::uint8_t kLeadBits[7] = {0, 0, 0xC0, 0xE0, 0xF0, 0xF8, 0xFC};
    std::uint32_t rest = code_point;
    for (std::uint32_t i = length - 1; i > 0; --i) {
        out[i] = static_cast<char>(0x80 | (rest & 0x3F));
        rest >>= 6;
    }
    out[0] = static_cast<char>(kLeadBits[length] | rest);
    return length;
}

std::uint32_t utf16_encode_char(std::uint32_t code_point, char16_t* out) {
    if (code_point == 0 || code_point > 0x10FFFF) {
        return 0;
    }
    if (code_point < 0x10000) {
        out[0] = static_cast<char16_t>(code_point);
        return 1;
    }
    const std::uint32_t v = code_point - 0x10000;
    out[0] = static_cast<char16_t>(0xD800 | ((v >> 10) & 0x3FF));
    out[1] = static_cast<char16_t>(0xDC00 | (v & 0x3FF));
    return 2;
}

std::uint32_t utf16_decode_char(const char16_t* source, std::uint32_t* out, std::uint32_t max) {
    *out = 0;
    if (max == 0 || source[0] == 0) {
        return 0;
    }
    const std::uint32_t high = source[0];
    // The second unit is looked at only when it lies within the limit.
    if (high >= 0xD800 && high <= 0xDBFF && max >= 2) {
        const std::uint32_t low = source[1];
        if (low >= 0xDC00 && low <= 0xDFFF) {
            *out = (((high & 0x3FF) << 10) | (low & 0x3FF)) + 0x10000;
            return 2;
        }
    }
    *out = high;
    return 1;
}

namespace {

// Decodes `source` one code point at a time and encodes each into `target`.
// A decoder answers 0 at the terminating NUL, so that ends the loop as well.
template <class From, class To>
std::uint32_t convert_code_points(const From* source, To* target, std::uint32_t max,
                                  std::uint32_t (*decode)(const From*, std::uint32_t*,
                                                          std::uint32_t),
                                  std::uint32_t (*encode)(std::uint32_t, To*)) {
    std::uint32_t written = 0;
    while (source != nullptr && max > 0) {
        std::uint32_t code_point;
        const std::uint32_t used = decode(source, &code_point, max);
        if (used == 0 || used > max) {
            break;
        }
        source += used;
        max -= used;
        const std::uint32_t units = encode(code_point, target);
        if (units == 0) {
            break;
        }
        target += units;
        written += units;
    }
    *target = 0;
    return written;
}

} // namespace

std::uint32_t convert_utf8_to_wide(const char* source, char16_t* target, std::uint32_t max) {
    return convert_code_points(source, target, max, utf8_decode_char, utf16_encode_char);
}

std::uint32_t convert_wide_to_utf8(const char16_t* source, char* target, std::uint32_t max) {
    return convert_code_points(source, target, max, utf16_decode_char, utf8_encode_char);
}
