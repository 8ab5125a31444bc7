// A growable byte block on the C run-time heap. `size` is what callers asked
// for, `capacity` what is allocated; the growth mode decides the capacity.
#pragma once

#include <cstdint>

struct mem_block {
    enum mode_t : std::int32_t {
        mode_exact = 0,          // capacity equals size
        mode_pow2 = 1,           // capacity is a power of two, grows and shrinks
        mode_pow2_no_shrink = 2, // capacity is a power of two, never given back
    };

    std::uint8_t* data = nullptr;
    std::uint32_t capacity = 0;
    std::uint32_t size = 0;
    mode_t mode = mode_exact;

    mem_block() = default;
    explicit mem_block(mode_t growth) : mode(growth) {}
    mem_block(const mem_block&) = delete;
    mem_block& operator=(const mem_block&) = delete;
    ~mem_block();

    // Sets the size to n and answers the data (null for n = 0 in the shrinking
    // modes). When the block cannot grow, everything stays as it was and the
    // answer is null; a shrink never fails.
    std::uint8_t* resize(std::uint32_t n);
    // Resizes only when the size is below n. Answers the data or null on failure.
    std::uint8_t* ensure_size(std::uint32_t n);
    // Copies `length` bytes (zeros when `source` is null) to `offset`, growing
    // the block as needed. Answers false when it cannot grow.
    bool write_at(const void* source, std::uint32_t length, std::uint32_t offset);
    // mode_pow2_no_shrink only: makes room for n bytes without changing size.
    bool reserve(std::uint32_t n);
    // Frees the block and zeroes capacity and size (the mode stays).
    void clear();
    // Frees this block and takes over the storage of `other`, which is left
    // empty. Each keeps its own growth mode.
    void take_storage(mem_block& other) noexcept;
};
