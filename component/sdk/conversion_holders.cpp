#include "sdk/conversion_holders.h"

#include "sdk/heap.h"
#include "sdk/utf_coders.h"

namespace {

const char16_t kEmptyWide[1] = {0};
const char kEmptyNarrow[1] = {0};

} // namespace

wide_from_utf8::wide_from_utf8(const char* source, std::uint32_t max) {
    const std::uint32_t n = strlen_max(source, max);
    buffer_ = static_cast<char16_t*>(
        sdk_heap::allocate((static_cast<std::size_t>(n) + 1) * sizeof(char16_t)));
    if (buffer_ != nullptr) {
        convert_utf8_to_wide(source, buffer_, n);
    }
}

wide_from_utf8::~wide_from_utf8() {
    sdk_heap::release(buffer_);
}

const char16_t* wide_from_utf8::get() const {
    return buffer_ != nullptr ? buffer_ : kEmptyWide;
}

utf8_from_wide::utf8_from_wide(const char16_t* source, std::uint32_t max) {
    const std::uint32_t n = wcslen_max(source, max);
    buffer_ = static_cast<char*>(sdk_heap::allocate(3 * static_cast<std::size_t>(n) + 1));
    if (buffer_ != nullptr) {
        convert_wide_to_utf8(source, buffer_, n);
    }
}

utf8_from_wide::~utf8_from_wide() {
    sdk_heap::release(buffer_);
}

const char* utf8_from_wide::get() const {
    return buffer_ != nullptr ? buffer_ : kEmptyNarrow;
}
