#include "sdk/bit_array.h"

std::uint32_t bit_array::find_bit(bool value, std::uint32_t start, std::uint32_t count) const {
    const std::uint32_t end = start + count;
    for (std::uint32_t i = start; i < end; ++i) {
        if (bit_at(i) == value) {
            return i;
        }
    }
    return end;
}
