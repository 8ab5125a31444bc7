#include "noise_bands.h"

#include <algorithm>
#include <cmath>

namespace wma2 {

void ChooseNoiseBands(const StreamParams& params, bool substitution, BlockAnalysis& block) {
    const auto& high = params.high_bands[block.k];
    for (int ch = 0; ch < params.channels; ++ch) {
        ChannelAnalysis& channel = block.channels[ch];
        channel.noise.fill(false);
        if (!channel.content) {
            continue;
        }
        for (std::size_t j = 0; j < high.size(); ++j) {
            const int from = high[j][0];
            const int to = high[j][1];
            // Only bands that lie wholly in the high range: a band's exponent also sets the
            // step of its coded part.
            const int band = BandOf(params, block.k, from);
            if (from < block.end ||
                params.band_edges[block.k][static_cast<std::size_t>(band)] < from) {
                continue;
            }
            double energy = 0;
            for (int i = from; i < to; ++i) {
                energy += static_cast<double>(channel.coefs[static_cast<std::size_t>(i)]) *
                          channel.coefs[static_cast<std::size_t>(i)];
            }
            energy /= to - from;
            // Noise where something would be heard; silence where nothing would be.
            channel.noise[j] = substitution && energy > channel.masking.allowed[band];
            channel.noise_energy[j] = static_cast<float>(energy);
        }
    }
}

void PlaceNoiseExponents(const StreamParams& params, float precision_cost, BlockAnalysis& block,
                         int ch) {
    // A noise band's level is sent relative to its own exponent, the last noise band's and
    // the channel's largest, in a limited range (and in limited steps from band to band).
    // The exponents of the noise bands are free otherwise: place them so that every level
    // comes out the same, high in its range; low exponents also keep the decoder's faint
    // noise above the coded range (a fiftieth of the last band's step) far down.
    ChannelAnalysis& channel = block.channels[ch];
    const auto& high = params.high_bands[block.k];
    int last = -1;
    for (std::size_t j = 0; j < high.size(); ++j) {
        if (channel.noise[j]) {
            last = static_cast<int>(j);
        }
    }
    if (last < 0) {
        return;
    }
    constexpr float kLevelAim = 100.0F; // dB, inside the level field's -19 .. 108
    const auto level_db = [&](int j) {
        return 10.0F *
               std::log10(std::max(channel.noise_energy[static_cast<std::size_t>(j)], 1e-10F));
    };
    const float last_exponent =
        static_cast<float>(channel.top) - (kLevelAim - level_db(last)) / kDbPerExponent;
    for (std::size_t j = 0; j < high.size(); ++j) {
        if (!channel.noise[j]) {
            continue;
        }
        const float exponent = last_exponent + (level_db(static_cast<int>(j)) - level_db(last)) /
                                                   (2.0F * kDbPerExponent);
        const int b = BandOf(params, block.k, high[j][0]);
        channel.wanted[b] = std::min(exponent, static_cast<float>(channel.top)) -
                            static_cast<float>(channel.offset);
        channel.weight[b] = 4.0F;
    }
    const int bands = params.band_count(block.k);
    channel.offset = ChooseExponents(channel.wanted.data(), channel.weight.data(), bands,
                                     precision_cost, channel.chosen);
    channel.top = *std::max_element(channel.chosen.begin(), channel.chosen.begin() + bands);
}

float SetNoiseLevels(const StreamParams& params, float fill_db, const BlockAnalysis& block, int ch,
                     const std::vector<int>& exponent_of, int top, ChannelCoding& coding) {
    const ChannelAnalysis& channel = block.channels[ch];
    const auto& high = params.high_bands[block.k];
    // Per noise band, 10 log10 of the mean squared exponent factor over its coefficients.
    std::array<float, kMaxHighBands> power_db{};
    int last = -1;
    for (std::size_t j = 0; j < high.size(); ++j) {
        if (!coding.noise[j]) {
            continue;
        }
        double sum = 0;
        for (int i = high[j][0]; i < high[j][1]; ++i) {
            sum += std::pow(10.0, exponent_of[static_cast<std::size_t>(i)] / 8.0);
        }
        power_db[j] = static_cast<float>(10.0 * std::log10(sum / (high[j][1] - high[j][0])));
        last = static_cast<int>(j);
    }
    bool first = true;
    int previous = 0;
    float miss = 0;
    const float top_db = kDbPerExponent * static_cast<float>(top);
    for (std::size_t j = 0; j < high.size(); ++j) {
        if (!coding.noise[j]) {
            continue;
        }
        // The decoder scales noise band j by P_j / (sqrt(P_last) Emax) 10^(level / 20).
        const float target_db =
            10.0F * std::log10(std::max(channel.noise_energy[j], 1e-10F)) + fill_db;
        const float level_db =
            target_db - 2.0F * power_db[j] + power_db[static_cast<std::size_t>(last)] + top_db;
        int level = static_cast<int>(std::lround(level_db));
        if (first) {
            level = std::clamp(level, kMinNoiseLevel, kMaxNoiseLevel);
            first = false;
        } else {
            level =
                std::clamp(level, previous - kMaxNoiseLevelDelta, previous + kMaxNoiseLevelDelta);
        }
        coding.noise_level[j] = level;
        previous = level;
        miss = std::max(miss, std::fabs(static_cast<float>(level) - level_db));
    }
    return miss;
}

} // namespace wma2
