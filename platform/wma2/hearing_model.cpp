#include "hearing_model.h"

#include "fast_math.h"
#include "shared_tables.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <tuple>

namespace wma2 {
namespace {

constexpr double kHalfBark = 0.5;
// Model units: a full-scale sine puts 92 dB into its band, as in the usual ear models.
constexpr double kFullScaleSineDb = 92.0;
constexpr float kDownwardDbPerBark = 27.0F;
constexpr float kNoEnergy = 1e-12F;
constexpr float kLog2Of10Over10 = 0.33219281F; // dB to log2 of a power ratio
constexpr float kDbPerLog2 = 3.0103F;
// Spread energy below this share of what a partition's mask holds anyway is not followed.
constexpr float kNegligible = 1e-4F;
constexpr int kPeakWidth = 8; // coefficients around a partition for its tonality
// Upward spreading over half-Bark steps is added this many partitions at a time.
constexpr std::size_t kSpreadRun = 8;
// The masks fall by HearingModelTuning::low_tilt_db_per_bark per Bark below this (about
// 2.7 kHz).
constexpr double kLowTiltFromBark = 15.0;
// The deep bass's allowed noise comes down at most 30 dB from the mask's.
constexpr double kDeepBassMost = 1e-3;

double Bark(double frequency) {
    return 7.0 * std::asinh(frequency / 650.0);
}

double FrequencyOfBark(double z) {
    return 650.0 * std::sinh(z / 7.0);
}

// Outer and middle ear transfer (power) at `frequency` Hz.
double EarWeight(double frequency) {
    const double khz = std::max(frequency, 20.0) / 1000.0;
    const double db = -2.184 * std::pow(khz, -0.8) +
                      6.5 * std::exp(-0.6 * (khz - 3.3) * (khz - 3.3)) - 0.001 * std::pow(khz, 3.6);
    return std::pow(10.0, db / 10.0);
}

// The ear's internal noise, the threshold in quiet after the ear weighting (model units).
double InternalNoise(double frequency) {
    const double khz = std::max(frequency, 20.0) / 1000.0;
    return std::pow(10.0, 0.4 * 0.364 * std::pow(khz, -0.8));
}

} // namespace

HearingModel::HearingModel(const StreamParams& params, HearingModelTuning tuning)
    : params_(params), tuning_(tuning),
      // At the rates that code the high bands as noise the bass gets no floor: those bits
      // are scarce, and the noise levels are sent relative to the channel's exponents, whose
      // range a low bass exponent would stretch past what the levels can span.
      deep_bass_noise_(tuning.deep_bass_snr_db > 0 && !params.noise_coding
                           ? std::pow(10.0F, -tuning.deep_bass_snr_db / 10.0F)
                           : std::numeric_limits<float>::infinity()) {
    const auto shape = std::tuple{params_.sample_rate, params_.frame_len, params_.block_sizes};
    layouts_ = SharedTable<Layouts>(shape, [](const auto& key) {
        const auto [sample_rate, frame_len, block_sizes] = key;
        Layouts layouts;
        for (int k = 0; k < block_sizes; ++k) {
            layouts[static_cast<std::size_t>(k)] = BuildLayout(sample_rate, frame_len >> k);
        }
        return layouts;
    });
    const auto n = static_cast<std::size_t>(params_.frame_len);
    power_.resize(n);
    // Not at the rates that code the high bands as noise, for the deep bass's reason: the
    // noise levels are sent relative to the exponents, whose range lower masks would stretch.
    const double tilt_db = params.noise_coding ? 0.0 : tuning.low_tilt_db_per_bark;
    for (int k = 0; k < params_.block_sizes; ++k) {
        auto& tilt = low_tilt_[static_cast<std::size_t>(k)];
        for (const Partition& partition : (*layouts_)[static_cast<std::size_t>(k)].partitions) {
            const double below = std::max(0.0, kLowTiltFromBark - partition.z);
            tilt.push_back(static_cast<float>(std::pow(10.0, -below * tilt_db / 10.0)));
        }
    }
}

HearingModel::Layout HearingModel::BuildLayout(int sample_rate, int n) {
    Layout layout;
    const auto size = static_cast<std::size_t>(n);
    const double bin = sample_rate / (2.0 * n);
    layout.ear.resize(size);
    layout.ear_prefix.assign(size + 1, 0.0);
    layout.partition_of.resize(size);
    std::vector<int> index_of(size);
    for (std::size_t i = 0; i < size; ++i) {
        const double frequency = (static_cast<double>(i) + 0.5) * bin;
        layout.ear[i] = static_cast<float>(EarWeight(frequency));
        layout.ear_prefix[i + 1] = layout.ear_prefix[i] + layout.ear[i];
        index_of[i] = static_cast<int>(std::floor(Bark(frequency) / kHalfBark));
    }
    auto& partitions = layout.partitions;
    for (std::size_t i = 0; i < size; ++i) {
        if (i == 0 || index_of[i] != index_of[i - 1]) {
            Partition partition;
            partition.start = static_cast<int>(i);
            partitions.push_back(partition);
        }
        partitions.back().end = static_cast<int>(i) + 1;
        layout.partition_of[i] = static_cast<int>(partitions.size()) - 1;
    }
    // A full-scale sine has transform energy N^2 32768^2 / 4; in model units it is 92 dB
    // times the 1.5 of a Hann window's main lobe.
    layout.to_model = static_cast<float>(6.0 * std::pow(10.0, kFullScaleSineDb / 10.0) /
                                         (static_cast<double>(n) * n * 1073741824.0));
    for (std::size_t p = 0; p < partitions.size(); ++p) {
        Partition& partition = partitions[p];
        const int first = index_of[static_cast<std::size_t>(partition.start)];
        const int next = p + 1 < partitions.size()
                             ? index_of[static_cast<std::size_t>(partitions[p + 1].start)]
                             : first + 1;
        partition.weight = static_cast<float>(next - first);
        partition.z = static_cast<float>((first + next) * 0.5 * kHalfBark);
        partition.frequency = static_cast<float>(FrequencyOfBark(partition.z));
        const float offset_db = partition.z <= 12.0F ? 3.0F : 0.25F * partition.z;
        partition.offset = std::pow(10.0F, -offset_db / 10.0F);
        partition.quiet = static_cast<float>(partition.weight * InternalNoise(partition.frequency));
        const int width = partition.end - partition.start;
        const int grow = std::max(0, (kPeakWidth - width + 1) / 2);
        partition.peak_start = std::max(0, partition.start - grow);
        partition.peak_end = std::min(n - 1, partition.end + grow);
        // Pairs of neighbouring coefficients (a tone's energy moves between two with its
        // phase): the largest of m noise pairs is about the harmonic number H(m) times
        // their mean; a tone puts nearly everything into one.
        const int pairs = std::max(1, partition.peak_end - partition.peak_start);
        double harmonic = 0;
        for (int m = 1; m <= pairs; ++m) {
            harmonic += 1.0 / m;
        }
        partition.noise_peak_db = static_cast<float>(10.0 * std::log10(harmonic));
        partition.tone_peak_db = static_cast<float>(10.0 * std::log10(0.5 * pairs + 1.0));
    }
    const std::size_t count = partitions.size();
    layout.step.assign(count, 0.0F);
    layout.downward_step.assign(count, 0.0F);
    for (std::size_t p = 1; p < count; ++p) {
        const float dz = partitions[p].z - partitions[p - 1].z;
        layout.step[p] = dz;
        layout.downward_step[p] = std::pow(10.0F, -kDownwardDbPerBark * dz / 10.0F);
    }
    layout.deep_bass_end = static_cast<int>(std::ceil(kDeepBassHz / bin));
    layout.even_from = count;
    while (layout.even_from > 1 && layout.step[layout.even_from - 1] == 0.5F) {
        --layout.even_from;
    }
    return layout;
}

void HearingModel::Analyse(int k, const float* coefs, int end, BandMasking& out, bool tonality) {
    const Layout& layout = (*layouts_)[static_cast<std::size_t>(k)];
    const int n = params_.block_len(k);
    const auto& partitions = layout.partitions;
    const std::size_t count = partitions.size();
    energy_.resize(count);
    spread_.assign(count + kSpreadRun, 0.0F); // room for the last run's overhang
    inverse_mask_.resize(count);
    tonality_.resize(count);

    float* power = power_.data();
    for (int i = 0; i < n; ++i) {
        power[i] = coefs[i] * coefs[i];
    }
    for (std::size_t p = 0; p < count; ++p) {
        const Partition& partition = partitions[p];
        const float weighted =
            SumOfProducts(power + partition.start, layout.ear.data() + partition.start,
                          partition.end - partition.start);
        energy_[p] = weighted * layout.to_model;
        if (!tonality) {
            tonality_[p] = 0;
            continue;
        }
        // Tonality from how far the strongest pair stands above the neighbourhood's mean.
        float peak = 0;
        float total = power[partition.peak_end];
        for (int i = partition.peak_start; i < partition.peak_end; ++i) {
            peak = std::max(peak, power[i] + power[i + 1]);
            total += power[i];
        }
        const auto pairs = static_cast<float>(partition.peak_end - partition.peak_start);
        const float mean = 2.0F * total / (pairs + 1.0F);
        if (mean <= kNoEnergy || peak <= kNoEnergy) {
            tonality_[p] = 0;
            continue;
        }
        const float peak_db = kDbPerLog2 * FastLog2(peak / mean);
        tonality_[p] =
            std::clamp((peak_db - partition.noise_peak_db) /
                           std::max(partition.tone_peak_db - partition.noise_peak_db, 1.0F),
                       0.0F, 1.0F);
    }
    // Spreading: each partition's energy masks its neighbours, fading geometrically with
    // the distance in Bark. A contribution is followed only while it can still matter
    // somewhere further on: above a ten-thousandth of that partition's own energy plus the
    // threshold in quiet (both part of its mask).
    floor_above_.resize(count + 1);
    floor_below_.resize(count + 1);
    floor_above_[count] = std::numeric_limits<float>::infinity();
    floor_below_[0] = std::numeric_limits<float>::infinity();
    for (std::size_t p = count; p-- > 0;) {
        floor_above_[p] =
            std::min(floor_above_[p + 1], kNegligible * (energy_[p] + partitions[p].quiet));
    }
    for (std::size_t p = 0; p < count; ++p) {
        floor_below_[p + 1] =
            std::min(floor_below_[p], kNegligible * (energy_[p] + partitions[p].quiet));
    }
    for (std::size_t j = 0; j < count; ++j) {
        const float e = energy_[j];
        if (e <= kNoEnergy) {
            continue;
        }
        spread_[j] += e;
        const float level_db = kDbPerLog2 * FastLog2(e);
        const float upward =
            std::max(0.0F, 24.0F + 230.0F / partitions[j].frequency - 0.2F * level_db);
        const float per_bark_log2 = -upward * kLog2Of10Over10;
        const float per_half_bark = FastExp2(0.5F * per_bark_log2);
        float term = e;
        std::size_t i = j + 1;
        for (; i < std::min(count, layout.even_from) && term >= floor_above_[i]; ++i) {
            term *= FastExp2(per_bark_log2 * layout.step[i]);
            spread_[i] += term;
        }
        if (i >= layout.even_from && i < count && term >= floor_above_[i]) {
            // From here the contributions form a geometric series: a run at a time, with no
            // chain of multiplications for the vectoriser to wait on.
            static_assert(kSpreadRun == 8);
            const float r = per_half_bark;
            const float r2 = r * r;
            const float r4 = r2 * r2;
            const std::array<float, kSpreadRun> powers{r,      r2,      r2 * r,      r4,
                                                       r4 * r, r4 * r2, r4 * r2 * r, r4 * r4};
            for (; i < count && term >= floor_above_[i]; i += kSpreadRun) {
                float* target = spread_.data() + i;
                for (std::size_t m = 0; m < kSpreadRun; ++m) {
                    target[m] += term * powers[m];
                }
                term *= powers[kSpreadRun - 1];
            }
        }
        term = e;
        for (std::size_t i = j; i-- > 0 && term >= floor_below_[i + 1];) {
            term *= layout.downward_step[i + 1];
            spread_[i] += term;
        }
    }
    const std::vector<float>& low_tilt = low_tilt_[static_cast<std::size_t>(k)];
    for (std::size_t p = 0; p < count; ++p) {
        const float tonal = FastExp2(-tonality_[p] * tuning_.tonal_offset_db * kLog2Of10Over10);
        const float mask =
            spread_[p] * partitions[p].offset * tonal * low_tilt[p] + partitions[p].quiet;
        inverse_mask_[p] = partitions[p].weight * layout.to_model / mask;
    }

    // Per exponent band: the noise density that keeps its partitions at their masks, each
    // half-Bark band counting once (see width_share).
    const auto& edges = params_.band_edges[k];
    const int bands = params_.band_count(k);
    out.perceptual_entropy = 0;
    for (int b = 0; b < bands; ++b) {
        const int from = edges[static_cast<std::size_t>(b)];
        const int to = edges[static_cast<std::size_t>(b) + 1];
        double cost = 0; // sum over the band's partitions of noise-to-mask per noise density
        double tonal = 0;
        float partitions_in_band = 0;
        for (int p = layout.partition_of[static_cast<std::size_t>(from)];
             p <= layout.partition_of[static_cast<std::size_t>(to - 1)]; ++p) {
            const Partition& partition = partitions[static_cast<std::size_t>(p)];
            const int a = std::max(from, partition.start);
            const int z = std::min(to, partition.end);
            const double ear = layout.ear_prefix[static_cast<std::size_t>(z)] -
                               layout.ear_prefix[static_cast<std::size_t>(a)];
            cost += ear * inverse_mask_[static_cast<std::size_t>(p)];
            tonal += static_cast<double>(tonality_[static_cast<std::size_t>(p)]) * (z - a);
            partitions_in_band += partition.weight * static_cast<float>(z - a) /
                                  static_cast<float>(partition.end - partition.start);
        }
        const double coefficients = to - from;
        partitions_in_band = std::max(partitions_in_band, 1.0F);
        double allowed = partitions_in_band / cost;
        if (tuning_.width_share != 0.0F) {
            allowed *= std::pow(coefficients / partitions_in_band,
                                static_cast<double>(tuning_.width_share));
        }
        out.tonality[b] = static_cast<float>(tonal / coefficients);
        // Energy and bits of the coded part (all of the band when none of it is coded).
        const int coded_to = std::min(to, end);
        const int energy_to = coded_to > from ? coded_to : to;
        const float signal = Sum(power + from, energy_to - from);
        out.energy[b] = signal / static_cast<float>(energy_to - from);
        if (from < layout.deep_bass_end) {
            // The deep bass keeps its own signal-to-noise ratio (measured on its part of the
            // band: louder partials above it would set the noise above the bass), but never
            // costs more than kDeepBassMost under what the mask asks for: faint bass stays
            // cheap.
            const int bass_to = std::min(to, layout.deep_bass_end);
            const double bass = Sum(power + from, bass_to - from) / (bass_to - from);
            allowed = std::max(std::min(allowed, bass * static_cast<double>(deep_bass_noise_)),
                               allowed * kDeepBassMost);
        }
        out.allowed[b] = static_cast<float>(allowed);
        if (coded_to > from) {
            out.perceptual_entropy += 0.5F * static_cast<float>(coded_to - from) *
                                      FastLog2(1.0F + out.energy[b] / static_cast<float>(allowed));
        }
    }
}

void HearingModel::MidSideMasking(const BandMasking& left, const BandMasking& right, int bands,
                                  BandMasking& mid, BandMasking& side) {
    for (int b = 0; b < bands; ++b) {
        const float allowed = 0.5F * std::min(left.allowed[b], right.allowed[b]);
        mid.allowed[b] = allowed;
        side.allowed[b] = allowed;
        mid.tonality[b] = std::max(left.tonality[b], right.tonality[b]);
        side.tonality[b] = mid.tonality[b];
    }
}

} // namespace wma2
