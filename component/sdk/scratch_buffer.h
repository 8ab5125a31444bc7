// Working space for a conversion: on the stack up to 4096 bytes, on the heap
// beyond that (freed when the scratch goes away).
#pragma once

#include "sdk/mem_block.h"

#include <cstddef>
#include <cstdint>

class scratch_buffer {
public:
    static constexpr std::size_t stack_bytes = 4096;

    // Room for `bytes`; data() is null when the heap refused.
    explicit scratch_buffer(std::uint64_t bytes) {
        if (bytes <= stack_bytes) {
            data_ = stack_;
        } else if (bytes <= 0xFFFFFFFFu) {
            data_ = heap_.resize(static_cast<std::uint32_t>(bytes));
        }
    }
    scratch_buffer(const scratch_buffer&) = delete;
    scratch_buffer& operator=(const scratch_buffer&) = delete;

    template <typename T> T* as() { return reinterpret_cast<T*>(data_); }
    bool ok() const { return data_ != nullptr; }

private:
    alignas(8) std::uint8_t stack_[stack_bytes];
    mem_block heap_;
    std::uint8_t* data_ = nullptr;
};
