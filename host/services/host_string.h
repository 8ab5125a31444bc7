// The host's UTF-8 string behind `string_base`, for components to fill.
#pragma once

#include <string>

#include "vantrel/string_base.h"

namespace vantrel {

class host_string final : public string_base {
public:
    host_string() = default;
    explicit host_string(std::string text) : text_(std::move(text)) {}

    const char* text() const override { return text_.c_str(); }
    const char* append_bytes(const char* source, std::uint32_t max) override {
        if (source)
            text_.append(source, bounded_length(source, max));
        return text_.c_str();
    }
    const char* assign_bytes(const char* source, std::uint32_t max) override {
        if (source)
            text_.assign(source, bounded_length(source, max));
        else
            text_.clear();
        return text_.c_str();
    }
    void cut_to(std::uint32_t length) override {
        if (length < text_.size())
            text_.resize(length);
    }
    std::uint32_t byte_length() const override { return static_cast<std::uint32_t>(text_.size()); }

    const std::string& str() const { return text_; }

private:
    static std::size_t bounded_length(const char* source, std::uint32_t max) {
        std::size_t length = 0;
        while (length < max && source[length] != '\0')
            ++length;
        return length;
    }

    std::string text_;
};

} // namespace vantrel
