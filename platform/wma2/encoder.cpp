#include "encoder.h"

#include "block_switching.h"
#include "frame_coder.h"
#include "packetizer.h"
#include "rate_control.h"
#include "stream_params.h"
#include "tuning.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace wma2 {
namespace {

constexpr int kMaxPacketBytes = 16384;
constexpr int kDefaultFramesPerPacket = 8;
constexpr float kSampleScale = 32768.0F; // the transform works in 16-bit units
// With noise coding the decoder adds a fiftieth of the step at every coded position:
// steps far above the mask would be heard as noise.
constexpr int kMaxNoiseCodingOffset = 20;

std::int64_t DeclaredBitRate(std::int64_t bit_rate) {
    return bit_rate / 8 * 8;
}

double FrameBytes(const EncoderSettings& settings, int frame_len) {
    return static_cast<double>(DeclaredBitRate(settings.bit_rate)) * frame_len /
           (8.0 * settings.sample_rate);
}

int ChoosePacketBytes(const EncoderSettings& settings, int frame_len) {
    const double frame = FrameBytes(settings, frame_len);
    const int smallest = static_cast<int>(std::ceil(frame)) + 4;
    int wanted = settings.packet_bytes;
    if (wanted == 0) {
        wanted = static_cast<int>(std::lround(frame * kDefaultFramesPerPacket));
    }
    return std::clamp(wanted, std::min(smallest, kMaxPacketBytes), kMaxPacketBytes);
}

// Bits of payload per frame that keep the packets at the declared bit rate.
double FrameBudget(const EncoderSettings& settings, int frame_len, const Packetizer& packetizer) {
    return static_cast<double>(packetizer.payload_bits()) * FrameBytes(settings, frame_len) /
           packetizer.packet_bytes();
}

// The reservoir's size: what the tuning asks for, but no more than a packet's payload.
// What is saved when the stream ends goes into its last frames, and a frame reaches at
// most about a packet past its own start: with small packets a larger reservoir would
// leave the stream short.
double ReservoirBits(const EncoderSettings& settings, int frame_len, const Packetizer& packetizer,
                     const EncoderTuning& tuning) {
    return std::min(tuning.reservoir_frames * FrameBudget(settings, frame_len, packetizer),
                    static_cast<double>(packetizer.payload_bits()));
}

} // namespace

std::string SettingsProblem(const EncoderSettings& settings) {
    std::string problem =
        TargetProblem(settings.sample_rate, settings.channels, DeclaredBitRate(settings.bit_rate));
    if (!problem.empty()) {
        return problem;
    }
    if (settings.packet_bytes < 0) {
        return "the packet size cannot be negative";
    }
    // A packet holds the ends of at most 15 frames, 14 of them whole: packets of more
    // frames' worth than that could not be filled without breaking the bit rate.
    const int frame_len = DeriveStreamParams(settings.sample_rate, settings.channels,
                                             DeclaredBitRate(settings.bit_rate))
                              .frame_len;
    const double frame_bytes = FrameBytes(settings, frame_len);
    const int packet_bytes = ChoosePacketBytes(settings, frame_len);
    if (packet_bytes > kMaxWholeFramesInPacket * frame_bytes) {
        char line[300];
        std::snprintf(line, sizeof line,
                      "packets of %d bytes hold %.1f frames at %lld b/s, more than the %d that "
                      "Windows Media Audio 2 allows: at most %d bytes per packet",
                      packet_bytes, packet_bytes / frame_bytes,
                      static_cast<long long>(DeclaredBitRate(settings.bit_rate)),
                      kMaxWholeFramesInPacket,
                      static_cast<int>(std::floor(kMaxWholeFramesInPacket * frame_bytes)));
        return line;
    }
    return {};
}

// Where a frame should end relative to the packet it starts in.
// kStayInPacket: end in the packet the frame starts in; kReachNextPacket: end in a later one.
enum class PacketGoal { kNone, kStayInPacket, kReachNextPacket };

struct Encoder::Impl {
    Impl(const EncoderSettings& settings, PacketSink packet_sink, const EncoderTuning& tunes)
        : tuning(tunes), params(DeriveStreamParams(settings.sample_rate, settings.channels,
                                                   DeclaredBitRate(settings.bit_rate))),
          packet_bytes(ChoosePacketBytes(settings, params.frame_len)), sink(std::move(packet_sink)),
          coder(params, tuning), planner(params, tuning), packetizer(params, packet_bytes),
          rate(FrameBudget(settings, params.frame_len, packetizer),
               ReservoirBits(settings, params.frame_len, packetizer, tuning),
               params.noise_coding ? kMaxNoiseCodingOffset : RateControl::kMaxOffset,
               tuning.proportional_db, tuning.integral) {
        const int frame_len = params.frame_len;
        for (int ch = 0; ch < params.channels; ++ch) {
            // The decoder drops its first two frames of output: the input starts at 2F.
            signal[ch].assign(static_cast<std::size_t>(2 * frame_len), 0.0F);
        }
    }

    // Codes every frame whose samples are all there.
    Status CodeReadyFrames() {
        const std::int64_t frame_len = params.frame_len;
        while (buffer_start + static_cast<std::int64_t>(signal[0].size()) >=
               (next_frame + 3) * frame_len) {
            const Status status = CodeFrame();
            if (status != Status::kOk) {
                return status;
            }
        }
        return Status::kOk;
    }

    // `frames_left`: the frames still to code, this one included, once the end is known.
    Status CodeFrame(int frames_left = 0, PacketGoal goal = PacketGoal::kNone) {
        const bool last = frames_left == 1;
        const int frame_len = params.frame_len;
        FrameRequest request;
        const std::int64_t start = next_frame * frame_len - buffer_start;
        for (int ch = 0; ch < params.channels; ++ch) {
            request.signal[ch] = signal[ch].data() + start;
        }
        request.blocks = blocks;
        request.prev_k = prev_k;
        if (last) {
            request.next_k = params.block_sizes - 1;
        } else {
            std::array<const float*, 2> ahead{};
            for (int ch = 0; ch < params.channels; ++ch) {
                ahead[ch] = request.signal[ch] + frame_len;
            }
            planner.Plan(ahead, static_cast<float>(rate.reference_offset()), next_blocks);
            request.next_k = next_blocks.front();
        }
        const FrameSlot slot = packetizer.NextSlot();
        request.explicit_sizes = slot.explicit_sizes;
        coder.Analyse(request, static_cast<float>(rate.reference_offset()));
        const FrameBounds packet_bounds = GoalBounds(slot, goal);
        const FrameBounds bounds = rate.Bounds(packet_bounds, frames_left);
        const int gain_offset = rate.ChooseOffset(
            [this](int o) { return coder.Bits(coder.Quantise(o)); }, bounds, coder.silent());
        BitWriter frame;
        const std::uint64_t bits =
            coder.Write(gain_offset, bounds.min_bits, bounds.max_bits, frame);
        // Filler for a packet goal is the stream's framing, not the frame's share: the
        // reservoir books no more than it would have allowed.
        rate.Spend(
            goal == PacketGoal::kNone
                ? bits
                : std::min(bits,
                           rate.Bounds({slot.min_bits, slot.max_bits}, frames_left).max_bits));
        prev_k = request.blocks.back();
        blocks.swap(next_blocks);

        if (frame.size() < slot.min_bits || frame.size() > slot.max_bits) {
            return Status::kInternalError;
        }
        std::vector<CodedPacket> packets;
        packetizer.AddFrame(frame, packets);
        ++next_frame;
        if (last) {
            packetizer.Finish(packets);
        }
        const Status status = Deliver(packets, last);
        // Samples before the next frame are no longer needed. They go once they are half of
        // the buffer, so that a long push is not moved along once per frame.
        const std::int64_t drop = next_frame * frame_len - buffer_start;
        if (2 * drop >= static_cast<std::int64_t>(signal[0].size())) {
            for (int ch = 0; ch < params.channels; ++ch) {
                signal[ch].erase(signal[ch].begin(), signal[ch].begin() + drop);
            }
            buffer_start += drop;
        }
        return status;
    }

    // The packet bounds a frame keeps to its goal with.
    static FrameBounds GoalBounds(const FrameSlot& slot, PacketGoal goal) {
        FrameBounds bounds{slot.min_bits, slot.max_bits};
        if (goal == PacketGoal::kReachNextPacket) {
            bounds.min_bits = std::clamp(slot.room_in_packet + 1, slot.min_bits, slot.max_bits);
        } else if (goal == PacketGoal::kStayInPacket) {
            bounds.max_bits = std::clamp(slot.room_in_packet, slot.min_bits, slot.max_bits);
        }
        return bounds;
    }

    Status Deliver(const std::vector<CodedPacket>& packets, bool last) {
        const std::int64_t frame_len = params.frame_len;
        for (std::size_t i = 0; i < packets.size(); ++i) {
            const CodedPacket& packet = packets[i];
            // Frame j decodes to the pushed samples [(j - 2)F, (j - 1)F), the first two
            // frames to the lead-in the decoder drops; the decoder's final flush yields the
            // rest of the last frame. Nothing past the pushed audio counts.
            const std::int64_t first = (packet.first_frame - 2) * frame_len;
            std::int64_t end =
                std::min((packet.first_frame + packet.frames - 2) * frame_len, pushed);
            if (last && i + 1 == packets.size()) {
                end = pushed;
            }
            Packet out;
            out.data = packet.data.data();
            out.size = packet.data.size();
            out.timestamp = first;
            out.duration = std::max<std::int64_t>(0, end - first);
            if (!sink(out)) {
                return Status::kSinkFailed;
            }
        }
        return Status::kOk;
    }

    EncoderTuning tuning;
    StreamParams params;
    int packet_bytes;
    PacketSink sink;
    FrameCoder coder;
    BlockPlanner planner;
    Packetizer packetizer;
    RateControl rate;
    std::array<std::vector<float>, 2> signal;
    std::int64_t buffer_start = 0; // decoder time of signal[ch][0]
    std::int64_t pushed = 0;
    std::int64_t next_frame = 0;
    int prev_k = 0;
    std::vector<int> blocks{0}; // the frame to code next
    std::vector<int> next_blocks;
    bool finished = false;
    Status failure = Status::kOk; // once a call failed, every later one answers the same
};

Encoder::Encoder() = default;
Encoder::~Encoder() = default;

Status Encoder::Configure(const EncoderSettings& settings, PacketSink sink) {
    return Configure(settings, std::move(sink), EncoderTuning{});
}

Status Encoder::Configure(const EncoderSettings& settings, PacketSink sink,
                          const EncoderTuning& tuning) {
    impl_.reset();
    if (!SettingsProblem(settings).empty() || !sink) {
        return Status::kInvalidSettings;
    }
    impl_ = std::make_unique<Impl>(settings, std::move(sink), tuning);
    return Status::kOk;
}

Status Encoder::Push(const float* const* planes, std::size_t frames) {
    if (!impl_) {
        return Status::kNotConfigured;
    }
    Impl& s = *impl_;
    if (s.finished) {
        return Status::kFinished;
    }
    if (s.failure != Status::kOk) {
        return s.failure;
    }
    for (int ch = 0; ch < s.params.channels; ++ch) {
        for (std::size_t i = 0; i < frames; ++i) {
            if (!std::isfinite(planes[ch][i])) {
                return Status::kInvalidSamples;
            }
        }
    }
    // In pieces of a frame, so the buffer stays a few frames long.
    const auto piece = static_cast<std::size_t>(s.params.frame_len);
    for (std::size_t at = 0; at < frames; at += piece) {
        const std::size_t count = std::min(piece, frames - at);
        for (int ch = 0; ch < s.params.channels; ++ch) {
            auto& buffer = s.signal[ch];
            const std::size_t old_size = buffer.size();
            buffer.resize(old_size + count);
            const float* in = planes[ch] + at;
            float* out = buffer.data() + old_size;
            for (std::size_t i = 0; i < count; ++i) {
                out[i] = std::clamp(in[i], -1.0F, 1.0F) * kSampleScale;
            }
        }
        s.pushed += static_cast<std::int64_t>(count);
        const Status status = s.CodeReadyFrames();
        if (status != Status::kOk) {
            s.failure = status;
            return status;
        }
    }
    return Status::kOk;
}

Status Encoder::Finish() {
    if (!impl_) {
        return Status::kNotConfigured;
    }
    Impl& s = *impl_;
    if (s.finished) {
        return Status::kOk;
    }
    if (s.failure != Status::kOk) {
        return s.failure;
    }
    s.finished = true;
    const std::int64_t frame_len = s.params.frame_len;
    // Two frames more than the whole frames of audio: the decoder's final flush returns the
    // overlap of the last one, exact as far as its last block's window is flat (that block
    // announces the smallest size next). When the audio reaches further into that overlap,
    // one frame more carries it completely.
    const std::int64_t exact_flush = (frame_len - s.params.block_len(s.params.block_sizes - 1)) / 2;
    const std::int64_t frames = s.pushed / frame_len + (s.pushed % frame_len > exact_flush ? 3 : 2);
    const auto needed = static_cast<std::size_t>((frames + 2) * frame_len - s.buffer_start);
    for (int ch = 0; ch < s.params.channels; ++ch) {
        if (s.signal[ch].size() < needed) {
            s.signal[ch].resize(needed, 0.0F);
        }
    }
    // A decoder shifts the times of what it returns from the packets that hold the lead-in
    // it drops (the ends of frames 0 and 1), and a player then guesses the time of the
    // final flush wrongly if such a packet also holds the last frame. So when the stream
    // yields audio at all, a packet boundary falls between the end of frame 1 and the end
    // of the last frame: frames up to 1 stay in their packet, the last one reaches into the
    // next. A short track may have to carry most of a packet more than its rate gives it
    // for that; the reservoir gets those bits, so that every frame from the first with
    // sound on takes an even share rather than the last one all of it.
    const bool packet_goal = frames > 2 && s.packetizer.frames_out() < 2;
    bool granted = false;
    while (s.next_frame < frames) {
        const int frames_left = static_cast<int>(frames - s.next_frame);
        PacketGoal goal = PacketGoal::kNone;
        if (packet_goal && s.packetizer.frames_out() < 2) {
            if (s.next_frame < 2) {
                goal = PacketGoal::kStayInPacket;
            } else if (frames_left == 1) {
                goal = PacketGoal::kReachNextPacket;
            }
            if (!granted && s.next_frame >= 1) {
                granted = true;
                s.rate.Grant(static_cast<double>(s.packetizer.NextSlot().room_in_packet + 1),
                             frames_left);
            }
        }
        const Status status = s.CodeFrame(frames_left, goal);
        if (status != Status::kOk) {
            s.failure = status;
            return status;
        }
    }
    return Status::kOk;
}

std::array<std::uint8_t, 10> Encoder::CodecData() const {
    std::array<std::uint8_t, 10> data{};
    const int flags = impl_ ? impl_->params.flags : kEncoderFlags;
    data[4] = static_cast<std::uint8_t>(flags & 0xFF);
    data[5] = static_cast<std::uint8_t>(flags >> 8);
    return data;
}

int Encoder::PacketBytes() const {
    return impl_ ? impl_->packet_bytes : 0;
}

int Encoder::FrameSize() const {
    return impl_ ? impl_->params.frame_len : 0;
}

std::int64_t Encoder::BitRate() const {
    return impl_ ? impl_->params.bit_rate : 0;
}

} // namespace wma2
