// A growable most-significant-bit-first bit string, and copies of bit ranges between them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace wma2 {

class BitWriter {
public:
    // Appends the low `count` bits of `value`, 0 <= count <= 32.
    void Put(std::uint32_t value, int count) {
        if (count == 0) {
            return;
        }
        acc_ = (acc_ << count) | (value & (0xFFFFFFFFu >> (32 - count)));
        acc_bits_ += count;
        while (acc_bits_ >= 8) {
            acc_bits_ -= 8;
            bytes_.push_back(static_cast<std::uint8_t>(acc_ >> acc_bits_));
        }
    }

    void PutBit(bool bit) { Put(bit ? 1u : 0u, 1); }

    // Appends `count` bits of `source` starting at bit `from`.
    void Append(const BitWriter& source, std::uint64_t from, std::uint64_t count);
    void Append(const BitWriter& source) { Append(source, 0, source.size()); }

    std::uint64_t size() const { return bytes_.size() * 8 + static_cast<std::uint64_t>(acc_bits_); }

    // The bit at `index` (< size()).
    bool At(std::uint64_t index) const;
    // Up to 32 bits starting at `index`, zeros past the end.
    std::uint32_t Peek(std::uint64_t index, int count) const;

    // The bits padded with zeros to whole bytes.
    std::vector<std::uint8_t> Bytes() const;

    void Clear() {
        bytes_.clear();
        acc_ = 0;
        acc_bits_ = 0;
    }
    // Drops the first `count` bits, a multiple of 8.
    void DropBytes(std::size_t count);

private:
    std::vector<std::uint8_t> bytes_;
    std::uint64_t acc_ = 0;
    int acc_bits_ = 0; // < 8 between calls
};

} // namespace wma2
