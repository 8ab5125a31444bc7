#include "tuning.h"

#include "tile_encoder.h"

namespace wmal {

namespace {

TileParams make(bool pre_emphasis, int channels, int mclms_order, int mclms_scaling,
                std::initializer_list<int> orders, std::initializer_list<int> scalings,
                int movave) {
    TileParams p;
    if (pre_emphasis)
        use_pre_emphasis(p);
    p.inter_channel = channels == 2;
    p.mclms_order = mclms_order;
    p.mclms_scaling = mclms_scaling;
    set_cascade(p, orders, scalings);
    p.movave_scaling = movave;
    return p;
}

// Tools whose pre-filter of up to `order` taps is fitted to the sound at each seekable point.
TileParams fitted(TileParams p, int order) {
    p.ac_fitted = true;
    p.ac_order = order;
    p.ac_scaling = 15; // the widest coefficients a fit may need, for the size bounds
    p.ac_coefs.fill(1);
    return p;
}

// Next to no prediction: one fine cascade filter, as required, with or without mid/side; the
// Rice speed picked at each seekable tile. Sound without a shape to predict (noise) codes
// smallest so.
TileParams plain(int channels, bool mid_side, int lms_scaling) {
    TileParams p = make(false, channels, 0, 0, {16}, {lms_scaling}, 0);
    p.inter_channel = mid_side && channels == 2;
    p.movave_fitted = true;
    return p;
}

TileParams clear_lead(TileParams p) {
    p.needs_clear_lead = true;
    return p;
}

} // namespace

// Tuned on the benchmark corpus (bench/wmalossless). The first candidate suits most music and
// speech: pre-emphasis, mid/side, a short multichannel stage and a long filter followed by two
// short ones with coarser steps. Pure tones and sweeps want no pre-emphasis and the finest
// steps: the multichannel stage adapts by one unit per sample where the cascade's filters
// move by eight, so a short one at scaling 15 tracks a tone closely; but it adapts fast
// enough to win a short trial on clicks too, and then loses over the frames that follow, so
// it must win its trials by a clear lead. Noise and clicks want
// one short coarse filter; synthetic chords (flat stretches between sharp steps) one short
// filter with the fastest Rice adaptation, so that the parameter drops back right after
// each step.
//
// 24-bit streams are bound by the decoder's 32-bit prediction sums: a stage's input times
// 2^scaling must stay below 2^31, so loud passages need coarse steps, which adapt noisily.
// Every adaptive stage jitters by its steps times its input's level, and that noise is what
// later stages cannot remove. The first stage to see the loud signal is therefore the
// multichannel one at its shortest order: it moves each of its few weights by one unit,
// where a cascade filter moves its newest taps by eight. Cascades of finer filters follow;
// louder material wants a coarser start, quieter material (speech) a finer one, loud pure
// tones short filters of rising precision, and synthetic chords again short filters with
// the fastest Rice adaptation. Tones and sweeps also get a pre-filter fitted to them at each
// seekable point, which lowers the level that the adaptive stages see.
std::vector<TileParams> candidate_tile_params(const StreamFormat& f) {
    const int ch = f.channels;
    if (f.bits_per_sample == 16)
        return {
            make(true, ch, 8, 12, {128, 32, 16}, {14, 11, 9}, 4),
            clear_lead(make(false, ch, 4, 15, {16, 16, 16}, {15, 15, 15}, 3)),
            make(true, ch, 0, 0, {16}, {9}, 2),
            make(true, ch, 2, 11, {16}, {10}, 1),
        };
    return {
        make(true, ch, 2, 11, {16, 64, 16, 16}, {11, 13, 11, 11}, 4),
        make(true, ch, 2, 9, {16, 256, 16}, {10, 12, 10}, 4),
        make(false, ch, 2, 8, {8, 8, 8, 16}, {9, 11, 13, 15}, 3),
        make(true, ch, 2, 10, {8, 8}, {10, 12}, 1),
        fitted(make(false, ch, 2, 10, {8, 8, 16}, {11, 13, 15}, 3), 16),
        make(true, ch, 2, 12, {16, 64, 16, 16}, {12, 14, 11, 11}, 3),
    };
}

TileParams fixed_tools(const StreamFormat& format, int order, bool mid_side) {
    // 24-bit sums of even slight weights times loud samples would wrap at the finest steps.
    TileParams p = plain(format.channels, mid_side, format.bits_per_sample == 16 ? 15 : 12);
    if (order == 1) {
        // Coefficient 2 at scaling 1 is exactly 1; scaling 0 would make the decoder read
        // coefficients of zero bits.
        p.ac_order = 1;
        p.ac_scaling = 1;
        p.ac_coefs[0] = 2;
    }
    return p;
}

TileParams fitted_tools(const StreamFormat& format, bool mid_side) {
    TileParams p = fixed_tools(format, 0, mid_side);
    p.mclms_order = 12;
    p.mclms_scaling = kLeastCarriedMclmsScaling;
    p.mclms_fitted = true;
    return p;
}

TileParams default_tile_params(const StreamFormat& format) {
    return candidate_tile_params(format).front();
}

// The frame length hardly changes the size; the base length keeps raw fallbacks fine-grained.
std::vector<uint16_t> preferred_frame_length_codes(int sample_rate) {
    (void)sample_rate;
    return {0, 2, 3};
}

} // namespace wmal
