// The abstract UTF-8 string that the host and its components pass to each
// other. Five virtual operations in a fixed order; no virtual destructor, so
// an object is never deleted through this interface.
#pragma once

#include <cstdint>

class string_base {
public:
    // Passed as a byte limit: take the text up to its terminating NUL.
    static constexpr std::uint32_t until_nul = 0xFFFFFFFFu;

    // Slot 0: the NUL-terminated UTF-8 text; never null.
    virtual const char* text() const = 0;
    // Slot 1: appends at most `max` bytes of `source` (stopping at a NUL).
    // Slots 1 and 2 answer the stored text, or null when memory ran out.
    virtual const char* append_bytes(const char* source, std::uint32_t max) = 0;
    // Slot 2: replaces the content with at most `max` bytes of `source`.
    virtual const char* assign_bytes(const char* source, std::uint32_t max) = 0;
    // Slot 3: shortens the content to `length` bytes; longer lengths change nothing.
    virtual void cut_to(std::uint32_t length) = 0;
    // Slot 4: bytes in use, terminator excluded.
    virtual std::uint32_t byte_length() const = 0;

    // Convenience forms over the slots above. Like the slots they answer the
    // stored text, or null when an implementation ran out of memory (its
    // content then stays as it was).
    const char* assign_text(const char* source) { return assign_bytes(source, until_nul); }
    const char* append_text(const char* source) { return append_bytes(source, until_nul); }
    bool is_empty() const { return byte_length() == 0; }
    void clear() { cut_to(0); }

protected:
    string_base() = default;
    string_base(const string_base&) = default;
    string_base& operator=(const string_base&) = default;
    ~string_base() = default;
};
