// MSB-first bit writer over a fixed buffer, 64-bit accumulator flushed 32 bits at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace wmal {

// Reads the 32 bits that start at bit `bit_pos` of a big-endian bit string. The buffer must
// have at least 8 readable bytes past the byte that holds `bit_pos`.
inline uint32_t peek32(const uint8_t* data, uint64_t bit_pos) {
    uint64_t word;
    std::memcpy(&word, data + (bit_pos >> 3), sizeof word);
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    word = __builtin_bswap64(word);
#endif
    return static_cast<uint32_t>(word >> (32 - (bit_pos & 7)));
}

class BitWriter {
public:
    // Bytes the buffer keeps beyond the usable capacity so that copies may read ahead.
    static constexpr size_t kSlack = 16;

    void reserve_bits(uint64_t bits) {
        buffer_.assign(static_cast<size_t>((bits + 7) / 8) + kSlack, 0);
        reset();
    }

    void reset() {
        bytes_ = 0;
        acc_ = 0;
        acc_bits_ = 0;
    }

    uint64_t capacity_bits() const { return static_cast<uint64_t>(buffer_.size() - kSlack) * 8; }

    uint64_t bit_count() const { return static_cast<uint64_t>(bytes_) * 8 + acc_bits_; }

    // Writes the low `n` bits of `value`, 0 <= n <= 32.
    void put(uint32_t value, int n) {
        acc_ = (acc_ << n) | (value & ((uint64_t{1} << n) - 1));
        acc_bits_ += n;
        if (acc_bits_ >= 32) {
            acc_bits_ -= 32;
            store32(static_cast<uint32_t>(acc_ >> acc_bits_));
        }
    }

    void put_signed(int32_t value, int n) { put(static_cast<uint32_t>(value), n); }

    // Writes `count` one-bits.
    void put_ones(uint64_t count) {
        while (count >= 32) {
            put(0xFFFFFFFFu, 32);
            count -= 32;
        }
        put(0xFFFFFFFFu, static_cast<int>(count));
    }

    // Replaces the `n` bits (n <= 32) written at bit `pos` with the low bits of `value`.
    void overwrite(uint64_t pos, uint32_t value, int n) {
        const uint64_t stored = static_cast<uint64_t>(bytes_) * 8;
        for (int i = 0; i < n; ++i) {
            const uint64_t at = pos + static_cast<uint64_t>(i);
            const bool bit = (value >> (n - 1 - i)) & 1;
            if (at < stored) {
                uint8_t& byte = buffer_[static_cast<size_t>(at >> 3)];
                const uint8_t mask = static_cast<uint8_t>(0x80 >> (at & 7));
                byte = static_cast<uint8_t>(bit ? byte | mask : byte & ~mask);
            } else {
                const uint64_t mask = uint64_t{1}
                                      << (acc_bits_ - 1 - static_cast<int>(at - stored));
                acc_ = bit ? acc_ | mask : acc_ & ~mask;
            }
        }
    }

    // Appends `nbits` bits of `src` starting at bit `src_pos`; `src` must be readable 8 bytes
    // past the last byte copied.
    void copy_bits(const uint8_t* src, uint64_t src_pos, uint64_t nbits) {
        while (nbits >= 32) {
            put(peek32(src, src_pos), 32);
            src_pos += 32;
            nbits -= 32;
        }
        if (nbits > 0)
            put(peek32(src, src_pos) >> (32 - nbits), static_cast<int>(nbits));
    }

    // Pads to a whole byte with zeros and returns the bytes written so far.
    const uint8_t* finish() {
        if (acc_bits_ > 0) {
            uint64_t pad = (8 - (acc_bits_ & 7)) & 7;
            acc_ <<= pad;
            acc_bits_ += static_cast<int>(pad);
            while (acc_bits_ > 0) {
                acc_bits_ -= 8;
                buffer_[bytes_++] = static_cast<uint8_t>(acc_ >> acc_bits_);
            }
        }
        acc_ = 0;
        return buffer_.data();
    }

    // The buffer after finish(); readable with peek32 up to the end of the written bits.
    const uint8_t* data() const { return buffer_.data(); }
    uint8_t* mutable_data() { return buffer_.data(); }

private:
    void store32(uint32_t word) {
        uint8_t* p = buffer_.data() + bytes_;
        p[0] = static_cast<uint8_t>(word >> 24);
        p[1] = static_cast<uint8_t>(word >> 16);
        p[2] = static_cast<uint8_t>(word >> 8);
        p[3] = static_cast<uint8_t>(word);
        bytes_ += 4;
    }

    std::vector<uint8_t> buffer_;
    size_t bytes_ = 0;
    uint64_t acc_ = 0;
    int acc_bits_ = 0;
};

} // namespace wmal
