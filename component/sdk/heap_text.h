// One owned, NUL-terminated copy of a text in a heap block; null reads as the
// empty text.
#pragma once

#include <cstdint>

class heap_text {
public:
    heap_text() = default;
    heap_text(const heap_text&) = delete;
    heap_text& operator=(const heap_text&) = delete;
    ~heap_text();

    const char* get() const;
    // Stores a copy of at most `max` bytes of `source` (an empty copy still
    // gets its block). False, with the old text kept, when memory runs out.
    bool set(const char* source, std::uint32_t max = 0xFFFFFFFFu);
    // As set(), except that the empty text frees the block and stores null.
    bool set_or_clear(const char* source);
    void clear();
    bool is_null() const { return text_ == nullptr; }

private:
    char* text_ = nullptr;
};
