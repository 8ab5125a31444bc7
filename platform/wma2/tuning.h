// The encoder's tuning: figures found by measurement, and a few overrides that tests use
// to make the encoder write particular streams (block sizes, stereo modes).
#pragma once

#include "stream_params.h"
#include "temporal_mask.h"

#include <vector>

namespace wma2 {

enum class StereoChoice { kPerBlock, kLeftRight, kMidSide };
// Whether a short block keeps the exponents the decoder holds: when that is cheaper,
// never, or whenever it can (for tests).
enum class ExponentReuse { kWhenCheaper, kNever, kAlways };

struct EncoderTuning {
    // Hearing model: extra masking offset of a pure tone over noise, and how much the
    // allowed noise follows a band's width (0: the same noise-to-mask ratio everywhere).
    float tonal_offset_db = 6.0F;
    float width_share = 0.0F;
    // Least signal-to-noise ratio of the deep bass (kDeepBassHz): neither the ear model's
    // threshold in quiet nor its masking there holds for music played loud, where the bass
    // is heard on its own.
    float deep_bass_snr_db = 22.0F;
    // How far the masks below 15 Bark (about 2.7 kHz) are lowered per Bark (dB): PEAQ and
    // the noise-to-mask ratio both gain on voices and on a band mix from noise moved out of
    // the partials there and into the higher bands.
    float low_tilt_db_per_bark = 1.5F;
    // Quantisation: how far small values lean towards zero (fraction of a step).
    float rounding_bias = 0.18F;
    // The same at the rates that code every band (no band sent as noise): there a smaller
    // lean keeps more of the quiet partials of voices and of a band mix; where bands are
    // sent as noise the larger one keeps their levels in reach of the coded ones.
    float rounding_bias_coded = 0.12F;
    // Exponents: bits an exponent is worth per coefficient per squared unit of error.
    float precision_cost = 0.12F;
    ExponentReuse reuse_exponents = ExponentReuse::kWhenCheaper;
    bool noise_substitution = true;
    // Level of the substituted noise against the band's own energy. Noise carries none of
    // the band's fine structure, so at the full level its error stands above that of a
    // silent band; a quarter of the energy keeps the band's presence at less error.
    float noise_fill_db = -6.0F;
    // How far a block's allowed noise comes down where its sound is uneven in time.
    TemporalMaskTuning temporal_mask;
    // Block switching: how uneven (as a noise-to-mask loss factor) a block must be before
    // its halves are considered. The cost comparison still keeps steady voiced sounds in
    // long blocks; below 2 it catches more of the onsets of words in a room.
    float split_unevenness = 1.5F;
    // Stereo: how much more (a fraction) mid/side may cost in perceptual entropy than
    // left/right and still be chosen. The estimate leaves out what a nearly empty difference
    // channel saves in side information and how one gain serves two unequal channels; PEAQ
    // and the noise-to-mask ratio both favour mid/side on voices in a room and on a band
    // mix until about this much.
    float mid_side_bias = 0.3F;
    // Rate control: reservoir size in frames; reaction of the gain offset (dB) to the
    // reservoir's fill (from -1 to 1), now and over time.
    double reservoir_frames = 4.0;
    double proportional_db = 3.0;
    double integral = 0.05;
    // Coded bandwidth in Hz; 0 picks it from the bit rate.
    float bandwidth_hz = 0.0F;

    // For tests: every frame cut into these block size indices (empty: block switching),
    // and the stereo mode of every block.
    std::vector<int> forced_blocks;
    StereoChoice stereo = StereoChoice::kPerBlock;
};

// Coded bandwidth for the stream's bit rate: narrow at low rates, where wide bands would
// spread the bits too thin.
float BandwidthFor(const StreamParams& params);

} // namespace wma2
