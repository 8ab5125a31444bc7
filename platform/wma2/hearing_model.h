// The hearing model: from a block's spectrum, how much quantisation noise each exponent
// band can carry before it is heard.
//
// Per block and channel: the spectrum weighted by the outer and middle ear, grouped into
// half-Bark partitions; each partition's tonality (a tone masks less than noise of the
// same energy); the partitions' energies spread over their neighbours (27 dB/Bark towards
// lower frequencies, a level-dependent slope towards higher ones) and lowered by the
// masking offset; the threshold in quiet as a floor. The result per exponent band is the
// noise energy per coefficient that keeps the band's partitions at their masks, every
// half-Bark band counting the same. A perceptual entropy says how many bits the block needs
// at that noise.
#pragma once

#include "stream_params.h"

#include <array>
#include <memory>
#include <vector>

namespace wma2 {

struct BandMasking {
    // Per exponent band of the block: allowed noise energy per coefficient (transform
    // units), mean signal energy per coded coefficient (per coefficient above the coded
    // bandwidth), and tonality 0 (noise) .. 1 (tone).
    std::array<float, kMaxExponentBands> allowed{};
    std::array<float, kMaxExponentBands> energy{};
    std::array<float, kMaxExponentBands> tonality{};
    float perceptual_entropy = 0; // bits, at the allowed noise
};

// Upper end of the deep bass, where the noise follows the signal rather than the mask
// (above 80 Hz: the noise of the partials just above the bass would fall into it).
constexpr double kDeepBassHz = 100.0;

struct HearingModelTuning {
    float tonal_offset_db = 6.0F; // extra masking offset of a pure tone over noise
    // How strongly the allowed noise follows a band's width rather than its mask: 0 gives
    // every partition the same noise-to-mask ratio, 1 minimises the mean ratio for the bits.
    float width_share = 0.0F;
    // Least signal-to-noise ratio of the bands below kDeepBassHz (dB; 0: none).
    float deep_bass_snr_db = 0.0F;
    // How much lower the masks get per Bark below 15 Bark (about 2.7 kHz), dB: the partials
    // of voices and instruments there are resolved one by one and heard against less noise
    // than their spread energy predicts.
    float low_tilt_db_per_bark = 0.0F;
};

class HearingModel {
public:
    explicit HearingModel(const StreamParams& params, HearingModelTuning tuning = {});

    // `coefs` are the N coefficients of a block of size index k; `end` the first
    // coefficient not coded (the chosen bandwidth). Without `tonality` every masker counts
    // as noise (a quicker estimate).
    void Analyse(int k, const float* coefs, int end, BandMasking& out, bool tonality = true);

    // Mask of the sum and difference channels from those of the left and right ones:
    // noise in either of them lands in both outputs.
    static void MidSideMasking(const BandMasking& left, const BandMasking& right, int bands,
                               BandMasking& mid, BandMasking& side);

private:
    struct Partition {
        int start = 0;
        int end = 0;
        int peak_start = 0; // neighbourhood for the tonality measure
        int peak_end = 0;
        float z = 0;
        float frequency = 0;
        float weight = 1;        // half-Bark bands it stands for
        float offset = 1;        // masking offset for noise maskers, as a factor
        float quiet = 0;         // threshold in quiet, in model units
        float noise_peak_db = 0; // peak-to-mean ratio of noise in the neighbourhood
        float tone_peak_db = 0;  // and of a pure tone
    };
    struct Layout {
        std::vector<Partition> partitions;
        std::vector<int> partition_of;    // per coefficient
        std::vector<float> ear;           // outer and middle ear weighting per coefficient
        std::vector<double> ear_prefix;   // sums of ear[0 .. i)
        std::vector<float> step;          // Bark from the partition below
        std::vector<float> downward_step; // spreading factor from the partition above
        std::size_t even_from = 0;        // every partition from here is half a Bark above the last
        int deep_bass_end = 0;            // first coefficient at or above kDeepBassHz
        float to_model = 0;               // transform energy to model units
    };

    using Layouts = std::array<Layout, kMaxBlockSizes>;
    static Layout BuildLayout(int sample_rate, int n);

    const StreamParams& params_;
    HearingModelTuning tuning_;
    float deep_bass_noise_ = 0;              // noise-to-signal ratio that deep_bass_snr_db allows
    std::shared_ptr<const Layouts> layouts_; // shared by every model of the same stream shape
    std::vector<float> power_;
    std::vector<float> energy_;
    std::vector<float> spread_;
    std::vector<float> floor_above_; // least that matters from partition p upwards
    std::vector<float> floor_below_; // and below partition p
    std::vector<float> inverse_mask_;
    std::vector<float> tonality_;
    std::array<std::vector<float>, kMaxBlockSizes> low_tilt_; // per partition, as a factor
};

} // namespace wma2
