// The non-virtual helpers of file_info, written over its virtual slots so
// that they serve host objects as well as file_info_i.
#include "sdk/conversion_holders.h"
#include "sdk/host_hooks.h"
#include "sdk/string8.h"
#include "sdk/text_format.h"
#include "vantrel/file_info.h"

#include <cmath>
#include <initializer_list>
#include <limits>

namespace {

// Erases, from the last entry to the first, every entry before `end` that is
// named `name`; answers how many went. The name is copied first because it may
// be the text of an entry that is erased.
template <typename NameAt, typename EraseAt>
std::int32_t erase_named_before(std::int32_t end, const char* name, NameAt name_at,
                                EraseAt erase_at) {
    const string8 wanted(name);
    std::int32_t erased = 0;
    for (std::int32_t i = end - 1; i >= 0; --i) {
        if (sdk_host::compare_names(name_at(i), wanted.text()) == 0) {
            erase_at(i);
            ++erased;
        }
    }
    return erased;
}

// _atoi64: leading white space, a sign, decimal digits; saturates instead of
// overflowing.
std::int64_t text_to_int64(const char* text) {
    while (*text == ' ' || (*text >= '\t' && *text <= '\r')) {
        ++text;
    }
    bool negative = false;
    if (*text == '-' || *text == '+') {
        negative = *text == '-';
        ++text;
    }
    std::uint64_t magnitude = 0;
    const std::uint64_t limit = negative ? std::uint64_t{1} << 63 : (std::uint64_t{1} << 63) - 1;
    for (; *text >= '0' && *text <= '9'; ++text) {
        magnitude = magnitude * 10 + static_cast<std::uint64_t>(*text - '0');
        if (magnitude > limit) {
            magnitude = limit;
            break;
        }
    }
    return negative ? static_cast<std::int64_t>(0 - magnitude)
                    : static_cast<std::int64_t>(magnitude);
}

std::int32_t put_formatted(file_info& info, const char* name, double value, std::uint32_t decimals,
                           bool force_sign, const char* unit) {
    string8 text;
    if (!format_fixed_point(text, value, decimals, force_sign) ||
        text.append_text(unit) == nullptr) {
        return -1;
    }
    return info.info_put(name, text.text());
}

// Hands both texts, converted from the ANSI code page to UTF-8, to `store`;
// -1 when memory runs out.
template <class Store>
std::int32_t with_utf8_from_ansi(const char* name, const char* value, Store store) {
    string8 name_utf8;
    string8 value_utf8;
    if (!name_utf8.append_ansi(name) || !value_utf8.append_ansi(value)) {
        return -1;
    }
    return store(name_utf8.text(), value_utf8.text());
}

} // namespace

void file_info::reset_info() {
    meta_erase_all();
    info_erase_all();
    assign_length(0.0);
}

const char* file_info::meta_value_of(const char* name, std::int32_t n) const {
    const std::int32_t index = meta_find_nth(name, n);
    return index >= 0 ? meta_value_at(index) : nullptr;
}

std::int32_t file_info::meta_count_of(const char* name) const {
    std::int32_t found = 0;
    const std::int32_t count = meta_count();
    for (std::int32_t i = 0; i < count; ++i) {
        if (sdk_host::compare_names(meta_name_at(i), name) == 0) {
            ++found;
        }
    }
    return found;
}

void file_info::meta_erase_named(const char* name) {
    erase_named_before(
        meta_count(), name, [this](std::int32_t i) { return meta_name_at(i); },
        [this](std::int32_t i) { meta_erase_at(i); });
}

std::int32_t file_info::meta_set(const char* name, const char* value) {
    // Appending first keeps the old values when memory runs out.
    const std::int32_t index = meta_append(name, value);
    if (index < 0) {
        return -1;
    }
    const std::int32_t erased = erase_named_before(
        index, meta_name_at(index), [this](std::int32_t i) { return meta_name_at(i); },
        [this](std::int32_t i) { meta_erase_at(i); });
    return index - erased;
}

std::int32_t file_info::meta_append_bytes(const char* name, std::uint32_t name_max,
                                          const char* value, std::uint32_t value_max) {
    string8 name_copy;
    string8 value_copy;
    if (name_copy.assign_bytes(name, name_max) == nullptr ||
        value_copy.assign_bytes(value, value_max) == nullptr) {
        return -1;
    }
    return meta_append(name_copy.text(), value_copy.text());
}

std::int32_t file_info::meta_append_wide(const char16_t* name, const char16_t* value) {
    const utf8_from_wide name_utf8(name);
    const utf8_from_wide value_utf8(value);
    return meta_append(name_utf8.get(), value_utf8.get());
}

std::int32_t file_info::meta_set_wide(const char16_t* name, const char16_t* value) {
    const utf8_from_wide name_utf8(name);
    const utf8_from_wide value_utf8(value);
    return meta_set(name_utf8.get(), value_utf8.get());
}

std::int32_t file_info::meta_append_ansi(const char* name, const char* value) {
    return with_utf8_from_ansi(name, value, [this](const char* name_utf8, const char* value_utf8) {
        return meta_append(name_utf8, value_utf8);
    });
}

std::int32_t file_info::meta_set_ansi(const char* name, const char* value) {
    return with_utf8_from_ansi(name, value, [this](const char* name_utf8, const char* value_utf8) {
        return meta_set(name_utf8, value_utf8);
    });
}

const char* file_info::info_value_of(const char* name) const {
    const std::int32_t index = info_find(name);
    return index >= 0 ? info_value_at(index) : nullptr;
}

void file_info::info_erase_named(const char* name) {
    erase_named_before(
        info_count(), name, [this](std::int32_t i) { return info_name_at(i); },
        [this](std::int32_t i) { info_erase_at(i); });
}

std::int32_t file_info::info_put_int(const char* name, std::int64_t value) {
    char digits[24];
    format_integer(value, 10, digits);
    return info_put(name, digits);
}

std::int64_t file_info::info_int_of(const char* name) const {
    const char* value = info_value_of(name);
    return value != nullptr ? text_to_int64(value) : 0;
}

double file_info::info_real_of(const char* name) const {
    const char* value = info_value_of(name);
    return value != nullptr ? parse_real(value) : 0.0;
}

std::int32_t file_info::put_track_gain(double gain) {
    return put_formatted(*this, "replaygain_track_gain", gain, 2, true, " dB");
}

std::int32_t file_info::put_album_gain(double gain) {
    return put_formatted(*this, "replaygain_album_gain", gain, 2, true, " dB");
}

std::int32_t file_info::put_track_peak(double peak) {
    return put_formatted(*this, "replaygain_track_peak", peak, 6, false, "");
}

std::int32_t file_info::put_album_peak(double peak) {
    return put_formatted(*this, "replaygain_album_peak", peak, 6, false, "");
}

std::int64_t file_info::length_in_samples() const {
    const std::int64_t rate = info_int_of("samplerate");
    const double seconds = length_seconds();
    if (rate <= 0 || !(seconds > 0)) {
        return 0;
    }
    const double samples =
        std::floor(seconds * static_cast<double>(static_cast<std::uint32_t>(rate)) + 0.5);
    // A length too large for 64 bits saturates instead of converting out of range.
    if (samples >= 9.2e18) {
        return std::numeric_limits<std::int64_t>::max();
    }
    return static_cast<std::int64_t>(samples);
}

std::uint32_t file_info::bits_per_sample_hint() const {
    for (const char* name : {"decoded_bitspersample", "bitspersample"}) {
        const std::int64_t bits = info_int_of(name);
        if (bits >= 1 && bits <= 256) {
            return static_cast<std::uint32_t>(bits);
        }
    }
    return 0;
}

void file_info::dump_to_console() const {
    string8 line;
    line.format("location: \"%s\" (%i)", location().path(), location().subsong());
    sdk_host::console_print(sdk_host::severity_information, line.text());

    const auto list = [&line](const char* title, std::int32_t count, auto name_at, auto value_at) {
        sdk_host::console_print(sdk_host::severity_information, title);
        for (std::int32_t i = 0; i < count; ++i) {
            line.assign_text(name_at(i));
            line.append_text("=");
            line.append_text(value_at(i));
            sdk_host::console_print(sdk_host::severity_information, line.text());
        }
        sdk_host::console_print(sdk_host::severity_information, "");
    };
    list(
        "meta:", meta_count(), [this](std::int32_t i) { return meta_name_at(i); },
        [this](std::int32_t i) { return meta_value_at(i); });
    list(
        "info:", info_count(), [this](std::int32_t i) { return info_name_at(i); },
        [this](std::int32_t i) { return info_value_at(i); });
}
