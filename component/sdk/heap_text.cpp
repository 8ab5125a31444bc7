#include "sdk/heap_text.h"

#include "sdk/heap.h"
#include "sdk/utf_coders.h"

#include <cstring>

namespace {

const char kEmpty[1] = {0};

} // namespace

heap_text::~heap_text() {
    sdk_heap::release(text_);
}

const char* heap_text::get() const {
    return text_ != nullptr ? text_ : kEmpty;
}

bool heap_text::set(const char* source, std::uint32_t max) {
    const std::uint32_t n = strlen_max(source, max);
    auto* copy = static_cast<char*>(sdk_heap::allocate(std::size_t{n} + 1));
    if (copy == nullptr) {
        return false;
    }
    if (n > 0) {
        std::memcpy(copy, source, n);
    }
    copy[n] = 0;
    sdk_heap::release(text_);
    text_ = copy;
    return true;
}

bool heap_text::set_or_clear(const char* source) {
    if (source == nullptr || source[0] == 0) {
        clear();
        return true;
    }
    return set(source);
}

void heap_text::clear() {
    sdk_heap::release(text_);
    text_ = nullptr;
}
