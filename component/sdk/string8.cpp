#include "sdk/string8.h"

#include "sdk/utf_coders.h"

#include <cstdint>
#include <cstring>
#include <utility>

namespace {

const char kEmpty[1] = {0};

} // namespace

string8::string8(const char* source) {
    assign_bytes(source, until_nul);
}

string8::string8(const string8& other) : string_base() {
    assign_bytes(other.text(), until_nul);
}

string8::string8(string8&& other) noexcept : string_base() {
    buffer_.take_storage(other.buffer_);
    used_ = std::exchange(other.used_, 0);
}

string8& string8::operator=(const string8& other) {
    if (this != &other) {
        assign_bytes(other.text(), until_nul);
    }
    return *this;
}

string8& string8::operator=(string8&& other) noexcept {
    if (this != &other) {
        buffer_.take_storage(other.buffer_);
        used_ = std::exchange(other.used_, 0);
    }
    return *this;
}

string8& string8::operator=(const char* source) {
    assign_bytes(source, until_nul);
    return *this;
}

const char* string8::text() const {
    return used_ > 0 ? reinterpret_cast<const char*>(buffer_.data) : kEmpty;
}

bool string8::make_space(std::uint64_t n) {
    const std::uint64_t s = buffer_.size;
    if (s < n) {
        if (n + 16 > 0xFFFFFFFFu) {
            return false;
        }
        return buffer_.resize(static_cast<std::uint32_t>(n + 16)) != nullptr;
    }
    if (s > n + 32) {
        buffer_.resize(static_cast<std::uint32_t>(n)); // a shrink never fails
    }
    return true;
}

std::int64_t string8::offset_in_buffer(const char* p) const {
    const auto at = reinterpret_cast<std::uintptr_t>(p);
    const auto start = reinterpret_cast<std::uintptr_t>(buffer_.data);
    if (buffer_.data == nullptr || at < start || at >= start + buffer_.size) {
        return -1;
    }
    return static_cast<std::int64_t>(at - start);
}

const char* string8::assign_bytes(const char* source, std::uint32_t max) {
    const std::uint32_t n = strlen_max(source, max);
    // A source inside this string is moved to the front before the buffer
    // is resized, since a shrink would cut it off.
    const std::int64_t inside = offset_in_buffer(source);
    if (inside >= 0 && std::uint64_t{n} + 1 <= buffer_.size) {
        std::memmove(buffer_.data, buffer_.data + inside, n);
        used_ = n;
        buffer_.data[n] = 0;
        make_space(std::uint64_t{n} + 1);
        return text();
    }
    if (!make_space(std::uint64_t{n} + 1)) {
        return nullptr;
    }
    if (n > 0) {
        std::memmove(buffer_.data, source, n);
    }
    used_ = n;
    buffer_.data[n] = 0;
    return text();
}

const char* string8::append_bytes(const char* source, std::uint32_t max) {
    const std::uint32_t n = strlen_max(source, max);
    if (n == 0) {
        return text();
    }
    // The source may be part of this string: find it again after a resize,
    // which keeps the bytes in front of the new size.
    const std::int64_t inside = offset_in_buffer(source);
    if (!make_space(std::uint64_t{used_} + n + 1)) {
        return nullptr;
    }
    if (inside >= 0) {
        source = reinterpret_cast<const char*>(buffer_.data) + inside;
    }
    std::memmove(buffer_.data + used_, source, n);
    used_ += n;
    buffer_.data[used_] = 0;
    return text();
}

void string8::cut_to(std::uint32_t length) {
    if (length >= used_) {
        return;
    }
    used_ = length;
    buffer_.data[length] = 0;
    make_space(std::uint64_t{used_} + 1);
}
