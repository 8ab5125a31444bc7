#include "tile_encoder.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "mclms_design.h"
#include "prefilter_design.h"
#include "residue_coder.h"

namespace wmal {

namespace {

bool uses_inter_channel(const TileParams& params, int channels) {
    return params.inter_channel && channels == 2;
}

// Whether a cascade filter of this scaling keeps its coefficients over a seekable tile that
// keeps the cascade's shape.
bool carried(int scaling) {
    return scaling >= kLeastCarriedScaling;
}

// Whether every coded channel's first residue after a seekable tile fits the `bits` of its
// raw field when the multichannel stage starts with the weights it carried over. Its
// history is empty then, so only the weights of the lower channels' current samples count.
// A residue that does not fit would arrive cut to `bits` bits; the sample the decoder puts
// out would still be right (it keeps only the stream's depth), but not the history it keeps.
bool first_residues_fit(const McLmsFilter& m, int32_t* const* signals, const bool* coded,
                        int channels, int bits) {
    const int64_t lo = -(int64_t{1} << (bits - 1));
    const int64_t hi = (int64_t{1} << (bits - 1)) - 1;
    const uint32_t rounding = (uint32_t{1} << m.scaling) >> 1;
    for (int c = 0; c < channels; ++c) {
        if (!coded[c])
            continue;
        uint32_t sum = rounding;
        for (int j = 0; j < c; ++j)
            sum += static_cast<uint32_t>(signals[j][0]) * static_cast<uint32_t>(m.cross[c][j]);
        const int32_t prediction = static_cast<int32_t>(sum) >> m.scaling;
        const int64_t residue = int64_t{signals[c][0]} - prediction;
        if (residue < lo || residue > hi)
            return false;
    }
    return true;
}

} // namespace

int seekable_header_bits(const TileParams& params, int channels) {
    int bits = 4 + 1 + 3 + 8;
    if (params.ac_order > 0)
        bits += 8 + params.ac_order * params.ac_scaling;
    if (params.mclms_order > 0)
        bits += 9;
    if (params.mclms_fitted)
        bits += 4 + (params.mclms_order * channels * channels + channels * (channels - 1) / 2) * 16;
    bits += channels * (3 + params.lms_count * 11);
    return bits;
}

template <typename Hist>
TileEncoder<Hist>::TileEncoder(int channels, int bits_per_sample, int max_length)
    : channels_(channels), bits_per_sample_(bits_per_sample) {
    state_.channel.resize(static_cast<size_t>(channels));
    trial_ = state_;
    work_.assign(static_cast<size_t>(channels),
                 std::vector<int32_t>(static_cast<size_t>(max_length)));
}

template <typename Hist>
void TileEncoder<Hist>::write_seekable_header(BitWriter& out, const State& state) const {
    const TileParams& params = state.params;
    out.put(0, 1); // no arithmetic coding
    out.put(params.ac_order > 0 ? 1 : 0, 1);
    out.put(uses_inter_channel(params, channels_) ? 1 : 0, 1);
    out.put(params.mclms_order > 0 ? 1 : 0, 1);
    if (params.ac_order > 0) {
        out.put(static_cast<uint32_t>(params.ac_order - 1), 4);
        out.put(static_cast<uint32_t>(params.ac_scaling), 4);
        for (int j = 0; j < params.ac_order; ++j)
            out.put(static_cast<uint32_t>(params.ac_coefs[j] - 1), params.ac_scaling);
    }
    if (params.mclms_order > 0) {
        out.put(static_cast<uint32_t>(params.mclms_order / 2 - 1), 4);
        out.put(static_cast<uint32_t>(params.mclms_scaling), 4);
        out.put(state.mclms_sent ? 1 : 0, 1);
        if (state.mclms_sent) {
            // Width - 2, then the weights of the history and those of the lower channels'
            // current samples, channel by channel.
            const McLmsFilter& m = state.mclms;
            out.put(16 - 2, ceil_log2(static_cast<uint32_t>(params.mclms_scaling + 1)));
            for (int c = 0; c < channels_; ++c)
                for (int k = 0; k < m.order * channels_; ++k)
                    out.put_signed(m.coefs[c][k], 16);
            for (int c = 0; c < channels_; ++c)
                for (int j = 0; j < c; ++j)
                    out.put_signed(m.cross[c][j], 16);
        }
    }
    out.put(state.coefs_sent ? 1 : 0, 1);
    for (int c = 0; c < channels_; ++c) {
        out.put(static_cast<uint32_t>(params.lms_count - 1), 3);
        for (int f = 0; f < params.lms_count; ++f)
            out.put(static_cast<uint32_t>(params.lms_order[f] / 8 - 1), 7);
        for (int f = 0; f < params.lms_count; ++f)
            out.put(static_cast<uint32_t>(params.lms_scaling[f]), 4);
        if (!state.coefs_sent)
            continue;
        // Count - 1, width - 2, then the coefficients, newest tap first, at full precision.
        // A filter that starts afresh sends one zero; the decoder has cleared the rest.
        for (const LmsFilter<Hist>& filter : state.channel[c].lms) {
            const int count = carried(filter.scaling) ? filter.order : 1;
            out.put(static_cast<uint32_t>(count - 1),
                    ceil_log2(static_cast<uint32_t>(filter.order)));
            out.put(static_cast<uint32_t>(filter.scaling),
                    ceil_log2(static_cast<uint32_t>(filter.scaling + 1)));
            for (int j = 0; j < count; ++j)
                out.put_signed(filter.coefs[j], filter.scaling + 2);
        }
    }
    out.put(static_cast<uint32_t>(params.movave_scaling), 3);
    out.put(0, 8); // quantisation step 1
}

template <typename Hist>
void TileEncoder<Hist>::restart(State& state, const TileParams& params, bool carry) const {
    const TileParams& before = state.params;
    bool keep = carry && !state.channel.empty() &&
                state.channel[0].lms.size() == static_cast<size_t>(params.lms_count);
    bool any = false;
    for (int f = 0; keep && f < params.lms_count; ++f) {
        keep = before.lms_order[f] == params.lms_order[f] &&
               before.lms_scaling[f] == params.lms_scaling[f];
        any = any || carried(params.lms_scaling[f]);
    }
    const McLmsStart* start = params.mclms_start.get();
    const bool keep_mclms = carry && !start && params.mclms_order > 0 &&
                            params.mclms_scaling >= kLeastCarriedMclmsScaling &&
                            state.mclms.order == params.mclms_order &&
                            state.mclms.scaling == params.mclms_scaling &&
                            state.mclms.channels == channels_;
    state.params = params;
    state.coefs_sent = keep && any;
    state.mclms_sent = keep_mclms || start != nullptr;
    state.mclms_carried = keep_mclms;

    for (ChannelState& ch : state.channel) {
        ch.lms.resize(static_cast<size_t>(params.lms_count));
        for (int f = 0; f < params.lms_count; ++f) {
            LmsFilter<Hist>& filter = ch.lms[f];
            int16_t kept[kMaxLmsOrder];
            const bool keeps = state.coefs_sent && carried(filter.scaling);
            if (keeps)
                std::copy(filter.coefs, filter.coefs + filter.order, kept);
            filter.order = params.lms_order[f];
            filter.scaling = params.lms_scaling[f];
            filter.clear();
            if (keeps)
                std::copy(kept, kept + filter.order, filter.coefs);
        }
        for (int32_t& v : ch.ac_history)
            v = 0;
        ch.ave_sum = 0;
    }
    if (keep_mclms) {
        std::memset(state.mclms.window, 0, sizeof state.mclms.window);
    } else {
        state.mclms.clear(params.mclms_order, params.mclms_scaling, channels_);
        if (start) {
            for (int c = 0; c < channels_; ++c) {
                std::copy(start->coefs[c], start->coefs[c] + params.mclms_order * channels_,
                          state.mclms.coefs[c]);
                std::copy(start->cross[c], start->cross[c] + c, state.mclms.cross[c]);
            }
        }
    }
}

template <typename Hist>
uint64_t TileEncoder<Hist>::raw_bits(const int32_t* const* channels, int length, bool seekable,
                                     const TileParams& params, int* padding) const {
    uint32_t all = 0;
    for (int c = 0; c < channels_; ++c)
        for (int i = 0; i < length; ++i)
            all |= static_cast<uint32_t>(channels[c][i]);
    // Low bits that are zero in every sample need not be sent.
    int p = all == 0 ? bits_per_sample_ - 1 : __builtin_ctz(all);
    if (p > bits_per_sample_ - 1)
        p = bits_per_sample_ - 1;
    *padding = p;
    uint64_t bits = 3 + (p > 0 ? 5 : 0);
    if (seekable)
        bits += static_cast<uint64_t>(seekable_header_bits(params, channels_));
    return bits + static_cast<uint64_t>(channels_) * static_cast<uint64_t>(length) *
                      static_cast<uint64_t>(bits_per_sample_ - p);
}

template <typename Hist>
void TileEncoder<Hist>::write_raw(const int32_t* const* channels, int length, bool seekable,
                                  const TileParams& params, BitWriter& out) const {
    int p = 0;
    raw_bits(channels, length, seekable, params, &p);
    out.reset();
    out.put(seekable ? 1 : 0, 1);
    if (seekable) {
        State announced;
        announced.params = params;
        write_seekable_header(out, announced);
    }
    out.put(1, 1); // raw PCM
    if (p > 0) {
        out.put(1, 1);
        out.put(static_cast<uint32_t>(p), 5);
    } else {
        out.put(0, 1);
    }
    const int width = bits_per_sample_ - p;
    for (int c = 0; c < channels_; ++c)
        for (int i = 0; i < length; ++i)
            out.put_signed(channels[c][i] >> p, width);
}

template <typename Hist>
bool TileEncoder<Hist>::try_compressed(const int32_t* const* channels, int length, bool seekable,
                                       uint64_t limit_bits, BitWriter& out) {
    const TileParams& p = trial_.params;
    const bool inter_channel = uses_inter_channel(p, channels_);
    // Low bits that are zero throughout (16-bit audio in a 24-bit stream) are left out; the
    // decoder shifts them back in after all filters.
    const int shift = trial_.shift;
    for (int c = 0; c < channels_; ++c) {
        int32_t* w = work_[c].data();
        for (int i = 0; i < length; ++i)
            w[i] = channels[c][i] >> shift;
        if (p.ac_order > 0)
            apply_prefilter(w, length, p, trial_.channel[c].ac_history);
    }
    if (inter_channel) {
        int32_t* m = work_[0].data();
        int32_t* s = work_[1].data();
        for (int i = 0; i < length; ++i) {
            const int32_t side =
                static_cast<int32_t>(static_cast<uint32_t>(s[i]) - static_cast<uint32_t>(m[i]));
            m[i] = static_cast<int32_t>(static_cast<uint32_t>(m[i]) +
                                        static_cast<uint32_t>(side >> 1));
            s[i] = side;
        }
    }
    bool coded[kMaxChannels] = {};
    int32_t* signals[kMaxChannels];
    for (int c = 0; c < channels_; ++c) {
        const int32_t* w = work_[c].data();
        for (int i = 0; i < length && !coded[c]; ++i)
            coded[c] = w[i] != 0;
        signals[c] = work_[c].data();
    }
    const int first_bits = bits_per_sample_ + (inter_channel ? 1 : 0);
    if (seekable && trial_.mclms_sent &&
        !first_residues_fit(trial_.mclms, signals, coded, channels_, first_bits)) {
        trial_.mclms.clear(p.mclms_order, p.mclms_scaling, channels_);
        trial_.mclms_sent = false;
        trial_.mclms_carried = false;
    }

    out.reset();
    out.put(seekable ? 1 : 0, 1);
    uint64_t movave_at = 0;
    if (seekable) {
        write_seekable_header(out, trial_);
        movave_at = out.bit_count() - 11; // the speed, then 8 bits of quantisation step
    }
    out.put(0, 1); // not raw
    for (int c = 0; c < channels_; ++c)
        out.put(coded[c] ? 1 : 0, 1);
    if (shift > 0) {
        out.put(1, 1);
        out.put(static_cast<uint32_t>(shift), 5);
    } else {
        out.put(0, 1);
    }

    // After the header, which sends the multichannel stage's coefficients as they start.
    if (p.mclms_order > 0)
        trial_.mclms.encode(signals, coded, length, bits_per_sample_, mclms_scratch_);

    const int speed = seekable ? 16 : 8;
    LmsFilter<Hist>* filters[kMaxChannels];
    int32_t* coded_signals[kMaxChannels];
    int coded_count = 0;
    for (int c = 0; c < channels_; ++c) {
        if (!coded[c])
            continue;
        ChannelState& ch = trial_.channel[c];
        if (ch.update_speed != speed) {
            for (LmsFilter<Hist>& f : ch.lms)
                f.rescale_updates(speed == 16);
            ch.update_speed = speed;
        }
        filters[coded_count] = ch.lms.data();
        coded_signals[coded_count++] = work_[c].data();
    }
    lms_cascade_encode<Hist>(filters, coded_count, p.lms_count, coded_signals, length, speed,
                             bits_per_sample_);
    if (seekable && p.movave_fitted) {
        trial_.params.movave_scaling = fastest_good_speed(coded_signals, coded_count, length);
        out.overwrite(movave_at, static_cast<uint32_t>(p.movave_scaling), 3);
    }
    for (int c = 0; c < channels_; ++c) {
        if (!coded[c])
            continue;
        write_residues(out, work_[c].data(), length, seekable, bits_per_sample_, first_bits,
                       p.movave_scaling, trial_.channel[c].ave_sum);
        if (out.bit_count() >= limit_bits)
            return false;
    }
    return true;
}

// The Rice speed for a seekable tile that picks its own: of the speeds within a five-hundredth
// of the smallest count of bits on the first residues, the fastest. On steady sound the slower
// speeds differ by next to nothing, and when a transient comes later, a fast speed recovers
// from it sooner. (Counting all eight speeds costs more than coding the tile; a thousand
// residues tell them apart well enough.)
template <typename Hist>
int TileEncoder<Hist>::fastest_good_speed(int32_t* const* residues, int count, int length) const {
    constexpr int kCounted = 1024;
    uint64_t total[kMovaveSpeeds] = {};
    for (int c = 0; c < count; ++c) {
        RiceSpeeds speeds;
        speeds.start(residues[c], std::min(length, kCounted), bits_per_sample_);
        for (int m = 0; m < kMovaveSpeeds; ++m)
            total[m] += speeds.bits[m];
    }
    const uint64_t least = *std::min_element(total, total + kMovaveSpeeds);
    int best = 0;
    while (total[best] > least + least / 512)
        ++best;
    return best;
}

template <typename Hist>
bool TileEncoder<Hist>::encode(const int32_t* const* channels, int length, bool seekable,
                               const TileParams& params, BitWriter& out) {
    int padding = 0;
    const uint64_t raw = raw_bits(channels, length, seekable, params, &padding);
    auto attempt = [&](bool carry, uint64_t limit, BitWriter& into) {
        trial_ = state_;
        if (seekable)
            restart(trial_, params, carry);
        // A silent tile keeps the previous shift so that the filters' history keeps its scale.
        if (padding < bits_per_sample_ - 1)
            trial_.shift = padding;
        return try_compressed(channels, length, seekable, limit, into);
    };
    bool compressed = attempt(carry_allowed_, raw, out);
    if (seekable && (trial_.coefs_sent || trial_.mclms_carried)) {
        // Coefficients carried over suit sound that goes on as before; after a change,
        // starting afresh may code smaller.
        State carried = std::move(trial_);
        if (spare_bits_ < out.capacity_bits()) {
            spare_bits_ = out.capacity_bits();
            spare_.reserve_bits(spare_bits_);
        }
        const uint64_t limit = compressed ? out.bit_count() : raw;
        if (attempt(false, limit, spare_)) {
            std::swap(out, spare_);
            compressed = true;
        } else {
            trial_ = std::move(carried);
        }
    }
    if (compressed) {
        std::swap(state_, trial_);
        return true;
    }
    // A raw tile leaves the adaptive state alone, but a seekable one still restarts it.
    if (seekable)
        restart(state_, params, false);
    write_raw(channels, length, seekable, params, out);
    return false;
}

template class TileEncoder<int16_t>;
template class TileEncoder<int32_t>;

} // namespace wmal
