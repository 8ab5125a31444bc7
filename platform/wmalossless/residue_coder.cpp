#include "residue_coder.h"

namespace wmal {

namespace {

// Starting mean: half the average zigzag value of the first residues, which is where the
// running mean settles for a steady signal.
uint32_t initial_mean(const int32_t* residues, int count, int bits_per_sample) {
    constexpr int kProbe = 32;
    const int n = count < kProbe ? count : kProbe;
    if (n <= 0)
        return 0;
    uint64_t total = 0;
    for (int i = 0; i < n; ++i)
        total += zigzag(residues[i]);
    const uint64_t mean = total / static_cast<uint64_t>(n) / 2;
    const uint64_t limit = (uint64_t{1} << bits_per_sample) - 1;
    return static_cast<uint32_t>(mean < limit ? mean : limit);
}

} // namespace

void RiceSpeeds::start(const int32_t* residues, int count, int bits_per_sample) {
    const uint32_t mean = initial_mean(residues + 1, count - 1, bits_per_sample);
    for (int m = 0; m < kMovaveSpeeds; ++m) {
        sum[m] = mean << (m + 1);
        bits[m] = 0;
    }
    if (count > 1)
        add(residues + 1, count - 1);
}

void RiceSpeeds::add(const int32_t* residues, int count) {
    // The speeds' running sums are independent, so the processor works on all of them at once.
    for (int i = 0; i < count; ++i) {
        const uint32_t u = zigzag(residues[i]);
        for (int m = 0; m < kMovaveSpeeds; ++m) {
            const uint32_t mean = (sum[m] + (uint32_t{1} << m)) >> (m + 1);
            const int k = mean <= 1 ? 0 : ceil_log2(mean);
            const uint32_t q = u >> k;
            bits[m] += q < 32
                           ? q + 1 + static_cast<uint32_t>(k)
                           : 38 + static_cast<uint32_t>(k) +
                                 (q == 32 ? 1 : 32 - static_cast<uint32_t>(__builtin_clz(q - 32)));
            sum[m] = sum[m] + u - (sum[m] >> m);
        }
    }
}

void write_residues(BitWriter& out, const int32_t* residues, int count, bool seekable,
                    int bits_per_sample, int first_bits, int movave, uint32_t& sum) {
    out.put(0, 1); // no transient position
    int i = 0;
    if (seekable) {
        const uint32_t mean = initial_mean(residues + 1, count - 1, bits_per_sample);
        out.put(mean, bits_per_sample);
        sum = mean << (movave + 1);
        if (count > 0) {
            out.put_signed(residues[0], first_bits);
            i = 1;
        }
    }
    for (; i < count; ++i)
        put_residue(out, zigzag(residues[i]), sum, movave);
}

} // namespace wmal
