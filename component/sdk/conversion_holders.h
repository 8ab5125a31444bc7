// Converted copies of a text, made once on construction and freed on
// destruction. When memory runs out they hold the empty text.
#pragma once

#include "vantrel/string_base.h"

#include <cstdint>

class wide_from_utf8 {
public:
    explicit wide_from_utf8(const char* source, std::uint32_t max = string_base::until_nul);
    wide_from_utf8(const wide_from_utf8&) = delete;
    wide_from_utf8& operator=(const wide_from_utf8&) = delete;
    ~wide_from_utf8();

    const char16_t* get() const;
    operator const char16_t*() const { return get(); }

private:
    char16_t* buffer_ = nullptr;
};

class utf8_from_wide {
public:
    explicit utf8_from_wide(const char16_t* source, std::uint32_t max = string_base::until_nul);
    utf8_from_wide(const utf8_from_wide&) = delete;
    utf8_from_wide& operator=(const utf8_from_wide&) = delete;
    ~utf8_from_wide();

    const char* get() const;
    operator const char*() const { return get(); }

private:
    char* buffer_ = nullptr;
};
