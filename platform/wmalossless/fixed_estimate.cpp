#include "fixed_estimate.h"

#include <algorithm>

#include "residue_coder.h"

namespace wmal {

namespace {

// Bits of `count` zigzag values summing to `total` under the Rice parameter that suits them
// best: each value costs its quotient, a stop bit and k remainder bits; the quotients sum to
// about total / 2^k.
uint64_t rice_bits(uint64_t total, int count) {
    uint64_t best = UINT64_MAX;
    for (int k = 0; k < 24; ++k) {
        const uint64_t bits = (total >> k) + static_cast<uint64_t>(count) * (1 + k);
        best = std::min(best, bits);
        if ((total >> k) < static_cast<uint64_t>(count))
            break;
    }
    return best;
}

} // namespace

FixedEstimate estimate_fixed(const int32_t* const* channels, int channel_count, int length) {
    FixedEstimate best;
    best.bits = UINT64_MAX;
    auto consider = [&](uint64_t bits, int order, bool mid_side) {
        if (bits < best.bits) {
            best.bits = bits;
            best.order = order;
            best.mid_side = mid_side;
        }
    };
    if (channel_count == 2) {
        // Zigzag sums of left, right, mid and side, as they are and as first differences, in
        // one pass.
        const int32_t* l = channels[0];
        const int32_t* r = channels[1];
        uint64_t s0[4] = {};
        uint64_t s1[4] = {};
        int32_t before[4] = {};
        for (int i = 0; i < length; ++i) {
            const int32_t side = r[i] - l[i];
            const int32_t v[4] = {l[i], r[i], l[i] + (side >> 1), side};
            for (int k = 0; k < 4; ++k) {
                s0[k] += zigzag(v[k]);
                s1[k] += zigzag(v[k] - before[k]);
                before[k] = v[k];
            }
        }
        consider(rice_bits(s0[0], length) + rice_bits(s0[1], length), 0, false);
        consider(rice_bits(s0[2], length) + rice_bits(s0[3], length), 0, true);
        consider(rice_bits(s1[0], length) + rice_bits(s1[1], length), 1, false);
        consider(rice_bits(s1[2], length) + rice_bits(s1[3], length), 1, true);
        return best;
    }
    uint64_t bits0 = 0;
    uint64_t bits1 = 0;
    for (int c = 0; c < channel_count; ++c) {
        const int32_t* x = channels[c];
        uint64_t s0 = 0;
        uint64_t s1 = zigzag(x[0]);
        s0 += zigzag(x[0]);
        for (int i = 1; i < length; ++i) {
            s0 += zigzag(x[i]);
            s1 += zigzag(x[i] - x[i - 1]);
        }
        bits0 += rice_bits(s0, length);
        bits1 += rice_bits(s1, length);
    }
    consider(bits0, 0, false);
    consider(bits1, 1, false);
    return best;
}

} // namespace wmal
