// Adaptive Golomb-Rice coding of one channel's residues in one tile. The Rice parameter
// follows a running sum that the decoder keeps in step, so it costs no side information.
#pragma once

#include <cstdint>

#include "bit_writer.h"

namespace wmal {

inline uint32_t zigzag(int32_t v) {
    return (static_cast<uint32_t>(v) << 1) ^ static_cast<uint32_t>(v >> 31);
}

inline int ceil_log2(uint32_t v) {
    return v <= 1 ? 0 : 32 - __builtin_clz(v - 1);
}

// Writes one residue; `sum` is the running sum for this channel.
inline void put_residue(BitWriter& out, uint32_t u, uint32_t& sum, int movave) {
    const uint32_t mean = (sum + (uint32_t{1} << movave)) >> (movave + 1);
    const int k = mean <= 1 ? 0 : ceil_log2(mean);
    const uint32_t q = u >> k;
    if (q < 32) {
        // q ones, a zero, then k remainder bits, in at most two writes.
        const int unary_bits = static_cast<int>(q) + 1;
        const uint32_t unary = ((uint32_t{1} << q) - 1) << 1;
        if (unary_bits + k <= 32) {
            out.put((unary << k) | (u & ((uint32_t{1} << k) - 1)), unary_bits + k);
        } else {
            out.put(unary, unary_bits);
            out.put(u, k);
        }
    } else {
        // 32 ones and a zero announce an escape: 5 bits of width - 1, then q - 32.
        const uint32_t extra = q - 32;
        const int width = extra == 0 ? 1 : 32 - __builtin_clz(extra);
        out.put(0xFFFFFFFFu, 32);
        out.put(static_cast<uint32_t>(width - 1), 6); // the leading zero ends the unary run
        out.put(extra, width);
        out.put(u, k);
    }
    sum = sum + u - (sum >> movave);
}

// Rice adaptation speeds (movave scalings) a seekable tile may announce.
constexpr int kMovaveSpeeds = 8;

// One channel's residues of a seekable tile coded with every adaptation speed at once,
// counting bits only. The initial mean and the raw first residue cost every speed the same
// and are not counted.
struct RiceSpeeds {
    uint32_t sum[kMovaveSpeeds] = {};
    uint64_t bits[kMovaveSpeeds] = {};

    void start(const int32_t* residues, int count, int bits_per_sample);
    void add(const int32_t* residues, int count);
};

// Codes `count` residues. In a seekable tile the first residue is written raw in
// `first_bits` bits after the initial mean, which also resets `sum`.
void write_residues(BitWriter& out, const int32_t* residues, int count, bool seekable,
                    int bits_per_sample, int first_bits, int movave, uint32_t& sum);

} // namespace wmal
