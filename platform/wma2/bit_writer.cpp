#include "bit_writer.h"

#include <algorithm>

namespace wma2 {

bool BitWriter::At(std::uint64_t index) const {
    const std::size_t byte = static_cast<std::size_t>(index >> 3);
    const int shift = 7 - static_cast<int>(index & 7);
    if (byte < bytes_.size()) {
        return ((bytes_[byte] >> shift) & 1) != 0;
    }
    const int tail_index = static_cast<int>(index - bytes_.size() * 8);
    return ((acc_ >> (acc_bits_ - 1 - tail_index)) & 1) != 0;
}

std::uint32_t BitWriter::Peek(std::uint64_t index, int count) const {
    if (count <= 0) {
        return 0;
    }
    const std::uint64_t mask = 0xFFFFFFFFu >> (32 - count);
    if (index + static_cast<std::uint64_t>(count) <= bytes_.size() * 8) {
        const std::size_t byte = static_cast<std::size_t>(index >> 3);
        const int skip = static_cast<int>(index & 7);
        const int needed = (skip + count + 7) / 8;
        std::uint64_t window = 0;
        for (int i = 0; i < needed; ++i) {
            window = (window << 8) | bytes_[byte + static_cast<std::size_t>(i)];
        }
        return static_cast<std::uint32_t>((window >> (needed * 8 - skip - count)) & mask);
    }
    // Near the end: bit by bit, zeros past it.
    std::uint64_t word = 0;
    const std::uint64_t end = size();
    for (int i = 0; i < count; ++i) {
        const std::uint64_t at = index + static_cast<std::uint64_t>(i);
        word = (word << 1) | (at < end && At(at) ? 1u : 0u);
    }
    return static_cast<std::uint32_t>(word & mask);
}

void BitWriter::Append(const BitWriter& source, std::uint64_t from, std::uint64_t count) {
    while (count >= 32) {
        Put(source.Peek(from, 32), 32);
        from += 32;
        count -= 32;
    }
    if (count > 0) {
        Put(source.Peek(from, static_cast<int>(count)), static_cast<int>(count));
    }
}

std::vector<std::uint8_t> BitWriter::Bytes() const {
    std::vector<std::uint8_t> out = bytes_;
    if (acc_bits_ > 0) {
        out.push_back(static_cast<std::uint8_t>(acc_ << (8 - acc_bits_)));
    }
    return out;
}

void BitWriter::DropBytes(std::size_t count) {
    count = std::min(count, bytes_.size());
    bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(count));
}

} // namespace wma2
