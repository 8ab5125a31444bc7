#include "pcm_analysis.h"

#include <cmath>

namespace writer_test {

std::vector<std::int16_t> Sweep(int sampleRate, int channels, double seconds) {
    const auto frames = static_cast<std::size_t>(std::llround(sampleRate * seconds));
    std::vector<std::int16_t> pcm(frames * static_cast<std::size_t>(channels));
    const double f0 = 200.0;
    const double f1 = 4000.0;
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / sampleRate;
        const double phase = 2.0 * M_PI * (f0 * t + (f1 - f0) * t * t / (2.0 * seconds));
        const auto value = static_cast<std::int16_t>(std::lround(16384.0 * std::sin(phase)));
        for (int c = 0; c < channels; ++c) {
            pcm[i * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)] = value;
        }
    }
    return pcm;
}

int BestLag(const std::vector<float>& reference, const std::vector<float>& decoded, int maxLag) {
    const auto begin = static_cast<long>(reference.size() / 4);
    const auto end = static_cast<long>(reference.size() * 3 / 4);
    int best = 0;
    double bestScore = -1e300;
    for (int lag = -maxLag; lag <= maxLag; ++lag) {
        double score = 0;
        for (long i = begin; i < end; ++i) {
            const long j = i + lag;
            if (j >= 0 && j < static_cast<long>(decoded.size())) {
                score += static_cast<double>(reference[static_cast<std::size_t>(i)]) *
                         decoded[static_cast<std::size_t>(j)];
            }
        }
        if (score > bestScore) {
            bestScore = score;
            best = lag;
        }
    }
    return best;
}

std::vector<float> FirstChannel(const std::vector<std::int16_t>& pcm, int channels) {
    std::vector<float> out;
    for (std::size_t i = 0; i < pcm.size(); i += static_cast<std::size_t>(channels)) {
        out.push_back(pcm[i] / 32768.0F);
    }
    return out;
}

} // namespace writer_test
