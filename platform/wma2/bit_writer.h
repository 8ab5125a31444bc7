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
        if (acc_bits_ + count > 64) {
            FlushWords();
        }
        acc_ = (acc_ << count) | (value & (0xFFFFFFFFu >> (32 - count)));
        acc_bits_ += count;
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

private:
    // Moves the accumulator's whole leading 32-bit words to the byte store.
    void FlushWords();

    std::vector<std::uint8_t> bytes_;
    std::uint64_t acc_ = 0; // the last acc_bits_ bits, not yet in bytes_
    int acc_bits_ = 0;
};

} // namespace wma2
