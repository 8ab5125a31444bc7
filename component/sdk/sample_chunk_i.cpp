#include "sdk/sample_chunk_i.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

constexpr std::uint32_t kAlignSlack = sizeof(sample_t) - 1;

std::uint32_t aligned_offset(const std::uint8_t* block) {
    const auto at = reinterpret_cast<std::uintptr_t>(block);
    return static_cast<std::uint32_t>((sizeof(sample_t) - at % sizeof(sample_t)) %
                                      sizeof(sample_t));
}

} // namespace

sample_t* sample_chunk_i::resize_data(std::uint32_t n) {
    const std::uint32_t old_count = data_capacity();
    const std::uint32_t old_offset =
        aligned_ != nullptr
            ? static_cast<std::uint32_t>(reinterpret_cast<std::uint8_t*>(aligned_) - block_.data)
            : 0;
    const std::uint64_t bytes = std::uint64_t{n} * sizeof(sample_t) + kAlignSlack;
    if (bytes > 0xFFFFFFFFu || block_.resize(static_cast<std::uint32_t>(bytes)) == nullptr) {
        return nullptr;
    }
    const std::uint32_t offset = aligned_offset(block_.data);
    if (aligned_ != nullptr && offset != old_offset) {
        std::memmove(block_.data + offset, block_.data + old_offset,
                     std::size_t{std::min(n, old_count)} * sizeof(sample_t));
    }
    aligned_ = reinterpret_cast<sample_t*>(block_.data + offset);
    return aligned_;
}
