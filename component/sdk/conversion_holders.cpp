#include "sdk/conversion_holders.h"

#include "sdk/utf_coders.h"

wide_from_utf8::wide_from_utf8(const char* source, std::uint32_t max) {
    const std::uint32_t n = strlen_max(source, max);
    if (char16_t* buffer = allocate(std::size_t{n} + 1); buffer != nullptr) {
        convert_utf8_to_wide(source, buffer, n);
    }
}

utf8_from_wide::utf8_from_wide(const char16_t* source, std::uint32_t max) {
    const std::uint32_t n = wcslen_max(source, max);
    // One unit takes up to three bytes.
    if (char* buffer = allocate(3 * std::size_t{n} + 1); buffer != nullptr) {
        convert_wide_to_utf8(source, buffer, n);
    }
}
