// A plain string_base for filling from the wrapper library.
#pragma once

#include "vantrel/string_base.h"

#include <string>

class test_string final : public string_base {
public:
    test_string() = default;
    explicit test_string(std::string text) : text_(std::move(text)) {}

    const char* text() const override { return text_.c_str(); }
    const char* append_bytes(const char* source, std::uint32_t max) override {
        text_.append(source, length(source, max));
        return text_.c_str();
    }
    const char* assign_bytes(const char* source, std::uint32_t max) override {
        text_.assign(source, length(source, max));
        return text_.c_str();
    }
    void cut_to(std::uint32_t size) override {
        if (size < text_.size())
            text_.resize(size);
    }
    std::uint32_t byte_length() const override { return static_cast<std::uint32_t>(text_.size()); }

    const std::string& str() const { return text_; }

private:
    static std::size_t length(const char* source, std::uint32_t max) {
        std::size_t n = 0;
        while (n < max && source[n] != '\0')
            ++n;
        return n;
    }

    std::string text_;
};
