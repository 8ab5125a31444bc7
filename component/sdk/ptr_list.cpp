#include "sdk/ptr_list.h"

#include <cstring>

void* ptr_list::remove_at(std::int32_t index) {
    const std::uint32_t n = count();
    const auto at = static_cast<std::uint32_t>(index);
    void** list = items();
    void* item = list[at];
    std::memmove(list + at, list + at + 1, (n - at - 1) * sizeof(void*));
    set_count(n - 1);
    return item;
}

void ptr_list::keep_where(const bit_array& mask) {
    const std::uint32_t n = count();
    std::uint32_t i = mask.find_bit(false, 0, n);
    if (i >= n) {
        return;
    }
    void** list = items();
    std::uint32_t j = mask.find_bit(true, i + 1, n - i - 1);
    while (j < n) {
        list[i++] = list[j];
        j = mask.find_bit(true, j + 1, n - j - 1);
    }
    set_count(i);
}

std::int32_t ptr_list::insert_at(void* item, std::int32_t index) {
    const std::uint32_t n = count();
    if (n >= 0x7FFFFFFFu || !set_count(n + 1)) {
        return -1;
    }
    // An index past the end appends rather than writing outside the block.
    if (index < 0 || static_cast<std::uint32_t>(index) > n) {
        index = static_cast<std::int32_t>(n);
    }
    const auto at = static_cast<std::uint32_t>(index);
    void** list = items();
    std::memmove(list + at + 1, list + at, (n - at) * sizeof(void*));
    list[at] = item;
    return index;
}
