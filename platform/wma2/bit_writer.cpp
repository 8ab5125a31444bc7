#include "bit_writer.h"

#include <algorithm>

namespace wma2 {

bool BitWriter::At(std::uint64_t index) const {
    return Peek(index, 1) != 0;
}

std::uint32_t BitWriter::Peek(std::uint64_t index, int count) const {
    if (count <= 0) {
        return 0;
    }
    const std::uint64_t mask = 0xFFFFFFFFu >> (32 - count);
    const std::uint64_t stored = bytes_.size() * 8;
    const std::uint64_t end = size();
    if (index + static_cast<std::uint64_t>(count) <= stored) {
        const std::size_t byte = static_cast<std::size_t>(index >> 3);
        const int skip = static_cast<int>(index & 7);
        const int needed = (skip + count + 7) / 8;
        std::uint64_t window = 0;
        for (int i = 0; i < needed; ++i) {
            window = (window << 8) | bytes_[byte + static_cast<std::size_t>(i)];
        }
        return static_cast<std::uint32_t>((window >> (needed * 8 - skip - count)) & mask);
    }
    if (index >= stored) {
        // In the accumulator, zeros past the end.
        const std::uint64_t from_end = end > index ? end - index : 0; // bits left from index
        const int available = static_cast<int>(std::min<std::uint64_t>(from_end, 64));
        const std::uint64_t bits =
            available == 0 ? 0 : (acc_ & (~std::uint64_t{0} >> (64 - available)));
        std::uint64_t value =
            count <= available ? bits >> (available - count) : bits << (count - available);
        return static_cast<std::uint32_t>(value & mask);
    }
    // Across the byte store and the accumulator.
    const int head = static_cast<int>(stored - index);
    return static_cast<std::uint32_t>(
        ((static_cast<std::uint64_t>(Peek(index, head)) << (count - head)) |
         Peek(stored, count - head)) &
        mask);
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

void BitWriter::FlushWords() {
    while (acc_bits_ >= 32) {
        const auto word = static_cast<std::uint32_t>(acc_ >> (acc_bits_ - 32));
        bytes_.insert(bytes_.end(),
                      {static_cast<std::uint8_t>(word >> 24), static_cast<std::uint8_t>(word >> 16),
                       static_cast<std::uint8_t>(word >> 8), static_cast<std::uint8_t>(word)});
        acc_bits_ -= 32;
    }
}

std::vector<std::uint8_t> BitWriter::Bytes() const {
    std::vector<std::uint8_t> out = bytes_;
    int left = acc_bits_;
    while (left >= 8) {
        left -= 8;
        out.push_back(static_cast<std::uint8_t>(acc_ >> left));
    }
    if (left > 0) {
        out.push_back(static_cast<std::uint8_t>(acc_ << (8 - left)));
    }
    return out;
}

} // namespace wma2
