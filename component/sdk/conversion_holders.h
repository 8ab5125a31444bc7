// Converted copies of a text, made once on construction and freed on
// destruction. When memory runs out they hold the empty text.
#pragma once

#include "sdk/heap.h"
#include "vantrel/string_base.h"

#include <cstddef>
#include <cstdint>

template <class Unit> class converted_text {
public:
    converted_text(const converted_text&) = delete;
    converted_text& operator=(const converted_text&) = delete;
    ~converted_text() { sdk_heap::release(buffer_); }

    const Unit* get() const {
        static constexpr Unit kEmpty[1] = {0};
        return buffer_ != nullptr ? buffer_ : kEmpty;
    }
    operator const Unit*() const { return get(); }

protected:
    converted_text() = default;
    // Room for `units` units, held until destruction; null when memory ran out.
    Unit* allocate(std::size_t units) {
        buffer_ = static_cast<Unit*>(sdk_heap::allocate(units * sizeof(Unit)));
        return buffer_;
    }

private:
    Unit* buffer_ = nullptr;
};

class wide_from_utf8 final : public converted_text<char16_t> {
public:
    explicit wide_from_utf8(const char* source, std::uint32_t max = string_base::until_nul);
};

class utf8_from_wide final : public converted_text<char> {
public:
    explicit utf8_from_wide(const char16_t* source, std::uint32_t max = string_base::until_nul);
};
