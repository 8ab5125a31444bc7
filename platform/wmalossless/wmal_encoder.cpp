#include "wmal_encoder.h"

#include <algorithm>
#include <vector>

#include "bit_writer.h"
#include "fixed_estimate.h"
#include "frame_assembler.h"
#include "mclms_design.h"
#include "packetizer.h"
#include "prefilter_design.h"
#include "stream_format.h"
#include "tile_encoder.h"
#include "tile_params.h"
#include "tuning.h"

namespace wmal {

const char* status_text(Status status) {
    switch (status) {
    case Status::ok:
        return "ok";
    case Status::invalid_settings:
        return "invalid encoder settings";
    case Status::not_configured:
        return "encoder not configured";
    case Status::finished:
        return "stream already flushed";
    case Status::invalid_samples:
        return "sample outside the stream's bit depth";
    case Status::sink_failed:
        return "packet sink failed";
    }
    return "unknown";
}

namespace {

// Frames that a seekable point's trial of the candidate coding tools covers.
constexpr int kTrialFrames = 4;

// Largest tile: a seekable raw tile with every sample at full width.
uint64_t max_tile_bits(const StreamFormat& format) {
    int header = 0;
    for (const TileParams& params : candidate_tile_params(format))
        header = std::max(header, seekable_header_bits(params, format.channels));
    return 3 + 5 + static_cast<uint64_t>(header) +
           static_cast<uint64_t>(format.channels) *
               static_cast<uint64_t>(format.samples_per_frame) *
               static_cast<uint64_t>(format.bits_per_sample);
}

bool settings_valid(const EncoderSettings& s) {
    if (s.sample_rate < 8000 || s.sample_rate > 96000)
        return false;
    if (s.channels < 1 || s.channels > kMaxChannels)
        return false;
    if (s.bits_per_sample != 16 && s.bits_per_sample != 24)
        return false;
    if (s.channel_mask != 0 && __builtin_popcount(s.channel_mask) != s.channels)
        return false;
    if (s.packet_size != 0 && (s.packet_size < kMinPacketSize || s.packet_size > kMaxPacketSize))
        return false;
    return s.seek_interval_ms > 0;
}

// Picks the longest preferred frame whose worst case still fits the length field and the
// decoder's frame buffer. Returns false when even the shortest frame does not fit.
bool choose_format(const EncoderSettings& s, StreamFormat& f) {
    f.sample_rate = s.sample_rate;
    f.channels = s.channels;
    f.bits_per_sample = s.bits_per_sample;
    f.channel_mask = s.channel_mask != 0 ? s.channel_mask : default_channel_mask(s.channels);
    f.packet_size = s.packet_size != 0 ? s.packet_size : kDefaultPacketSize;
    f.length_bits = length_field_bits(f.packet_size);
    const uint64_t limit =
        std::min<uint64_t>((uint64_t{1} << f.length_bits) - 1, uint64_t{8} * kMaxFrameBytes - 64);
    for (uint16_t code : preferred_frame_length_codes(s.sample_rate)) {
        f.decode_flags = static_cast<uint16_t>(kFlagReserved0 | kFlagLengthPrefix | (code << 1));
        f.samples_per_frame = frame_length_for_flags(s.sample_rate, f.decode_flags);
        f.skip_bits = floor_log2(static_cast<uint32_t>(2 * f.samples_per_frame));
        if (frame_overhead_bits(f) + max_tile_bits(f) <= limit)
            return true;
    }
    return false;
}

} // namespace

struct Encoder::Impl {
    EncoderSettings settings;
    StreamFormat format;
    std::vector<TileParams> candidates;
    size_t current = 0;       // the candidate in force
    std::vector<int> resting; // seekable points each candidate still sits out
    std::vector<int> losses;  // ... and how often in a row it has lost
    TileParams params;        // announced by the last seekable tile
    PacketSink sink;
    FrameObserver observer;
    Status sticky = Status::not_configured; // the error that stops the stream, if any
    bool configured = false;
    bool finished = false;

    std::unique_ptr<TileEncoderBase> tiles;
    // Tile encoders for trying coding choices on, kept from frame to frame (copy_of).
    std::vector<std::unique_ptr<TileEncoderBase>> spare_tiles;
    Packetizer packetizer;
    std::vector<BitWriter> chosen; // coded tiles of the frames about to be sent
    std::vector<BitWriter> trying; // ... of the candidate being tried
    BitWriter frame_bits;

    // Planar, kTrialFrames frames: `queued` complete frames, then `fill` samples of the next.
    std::vector<std::vector<int32_t>> pcm;
    int queued = 0;
    int fill = 0;
    uint8_t carry[kMaxChannels * 3] = {}; // a sample frame split between push_bytes calls
    int carry_bytes = 0;

    int64_t frame_index = 0;
    int64_t frames_since_seekable = 0;
    int64_t frames_since_choice = 0; // frames coded since the tools were last chosen
    // Whether they were picked for one frame by a restart (restart_if_cheaper) rather than by
    // a trial of several, and if so which: a fixed predictor, of quick_order, or one fitted to
    // the frame.
    enum class QuickTools { none, fixed, fitted } quick = QuickTools::none;
    int quick_order = 0;
    // How many frames each kind of quick restart still sits out, and how often in a row it
    // has lost.
    struct QuickRest {
        int frames = 0;
        int losses = 0;
    };
    QuickRest rests[3];
    // Frames between reconsiderations of tools picked for single frames: doubled, up to 16,
    // each time they win again against every candidate.
    int quick_interval = 8;
    uint64_t settled_bits = 0; // the bits of the last frame of that choice's trial
    uint64_t last_frame_bits = 0;
    int64_t seek_interval_frames = 1;
    int64_t samples_pushed = 0;
    int64_t bytes_written = 0;

    void frame_pointers(int frame, const int32_t** out) const;
    std::unique_ptr<TileEncoderBase> copy_of(const TileEncoderBase& from);
    void recycle(std::unique_ptr<TileEncoderBase>& tiles);
    bool choose_tools(int count, bool restart_due);
    bool fit_tools(TileParams& tools, int count) const;
    void fit_quick_prefilter(TileParams& tools) const;
    bool stage_signals(const TileParams& tools, int count);
    bool fit_staged(TileParams& tools);
    std::vector<std::vector<int32_t>> fit_work; // the frames as the multichannel stage sees them
    const int32_t* stage_view[kMaxChannels] = {};
    int staged_length = 0;
    bool choice_may_pay(uint64_t last_bits) const;
    bool restart_if_cheaper();
    Status encode_queued(int last_samples);
    Status send_frame(BitWriter& tile, int samples, bool seekable, bool seek_point);
    template <typename T> Status push_samples(const T* interleaved, size_t frames);
};

// A tile encoder in the state of `from`, to try a coding choice on.
std::unique_ptr<TileEncoderBase> Encoder::Impl::copy_of(const TileEncoderBase& from) {
    if (spare_tiles.empty())
        return from.clone();
    std::unique_ptr<TileEncoderBase> copy = std::move(spare_tiles.back());
    spare_tiles.pop_back();
    copy->copy_state(from);
    return copy;
}

// Keeps a tile encoder that is no longer needed for the next copy_of.
void Encoder::Impl::recycle(std::unique_ptr<TileEncoderBase>& done) {
    if (done)
        spare_tiles.push_back(std::move(done));
}

void Encoder::Impl::frame_pointers(int frame, const int32_t** out) const {
    const size_t offset =
        static_cast<size_t>(frame) * static_cast<size_t>(format.samples_per_frame);
    for (int c = 0; c < format.channels; ++c)
        out[c] = pcm[static_cast<size_t>(c)].data() + offset;
}

// Codes the first `count` queued frames with the candidate sets of tools, each from a restart
// (the first frame seekable) and from the same state, and keeps the cheapest in `chosen` and
// its state in `tiles`. When no restart is due, going on with the tools in force and their
// adapted state is one more option, tried first. Returns true when the choice restarts.
//
// The tools chosen here also code the frames up to the next seekable point. A candidate's
// cost is its trial bits plus those frames at the rate of its last trial frame: a candidate
// that adapts quickly wins the first frames, but what counts is where it settles. A
// candidate stops as soon as it cannot win any more, or when its projected cost trails the
// best by more than 3% after three frames: that far behind it has not been seen to catch up.
// A candidate that keeps losing sits out more and more choices, up to three in a row: on
// steady material the same tools keep winning, and trying the others every time cost a
// fifth of the encoder's time. When the sound has changed between seekable points, every
// candidate that has not lost four times in a row gets a trial, if a shorter one: what lost
// on the earlier sound says little about the new one.
bool Encoder::Impl::choose_tools(int count, bool restart_due) {
    constexpr int kLongestRest = 3;
    const int spf = format.samples_per_frame;
    const int64_t left =
        restart_due ? seek_interval_frames : seek_interval_frames - frames_since_seekable;
    const uint64_t after = static_cast<uint64_t>(std::max<int64_t>(0, left - count));
    auto projected = [&](const uint64_t* so_far, int i) {
        const uint64_t last = i > 0 ? so_far[i] - so_far[i - 1] : so_far[0];
        return so_far[i] + last * (after + static_cast<uint64_t>(count - 1 - i));
    };
    uint64_t best = UINT64_MAX;
    uint64_t best_projected[kTrialFrames] = {}; // the best option's projection after each frame
    uint64_t best_last = 0;                     // ... and its last frame's bits
    std::unique_ptr<TileEncoderBase> best_tiles;
    TileParams best_tools = params;
    size_t winner = current;
    bool restart = true;
    bool quick_won = false;
    const int32_t* channels[kMaxChannels];
    // Option -1 goes on without a restart; options 0.. restart with a candidate, and while
    // tools picked for single frames are in force (restart_if_cheaper), the last restarts with
    // those again, refitted to the first frame where they were.
    const int first = restart_due ? 0 : -1;
    const int quick_option = static_cast<int>(candidates.size());
    const int options = quick_option + (quick != QuickTools::none ? 1 : 0);
    for (int n = first; n < options; ++n) {
        const bool restarts = n >= 0;
        const bool requick = n == quick_option;
        const size_t k =
            restarts && !requick ? (current + static_cast<size_t>(n)) % candidates.size() : current;
        if (!requick && n > 0 && restart_due && resting[k] > 0) {
            --resting[k];
            continue;
        }
        // Between seekable points a candidate that has lost four times in a row sits out too:
        // on sound that changes often (bursts) those choices come every few frames.
        if (!requick && n > 0 && !restart_due && resting[k] > 0 && losses[k] >= 4)
            continue;
        // A candidate that would have sat out gets a shorter chance; so does one that lost its
        // last two trials, at a seekable point, unless it is one that must win by a clear lead
        // (it may trail early and win later: tones).
        const bool woken = !requick && n > 0 && resting[k] > 0;
        const bool short_trial = restart_due && restarts && !requick &&
                                 !candidates[k].needs_clear_lead && losses[k] >= 2;
        TileParams tools = restarts && !requick ? candidates[k] : params;
        if (restarts && tools.ac_fitted && !fit_tools(tools, count))
            continue;
        if (requick && quick == QuickTools::fitted &&
            !(fit_quick_prefilter(tools), stage_signals(tools, 1) && fit_staged(tools)))
            continue;
        std::unique_ptr<TileEncoderBase> trial = copy_of(*tiles);
        // After a change of sound the weights reached before it are of little use.
        trial->allow_carry(restart_due);
        uint64_t so_far[kTrialFrames] = {};
        uint64_t cost[kTrialFrames] = {};
        uint64_t total = UINT64_MAX;
        for (int i = 0; i < count; ++i) {
            frame_pointers(i, channels);
            BitWriter& out = trying[static_cast<size_t>(i)];
            trial->encode(channels, spf, restarts && i == 0, tools, out);
            so_far[i] = (i > 0 ? so_far[i - 1] : 0) + out.bit_count();
            cost[i] = projected(so_far, i);
            if (so_far[i] >= best)
                break;
            if (best_tiles && i >= (woken || short_trial ? 1 : 2) &&
                cost[i] > best_projected[i] + best_projected[i] / 32)
                break;
            if (i == count - 1)
                total = cost[i];
        }
        if (restarts && !requick) {
            losses[k] = total < best ? 0 : losses[k] + 1;
            resting[k] = std::clamp(losses[k] - 1, 0, kLongestRest);
        }
        // Tools that adapt fast win short trials on sound they do not suit; they must win
        // by a thirty-second. (A trial cut short has no total.)
        const uint64_t lead = tools.needs_clear_lead && best != UINT64_MAX ? best / 32 : 0;
        if (total < best && total + lead < best) {
            best = total;
            std::copy(cost, cost + kTrialFrames, best_projected);
            best_last = so_far[count - 1] - (count > 1 ? so_far[count - 2] : 0);
            recycle(best_tiles);
            best_tiles = std::move(trial);
            std::swap(chosen, trying);
            winner = k;
            best_tools = tools;
            restart = restarts;
            quick_won = requick || (!restarts && quick != QuickTools::none);
        }
        recycle(trial);
    }
    if (!best_tiles) {
        // Every option was skipped (a fit that failed where nothing else was due a trial):
        // the first candidate, which needs no fit, restarts.
        winner = 0;
        best_tools = candidates.front();
        restart = true;
        best_tiles = copy_of(*tiles);
        for (int i = 0; i < count; ++i) {
            frame_pointers(i, channels);
            best_tiles->encode(channels, spf, i == 0, best_tools, chosen[static_cast<size_t>(i)]);
        }
    }
    current = winner;
    params = best_tools;
    recycle(tiles);
    tiles = std::move(best_tiles);
    frames_since_choice = 0;
    quick_interval = quick_won ? std::min(2 * quick_interval, 16) : 8;
    if (!quick_won)
        quick = QuickTools::none;
    settled_bits = best_last;
    return restart;
}

// Fits the pre-filter of `tools` to the first `count` queued frames. Returns false, and the
// tools are not worth a trial, unless the fitted filter leaves far less energy than the
// classic pre-emphasis: on most sound the two do about as well, and the fixed one comes with
// tools tuned for it; on tones the fit removes hundreds of times more.
bool Encoder::Impl::fit_tools(TileParams& tools, int count) const {
    // Headroom of one bit: the filter stays in force until the next seekable point, and
    // louder sound after the frames it was fitted to must not overflow its sums.
    constexpr int kHeadroomBits = 1;
    constexpr double kLeastGain = 8;
    const int32_t* channels[kMaxChannels];
    frame_pointers(0, channels);
    return fit_prefilter(channels, format.channels, count * format.samples_per_frame,
                         tools.ac_order, kHeadroomBits, kLeastGain, tools);
}

// Gives the tools with a fitted multichannel stage, on 24-bit streams, a pre-filter of up to two
// taps fitted to the first queued frame, wherever it leaves less energy than none. That stage
// adapts by one unit of its scaling per sample, and a loud 24-bit signal allows only coarse
// scalings: it then jitters by far more than a fitted predictor would leave. The fixed
// pre-filter does not adapt; whatever level it takes off lets the stage use a finer scaling.
// (On 16-bit streams the stage reaches its finest scaling anyway.)
void Encoder::Impl::fit_quick_prefilter(TileParams& tools) const {
    constexpr int kOrder = 2;
    constexpr int kHeadroomBits = 1;
    tools.ac_order = 0;
    if (format.bits_per_sample <= 16)
        return;
    const int32_t* channels[kMaxChannels];
    frame_pointers(0, channels);
    fit_prefilter(channels, format.channels, format.samples_per_frame, kOrder, kHeadroomBits, 0.0,
                  tools);
}

// Puts the first `count` queued frames into `stage_view` as the multichannel stage of `tools`
// will see them: without the low bits that are zero throughout, through the pre-filter (from a
// restart), after mid/side. Returns false when they are silent.
bool Encoder::Impl::stage_signals(const TileParams& tools, int count) {
    const int length = count * format.samples_per_frame;
    const int channels = format.channels;
    fit_work.resize(static_cast<size_t>(channels));
    uint32_t all = 0;
    for (int c = 0; c < channels; ++c)
        for (int i = 0; i < length; ++i)
            all |= static_cast<uint32_t>(pcm[static_cast<size_t>(c)][static_cast<size_t>(i)]);
    if (all == 0)
        return false;
    const int shift = std::min(__builtin_ctz(all), format.bits_per_sample - 1);
    for (int c = 0; c < channels; ++c) {
        std::vector<int32_t>& w = fit_work[static_cast<size_t>(c)];
        w.resize(static_cast<size_t>(length));
        for (int i = 0; i < length; ++i)
            w[static_cast<size_t>(i)] =
                pcm[static_cast<size_t>(c)][static_cast<size_t>(i)] >> shift;
        if (tools.ac_order > 0) {
            int32_t history[kMaxAcOrder] = {};
            apply_prefilter(w.data(), length, tools, history);
        }
        stage_view[c] = w.data();
    }
    if (tools.inter_channel && channels == 2) {
        for (int i = 0; i < length; ++i) {
            int32_t& m = fit_work[0][static_cast<size_t>(i)];
            int32_t& side = fit_work[1][static_cast<size_t>(i)];
            side -= m;
            m += side >> 1;
        }
    }
    staged_length = length;
    return true;
}

// Fits the multichannel stage of `tools` to the signals in `stage_view`. Returns false when no
// fit can be sent.
bool Encoder::Impl::fit_staged(TileParams& tools) {
    constexpr int kHeadroomBits = 0;
    auto start = std::make_shared<McLmsStart>();
    if (!fit_mclms(stage_view, format.channels, staged_length, tools.mclms_order, kHeadroomBits,
                   *start) ||
        start->scaling < kLeastCarriedMclmsScaling)
        return false;
    tools.mclms_scaling = start->scaling;
    tools.mclms_start = std::move(start);
    return true;
}

// Between seekable points the signal may change so much that other tools, or the same ones
// adapted afresh, would do better. Trying them costs time, so the encoder tries only when a
// frame costs a quarter more or a fifth less than the tools settled at when last chosen,
// and not too often: 24-bit frames, whose tools lose more by lagging behind the sound,
// every 8 frames at most, 16-bit ones every 16.
bool Encoder::Impl::choice_may_pay(uint64_t last_bits) const {
    // A fixed predictor picked for one frame is reconsidered as soon as the sound changes,
    // and every eight frames anyway (less often while it keeps winning): the adaptive tools
    // it replaced need a trial of several frames to show what they can do.
    if (quick != QuickTools::none)
        return frames_since_choice >= quick_interval || 4 * last_bits > 5 * settled_bits ||
               5 * last_bits < 4 * settled_bits;
    const int64_t fewest_frames_between = format.bits_per_sample > 16 ? 8 : 16;
    return frames_since_choice >= fewest_frames_between &&
           (4 * last_bits > 5 * settled_bits || 5 * last_bits < 4 * settled_bits);
}

// With the first queued frame coded in `chosen[0]` by the tools in force, sees whether a
// restart (a seekable tile) codes it smaller, and keeps the restart if so. Two restarts are
// weighed, each only where it may win:
//  - a fixed predictor of order 0 or 1 with plain Rice coding, as block coders code noise,
//    silence and quiet sound, when a quick estimate of that is near what the frame cost;
//  - while tools with a fitted multichannel stage are in force and the frames have come to
//    cost more than when they were fitted, the same tools fitted afresh.
// A restart loses what the tools in force have adapted to, and the frames after it pay for
// that; so where a next frame is queued, a restart must also win the two frames together.
// Returns true when the frame now restarts.
bool Encoder::Impl::restart_if_cheaper() {
    const int spf = format.samples_per_frame;
    const int32_t* frame[kMaxChannels];
    const int32_t* next[kMaxChannels];
    frame_pointers(0, frame);
    frame_pointers(1, next);
    // (Tools picked for single frames have adapted to little that a restart could lose.)
    const bool look_ahead = queued > 1 && quick == QuickTools::none;
    uint64_t best = chosen[0].bit_count();
    uint64_t best_pair = 0; // with the next frame, once that has been coded going on
    QuickTools kind = quick;
    // A restart away from adaptive tools must win by a clear lead: they may just be going
    // through a bad patch that a frame or two more would have shown them out of.
    const uint64_t lead = quick == QuickTools::none ? best / 64 : 0;
    // Tries a restart with `tools`; one that loses sits out more and more frames after, up to
    // sixty-four, as it has lost more often in a row: on music neither kind wins for minutes,
    // and every try costs a fit or a frame coded twice.
    auto attempt = [&](const TileParams& tools, QuickTools tools_kind) {
        QuickRest& rest = rests[static_cast<int>(tools_kind)];
        auto lost = [&] {
            rest.losses = std::min(rest.losses + 1, 6);
            rest.frames = (1 << rest.losses) - 1;
        };
        std::unique_ptr<TileEncoderBase> trial = copy_of(*tiles);
        trial->allow_carry(false);
        trial->encode(frame, spf, true, tools, trying[0]);
        const uint64_t first = trying[0].bit_count();
        if (first + lead >= best) {
            recycle(trial);
            return lost();
        }
        if (look_ahead) {
            if (best_pair == 0) {
                std::unique_ptr<TileEncoderBase> going_on = copy_of(*tiles);
                going_on->encode(next, spf, false, params, trying[1]);
                best_pair = best + trying[1].bit_count();
                recycle(going_on);
            }
            std::unique_ptr<TileEncoderBase> after = copy_of(*trial);
            after->encode(next, spf, false, tools, trying[1]);
            const uint64_t pair = first + trying[1].bit_count();
            recycle(after);
            if (pair + lead >= best_pair) {
                recycle(trial);
                return lost();
            }
            best_pair = pair;
        }
        rest.losses = 0;
        best = first;
        std::swap(chosen[0], trying[0]);
        recycle(tiles);
        tiles = std::move(trial);
        params = tools;
        kind = tools_kind;
    };
    auto resting = [&](QuickTools tools_kind) {
        QuickRest& rest = rests[static_cast<int>(tools_kind)];
        if (rest.frames == 0)
            return false;
        --rest.frames;
        return true;
    };
    const uint64_t going_on = best;
    const FixedEstimate fixed = estimate_fixed(frame, format.channels, spf);
    // (Restarting the fixed predictor in force would only reset the Rice coder.)
    const bool in_force = quick == QuickTools::fixed && fixed.order == quick_order &&
                          fixed.mid_side == params.inter_channel;
    if (!in_force && fixed.bits < going_on + going_on / 16 && !resting(QuickTools::fixed))
        attempt(fixed_tools(format, fixed.order, fixed.mid_side), QuickTools::fixed);
    // Sound that a fixed predictor of low order nearly codes as well as the tools in force
    // (noise, quiet passages) may have a spectral shape that a fitted one captures: the
    // multichannel stage with weights fitted to this frame alone, as a block coder fits its
    // predictor to each block; refitted when the frames have come to cost more than when it
    // was fitted.
    const bool fitted_in_force = quick == QuickTools::fitted;
    if ((fitted_in_force ? going_on > settled_bits + settled_bits / 16
                         : fixed.bits < going_on + going_on / 4) &&
        !resting(QuickTools::fitted)) {
        TileParams lpc = fitted_tools(format, fixed.mid_side);
        fit_quick_prefilter(lpc);
        if (stage_signals(lpc, 1) &&
            (fitted_in_force || predictor_bits(stage_view, format.channels, spf, lpc.mclms_order) <
                                    going_on + going_on / 32) &&
            fit_staged(lpc))
            attempt(lpc, QuickTools::fitted);
    }
    if (best == going_on)
        return false;
    frames_since_choice = 0;
    if (quick != kind)
        quick_interval = 8;
    quick = kind;
    quick_order = fixed.order;
    settled_bits = best;
    return true;
}

// Codes the first queued frame, or when the tools are chosen all queued frames
// (choose_tools). The last queued frame holds `last_samples` samples, the others a whole frame.
Status Encoder::Impl::encode_queued(int last_samples) {
    const int spf = format.samples_per_frame;
    // Only a seekable frame that is the first frame to begin in its packet makes a seekable
    // point: a decoder that starts at that packet drops frames that need earlier state, and
    // with them the rest of the packet. Restarts elsewhere just restart.
    const bool leads = packetizer.next_frame_leads_packet();
    const bool due = frame_index == 0 || (frames_since_seekable >= seek_interval_frames && leads);
    bool seekable = due;
    const int32_t* channels[kMaxChannels];
    int count = 1;
    if (candidates.size() > 1 &&
        (due || ((leads || quick != QuickTools::none) && queued == kTrialFrames &&
                 choice_may_pay(last_frame_bits)))) {
        count = queued;
        seekable = choose_tools(count, due);
    } else {
        if (seekable)
            params = candidates.front();
        frame_pointers(0, channels);
        tiles->encode(channels, spf, seekable, params, chosen[0]);
        if (!seekable && candidates.size() > 1)
            seekable = restart_if_cheaper();
    }
    for (int i = 0; i < count; ++i) {
        const int samples = i == queued - 1 ? last_samples : spf;
        if (const Status s = send_frame(chosen[static_cast<size_t>(i)], samples, seekable && i == 0,
                                        seekable && i == 0 && leads);
            s != Status::ok)
            return s;
    }
    // Move the frames not yet coded to the front.
    for (auto& ch : pcm)
        std::copy(ch.begin() + static_cast<long>(count) * spf, ch.end(), ch.begin());
    queued -= count;
    return Status::ok;
}

Status Encoder::Impl::send_frame(BitWriter& tile, int samples, bool seekable, bool seek_point) {
    frames_since_seekable = seek_point ? 1 : frames_since_seekable + 1;
    const uint64_t tile_length = tile.bit_count();
    ++frames_since_choice;
    last_frame_bits = tile_length;
    tile.finish();
    uint64_t bits = assemble_frame(frame_bits, format, tile.data(), tile_length, samples, false);
    if (packetizer.ends_on_later_boundary(bits))
        bits = assemble_frame(frame_bits, format, tile.data(), tile_length, samples, true);
    frame_bits.finish();
    if (observer)
        observer(frame_index * format.samples_per_frame, samples, bits);
    ++frame_index;
    if (!packetizer.add_frame(frame_bits.data(), bits, samples, seekable))
        return sticky = Status::sink_failed;
    return Status::ok;
}

template <typename T> Status Encoder::Impl::push_samples(const T* interleaved, size_t frames) {
    const int channels = format.channels;
    const int spf = format.samples_per_frame;
    size_t done = 0;
    while (done < frames) {
        const size_t take = std::min(frames - done, static_cast<size_t>(spf - fill));
        const T* src = interleaved + done * static_cast<size_t>(channels);
        for (int c = 0; c < channels; ++c) {
            int32_t* dst = pcm[static_cast<size_t>(c)].data() +
                           static_cast<size_t>(queued) * static_cast<size_t>(spf) +
                           static_cast<size_t>(fill);
            for (size_t i = 0; i < take; ++i) {
                dst[i] = src[i * static_cast<size_t>(channels) + static_cast<size_t>(c)];
            }
        }
        fill += static_cast<int>(take);
        done += take;
        samples_pushed += static_cast<int64_t>(take);
        if (fill == spf) {
            fill = 0;
            if (++queued == kTrialFrames) {
                if (const Status status = encode_queued(spf); status != Status::ok)
                    return status;
            }
        }
    }
    return Status::ok;
}

Encoder::Encoder() : impl_(std::make_unique<Impl>()) {}
Encoder::~Encoder() = default;

Status Encoder::configure(const EncoderSettings& settings, PacketSink sink) {
    auto impl = std::make_unique<Impl>();
    impl->observer = std::move(impl_->observer);
    if (!sink || !settings_valid(settings) || !choose_format(settings, impl->format)) {
        impl_ = std::move(impl);
        return Status::invalid_settings;
    }
    Impl& m = *impl;
    m.settings = settings;
    m.sink = std::move(sink);
    m.candidates = candidate_tile_params(m.format);
    m.params = m.candidates.front();
    m.resting.assign(m.candidates.size(), 0);
    m.losses.assign(m.candidates.size(), 0);
    const StreamFormat& f = m.format;
    if (f.bits_per_sample == 16)
        m.tiles = std::make_unique<TileEncoder<int16_t>>(f.channels, 16, f.samples_per_frame);
    else
        m.tiles = std::make_unique<TileEncoder<int32_t>>(f.channels, 24, f.samples_per_frame);
    // Worst case of a tile that tries prediction: every residue escaped at full width.
    const uint64_t tile_capacity =
        max_tile_bits(f) +
        static_cast<uint64_t>(f.channels) * static_cast<uint64_t>(f.samples_per_frame) * 128;
    m.chosen.resize(kTrialFrames);
    m.trying.resize(m.candidates.size() > 1 ? kTrialFrames : 0);
    for (BitWriter& w : m.chosen)
        w.reserve_bits(tile_capacity);
    for (BitWriter& w : m.trying)
        w.reserve_bits(tile_capacity);
    m.frame_bits.reserve_bits(frame_overhead_bits(f) + max_tile_bits(f));
    m.pcm.assign(static_cast<size_t>(f.channels),
                 std::vector<int32_t>(static_cast<size_t>(kTrialFrames * f.samples_per_frame)));
    const int64_t interval_samples =
        static_cast<int64_t>(settings.seek_interval_ms) * f.sample_rate / 1000;
    m.seek_interval_frames = std::max<int64_t>(1, interval_samples / f.samples_per_frame);
    Impl* self = &m;
    m.packetizer.configure(f.packet_size, f.length_bits, [self](const PacketView& view) {
        Packet packet;
        packet.data = view.data;
        packet.size = static_cast<size_t>(view.size);
        packet.timestamp = view.timestamp;
        packet.duration = view.duration;
        packet.seekable = view.seekable;
        self->bytes_written += view.size;
        return self->sink(packet);
    });
    m.configured = true;
    m.sticky = Status::ok;
    impl_ = std::move(impl);
    return Status::ok;
}

void Encoder::observe_frames(FrameObserver observer) {
    impl_->observer = std::move(observer);
}

Status Encoder::push(const int16_t* interleaved, size_t frames) {
    Impl& m = *impl_;
    if (m.sticky != Status::ok)
        return m.sticky;
    if (m.finished)
        return Status::finished;
    if (m.format.bits_per_sample != 16 || m.carry_bytes != 0)
        return Status::invalid_samples;
    return m.push_samples(interleaved, frames);
}

Status Encoder::push(const int32_t* interleaved, size_t frames) {
    Impl& m = *impl_;
    if (m.sticky != Status::ok)
        return m.sticky;
    if (m.finished)
        return Status::finished;
    if (m.carry_bytes != 0)
        return Status::invalid_samples;
    // Checked before anything is taken, so a refused call leaves the stream unchanged.
    const int32_t lo = -(int32_t{1} << (m.format.bits_per_sample - 1));
    const int32_t hi = (int32_t{1} << (m.format.bits_per_sample - 1)) - 1;
    const size_t count = frames * static_cast<size_t>(m.format.channels);
    for (size_t i = 0; i < count; ++i)
        if (interleaved[i] < lo || interleaved[i] > hi)
            return Status::invalid_samples;
    return m.push_samples(interleaved, frames);
}

Status Encoder::push_bytes(const void* data, size_t bytes) {
    Impl& m = *impl_;
    if (m.sticky != Status::ok)
        return m.sticky;
    if (m.finished)
        return Status::finished;
    const int width = m.format.bits_per_sample / 8;
    const size_t frame_bytes = static_cast<size_t>(width * m.format.channels);
    const uint8_t* src = static_cast<const uint8_t*>(data);
    int32_t block[256 * kMaxChannels];
    auto decode = [&](const uint8_t* p, size_t frames) {
        const size_t n = frames * static_cast<size_t>(m.format.channels);
        for (size_t i = 0; i < n; ++i, p += width) {
            if (width == 2)
                block[i] = static_cast<int16_t>(p[0] | (p[1] << 8));
            else
                block[i] = static_cast<int32_t>(
                               static_cast<uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16)) << 8) >>
                           8;
        }
        return m.push_samples(block, frames);
    };
    // Complete a sample frame left over from the previous call.
    if (m.carry_bytes > 0) {
        const size_t need = std::min(frame_bytes - static_cast<size_t>(m.carry_bytes), bytes);
        std::copy(src, src + need, m.carry + m.carry_bytes);
        m.carry_bytes += static_cast<int>(need);
        src += need;
        bytes -= need;
        if (static_cast<size_t>(m.carry_bytes) < frame_bytes)
            return Status::ok;
        m.carry_bytes = 0;
        if (const Status s = decode(m.carry, 1); s != Status::ok)
            return s;
    }
    while (bytes >= frame_bytes) {
        const size_t frames = std::min<size_t>(bytes / frame_bytes, 256);
        if (const Status s = decode(src, frames); s != Status::ok)
            return s;
        src += frames * frame_bytes;
        bytes -= frames * frame_bytes;
    }
    std::copy(src, src + bytes, m.carry);
    m.carry_bytes = static_cast<int>(bytes);
    return Status::ok;
}

Status Encoder::flush() {
    Impl& m = *impl_;
    if (m.sticky != Status::ok)
        return m.sticky;
    if (m.finished)
        return Status::ok;
    m.finished = true;
    int last_samples = m.format.samples_per_frame;
    if (m.fill > 0) {
        // Repeat the last sample: a flat tail is cheapest to predict and is dropped anyway.
        last_samples = m.fill;
        for (auto& ch : m.pcm) {
            const auto begin =
                ch.begin() + static_cast<long>(m.queued) * m.format.samples_per_frame;
            std::fill(begin + m.fill, begin + m.format.samples_per_frame, begin[m.fill - 1]);
        }
        m.fill = 0;
        ++m.queued;
    }
    while (m.queued > 0)
        if (const Status s = m.encode_queued(last_samples); s != Status::ok)
            return s;
    // Enough one-bits that a decoder reading them as a frame finds an impossible end skip.
    const uint64_t tail = static_cast<uint64_t>(m.format.length_bits) + 4 +
                          2 * static_cast<uint64_t>(m.format.skip_bits) + 16;
    if (!m.packetizer.finish(tail))
        return m.sticky = Status::sink_failed;
    return Status::ok;
}

std::array<uint8_t, 18> Encoder::codec_data() const {
    return make_codec_data(impl_->format);
}
int Encoder::packet_size() const {
    return impl_->format.packet_size;
}
int Encoder::frame_size() const {
    return impl_->format.samples_per_frame;
}
int64_t Encoder::samples_pushed() const {
    return impl_->samples_pushed;
}
int64_t Encoder::bytes_written() const {
    return impl_->bytes_written;
}

int64_t Encoder::bit_rate() const {
    const Impl& m = *impl_;
    const StreamFormat& f = m.format;
    if (m.bytes_written > 0 && m.samples_pushed > 0)
        return m.bytes_written * 8 * f.sample_rate / m.samples_pushed;
    // About half the PCM rate is typical for music.
    return static_cast<int64_t>(f.sample_rate) * f.channels * f.bits_per_sample / 2;
}

} // namespace wmal
