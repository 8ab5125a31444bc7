#include "stream_params.h"

#include "tables.h"

#include <algorithm>
#include <cstdio>

namespace wma2 {
namespace {

int FloorLog2(unsigned value) {
    int bits = 0;
    while (value > 1) {
        value >>= 1;
        ++bits;
    }
    return bits;
}

int FrameBits(int sample_rate) {
    if (sample_rate <= 16000) {
        return 9;
    }
    return sample_rate <= 22050 ? 10 : 11;
}

// Bands of the larger blocks: the bins of the critical frequencies, rounded to multiples
// of four.
std::vector<int> BandsFromCriticalFrequencies(int block_len, int sample_rate) {
    std::vector<int> edges{0};
    int last = 0;
    for (const int frequency : CriticalFrequencies()) {
        const std::int64_t numerator =
            std::int64_t{block_len} * 2 * frequency + std::int64_t{sample_rate} * 2;
        int pos = static_cast<int>(numerator / (std::int64_t{sample_rate} * 4)) * 4;
        pos = std::min(pos, block_len);
        if (pos > last) {
            edges.push_back(pos);
            last = pos;
        }
        if (pos >= block_len) {
            break;
        }
    }
    return edges;
}

std::vector<int> BandEdges(int frame_bits, int k, int sample_rate) {
    const int block_len = (1 << frame_bits) >> k;
    const int row = frame_bits - kMinBlockBits - k;
    int table_rate = 0;
    if (sample_rate >= 44100) {
        table_rate = 44100;
    } else if (sample_rate >= 32000) {
        table_rate = 32000;
    } else if (sample_rate >= 22050) {
        table_rate = 22050;
    }
    if (row < 3 && table_rate != 0) {
        std::vector<int> edges{0};
        for (const int width : FixedExponentBands(table_rate, row)) {
            edges.push_back(edges.back() + width);
        }
        return edges;
    }
    return BandsFromCriticalFrequencies(block_len, sample_rate);
}

} // namespace

StreamParams DeriveStreamParams(int sample_rate, int channels, std::int64_t bit_rate, int flags) {
    StreamParams p;
    p.sample_rate = sample_rate;
    p.channels = channels;
    p.bit_rate = bit_rate;
    p.flags = flags;
    p.frame_bits = FrameBits(sample_rate);
    p.frame_len = 1 << p.frame_bits;

    // The decoder computes these in single precision; so must we, to agree at the edges.
    const float bps = static_cast<float>(bit_rate) / static_cast<float>(channels * sample_rate);
    const float bps1 = channels == 2 ? static_cast<float>(static_cast<double>(bps) * 1.6) : bps;
    p.byte_offset_bits =
        FloorLog2(static_cast<unsigned>(static_cast<int>(
            static_cast<double>(bps * static_cast<float>(p.frame_len)) / 8.0 + 0.5))) +
        2;

    if ((flags & kVariableBlockFlag) != 0) {
        int sizes = ((flags & kExtraBlockSizesFlags) >> 3) + 1;
        if (bit_rate / channels >= 32000) {
            sizes += 2;
        }
        sizes = std::min(sizes, p.frame_bits - kMinBlockBits);
        p.block_sizes = sizes + 1;
    } else {
        p.block_sizes = 1;
    }
    p.block_code_bits = FloorLog2(static_cast<unsigned>(std::max(p.block_sizes - 1, 1))) + 1;

    for (int k = 0; k < p.block_sizes; ++k) {
        p.coefs_end[k] = (p.frame_len - p.frame_len * 9 / 100) >> k;
        p.band_edges[k] = BandEdges(p.frame_bits, k, sample_rate);
    }

    int normalised_rate = sample_rate;
    if (sample_rate >= 44100) {
        normalised_rate = 44100;
    } else if (sample_rate >= 22050) {
        normalised_rate = 22050;
    } else if (sample_rate >= 16000) {
        normalised_rate = 16000;
    } else if (sample_rate >= 11025) {
        normalised_rate = 11025;
    } else if (sample_rate >= 8000) {
        normalised_rate = 8000;
    }
    float high_freq = static_cast<float>(sample_rate * 0.5);
    bool noise = true;
    const auto scale = [&high_freq](double factor) {
        high_freq = static_cast<float>(static_cast<double>(high_freq) * factor);
    };
    switch (normalised_rate) {
    case 44100:
        if (bps1 >= 0.61) {
            noise = false;
        } else {
            scale(0.4);
        }
        break;
    case 22050:
        if (bps1 >= 1.16) {
            noise = false;
        } else {
            scale(bps1 >= 0.72 ? 0.7 : 0.6);
        }
        break;
    case 16000:
        scale(bps > 0.5 ? 0.5 : 0.3);
        break;
    case 11025:
        scale(0.7);
        break;
    case 8000:
        if (bps <= 0.625) {
            scale(0.5);
        } else if (bps > 0.75) {
            noise = false;
        } else {
            scale(0.65);
        }
        break;
    default:
        break;
    }
    p.noise_coding = noise;
    if (noise) {
        for (int k = 0; k < p.block_sizes; ++k) {
            const float start = static_cast<float>(p.block_len(k) * 2) * high_freq /
                                static_cast<float>(sample_rate);
            p.high_band_start[k] = static_cast<int>(static_cast<double>(start) + 0.5);
            const auto& edges = p.band_edges[k];
            for (std::size_t b = 0; b + 1 < edges.size(); ++b) {
                const int from = std::max(edges[b], p.high_band_start[k]);
                const int to = std::min(edges[b + 1], p.coefs_end[k]);
                if (to > from) {
                    p.high_bands[k].push_back({from, to});
                }
            }
        }
    }

    p.coef_table_pair = 2;
    if (sample_rate >= 32000) {
        if (bps1 < 0.72) {
            p.coef_table_pair = 0;
        } else if (bps1 < 1.16) {
            p.coef_table_pair = 1;
        }
    }
    return p;
}

std::string TargetProblem(int sample_rate, int channels, std::int64_t bit_rate) {
    char line[200];
    if (channels < 1 || channels > kMaxChannels) {
        std::snprintf(line, sizeof line, "Windows Media Audio 2 carries 1 or 2 channels, not %d",
                      channels);
        return line;
    }
    if (sample_rate < kMinSampleRate || sample_rate > kMaxSampleRate) {
        std::snprintf(line, sizeof line,
                      "Windows Media Audio 2 is encoded at %d to %d Hz, not %d Hz", kMinSampleRate,
                      kMaxSampleRate, sample_rate);
        return line;
    }
    const double samples_per_second = static_cast<double>(sample_rate) * channels;
    const auto lowest = static_cast<std::int64_t>(samples_per_second * kMinBitsPerSample);
    const auto highest = static_cast<std::int64_t>(samples_per_second * kMaxBitsPerSample);
    if (bit_rate < lowest) {
        std::snprintf(line, sizeof line,
                      "a bit rate of %lld b/s is too low for Windows Media Audio 2 at %d Hz with "
                      "%d channel%s: a frame needs at least %lld b/s",
                      static_cast<long long>(bit_rate), sample_rate, channels,
                      channels == 1 ? "" : "s", static_cast<long long>(lowest));
        return line;
    }
    if (bit_rate > highest) {
        std::snprintf(line, sizeof line,
                      "a bit rate of %lld b/s is too high for Windows Media Audio 2 at %d Hz with "
                      "%d channel%s: at most %lld b/s",
                      static_cast<long long>(bit_rate), sample_rate, channels,
                      channels == 1 ? "" : "s", static_cast<long long>(highest));
        return line;
    }
    return {};
}

} // namespace wma2
