#include "sdk/mem_block.h"

#include "sdk/heap.h"

#include <cstring>
#include <utility>

namespace {

// The capacity a block of `mode` needs for n > 0 bytes; 0 when it would not
// fit in 32 bits.
std::uint64_t target_capacity(mem_block::mode_t mode, std::uint32_t current, std::uint32_t n) {
    if (mode == mem_block::mode_exact) {
        return n;
    }
    std::uint64_t target = current == 0 ? 1 : current;
    while (target < n) {
        target *= 2;
    }
    if (mode == mem_block::mode_pow2) {
        while (target / 2 > n) {
            target /= 2;
        }
    }
    return target > 0xFFFFFFFFu ? 0 : target;
}

} // namespace

mem_block::~mem_block() {
    sdk_heap::release(data);
}

std::uint8_t* mem_block::resize(std::uint32_t n) {
    if (n == 0) {
        if (mode != mode_pow2_no_shrink) {
            clear();
        }
        size = 0;
        return data;
    }
    const std::uint64_t target = target_capacity(mode, capacity, n);
    if (target == 0) {
        return nullptr;
    }
    if (target != capacity) {
        auto* moved = static_cast<std::uint8_t*>(sdk_heap::reallocate(data, target));
        if (moved == nullptr) {
            // A refused shrink keeps the larger block; a refused growth fails
            // with the old contents intact.
            if (n > capacity) {
                return nullptr;
            }
        } else {
            data = moved;
            capacity = static_cast<std::uint32_t>(target);
        }
    }
    size = n;
    return data;
}

std::uint8_t* mem_block::ensure_size(std::uint32_t n) {
    if (size < n) {
        return resize(n);
    }
    return data;
}

bool mem_block::write_at(const void* source, std::uint32_t length, std::uint32_t offset) {
    const std::uint64_t end = std::uint64_t{offset} + length;
    if (end > 0xFFFFFFFFu) {
        return false;
    }
    if (ensure_size(static_cast<std::uint32_t>(end)) == nullptr && end > 0) {
        return false;
    }
    if (length == 0) {
        return true;
    }
    if (source != nullptr) {
        std::memmove(data + offset, source, length);
    } else {
        std::memset(data + offset, 0, length);
    }
    return true;
}

bool mem_block::reserve(std::uint32_t n) {
    if (mode != mode_pow2_no_shrink || capacity >= n) {
        return true;
    }
    const std::uint32_t kept = size;
    if (resize(n) == nullptr) {
        return false;
    }
    size = kept;
    return true;
}

void mem_block::clear() {
    sdk_heap::release(data);
    data = nullptr;
    capacity = 0;
    size = 0;
}

void mem_block::take_storage(mem_block& other) noexcept {
    if (this == &other) {
        return;
    }
    clear();
    data = std::exchange(other.data, nullptr);
    capacity = std::exchange(other.capacity, 0);
    size = std::exchange(other.size, 0);
}
