#include "exponent_coder.h"

#include "block_syntax.h"
#include "tables.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace wma2 {
namespace {

constexpr int kReach = 2; // candidates on either side of the wanted value

int CodeBits(int delta) {
    static const std::uint8_t* const lengths =
        ExponentDeltaCode().lengths - ExponentDeltaCode().first;
    return lengths[delta];
}

} // namespace

int ChooseExponents(const float* desired, const float* weight, int bands, float precision_cost,
                    Exponents& exponents) {
    // Bands that carry nothing follow their neighbours, which costs the fewest bits.
    std::array<float, kMaxExponentBands> wanted{};
    int last_used = -1;
    for (int b = 0; b < bands; ++b) {
        if (weight[b] > 0) {
            for (int f = last_used + 1; f < b; ++f) {
                wanted[f] = last_used >= 0 ? wanted[last_used] : desired[b];
            }
            wanted[b] = desired[b];
            last_used = b;
        }
    }
    if (last_used < 0) {
        exponents.fill(kFirstExponentBase);
        return 0;
    }
    for (int f = last_used + 1; f < bands; ++f) {
        wanted[f] = wanted[last_used];
    }
    // Only differences matter: start at the base the first code is taken from, and move
    // the curve down if its top would pass the largest exponent.
    float offset = static_cast<float>(kFirstExponentBase) - std::round(wanted[0]);
    float top = -std::numeric_limits<float>::infinity();
    for (int b = 0; b < bands; ++b) {
        top = std::max(top, wanted[b] + offset);
    }
    if (top > kMaxExponent - kReach) {
        offset -= std::ceil(top - (kMaxExponent - kReach));
    }
    // The range: the first band within 60 of its base, the others above the smallest
    // exponent. Bands below that come up (their steps get coarser, where it hardly matters
    // next to bands 75 dB and more louder).
    wanted[0] = std::max(wanted[0] + offset,
                         static_cast<float>(kFirstExponentBase - kMaxExponentDelta + kReach)) -
                offset;
    for (int b = 1; b < bands; ++b) {
        wanted[b] =
            std::max(wanted[b] + offset, static_cast<float>(kMinExponent + kReach)) - offset;
    }
    // Neighbours may differ by at most 60: where the curve climbs faster, the lower band
    // comes up.
    constexpr auto kSlope = static_cast<float>(kMaxExponentDelta - 2 * kReach - 1);
    for (int b = bands - 1; b > 0; --b) {
        wanted[b - 1] = std::max(wanted[b - 1], wanted[b] - kSlope);
    }
    for (int b = 1; b < bands; ++b) {
        wanted[b] = std::max(wanted[b], wanted[b - 1] - kSlope);
    }

    // Viterbi over the candidates of each band: code bits plus precision cost.
    constexpr int kStates = 2 * kReach + 1;
    std::array<std::array<float, kStates>, kMaxExponentBands> cost{};
    std::array<std::array<int, kStates>, kMaxExponentBands> from{};
    std::array<std::array<int, kStates>, kMaxExponentBands> value{};
    for (int b = 0; b < bands; ++b) {
        const float target = wanted[b] + offset;
        const int centre = std::clamp(static_cast<int>(std::lround(target)), kMinExponent + kReach,
                                      kMaxExponent - kReach);
        for (int s = 0; s < kStates; ++s) {
            const int v = centre - kReach + s;
            value[b][s] = v;
            const float miss = static_cast<float>(v) - target;
            const float precision = precision_cost * weight[b] * miss * miss;
            if (b == 0) {
                const int delta = v - kFirstExponentBase;
                cost[b][s] = std::abs(delta) <= kMaxExponentDelta
                                 ? static_cast<float>(CodeBits(delta)) + precision
                                 : std::numeric_limits<float>::infinity();
                from[b][s] = 0;
                continue;
            }
            float best = std::numeric_limits<float>::infinity();
            int best_from = 0;
            for (int t = 0; t < kStates; ++t) {
                const int delta = v - value[b - 1][t];
                if (std::abs(delta) > kMaxExponentDelta) {
                    continue;
                }
                const float c = cost[b - 1][t] + static_cast<float>(CodeBits(delta));
                if (c < best) {
                    best = c;
                    best_from = t;
                }
            }
            cost[b][s] = best + precision;
            from[b][s] = best_from;
        }
    }
    int state = 0;
    for (int s = 1; s < kStates; ++s) {
        if (cost[bands - 1][s] < cost[bands - 1][state]) {
            state = s;
        }
    }
    for (int b = bands - 1; b >= 0; --b) {
        exponents[b] = value[b][state];
        state = from[b][state];
    }
    return static_cast<int>(offset);
}

int ExponentBits(const Exponents& exponents, int bands) {
    int bits = 0;
    int previous = kFirstExponentBase;
    for (int b = 0; b < bands; ++b) {
        bits += CodeBits(exponents[b] - previous);
        previous = exponents[b];
    }
    return bits;
}

} // namespace wma2
