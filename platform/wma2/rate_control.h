// Rate control with a bit reservoir: every frame gets its share of the packets' bits, and
// the frames lend to and borrow from each other within the reservoir.
//
// The quality is held constant: one gain offset (noise relative to the masking threshold)
// for every frame, moved slowly so that the reservoir stays about half full. A frame keeps
// that offset unless its bits would overdraw the reservoir or overflow it (or break the
// packets' limits); then its offset moves just as far as needed. The frames may run ahead
// of their share by an eighth of the reservoir (a stream that ends then is that much
// longer) and save the rest (filler keeps them from saving more).
#pragma once

#include <cstdint>
#include <functional>

namespace wma2 {

struct FrameBounds {
    std::uint64_t min_bits = 1;
    std::uint64_t max_bits = 0;
};

class RateControl {
public:
    // `frame_budget`: bits per frame that keep the declared bit rate; `capacity`: reservoir
    // size in bits; `max_offset`: the coarsest the steps may get, relative to the masks
    // (dB); `proportional_db` and `integral`: how the offset follows the reservoir's fill.
    RateControl(double frame_budget, double capacity, int max_offset = kMaxOffset,
                double proportional_db = 3.0, double integral = 0.05);

    // What the reservoir allows for the next frame, within the packets' own bounds (which
    // win where the two disagree). `frames_left`, when the end of the stream is known: the
    // frames still to code, this one included; they share out what is saved.
    FrameBounds Bounds(const FrameBounds& packets, int frames_left = 0) const;

    // Chooses the gain offset of a frame: `bits(offset)` codes the frame at an offset
    // and answers its size. `activity` (perceptual entropy) guides the first step.
    int ChooseOffset(const std::function<std::uint64_t(int)>& bits, const FrameBounds& bounds,
                     bool silent);

    // Books a coded frame.
    void Spend(std::uint64_t bits);
    // The stream's framing needs the last `frames` frames to hold at least `bits`: the
    // reservoir gets what their shares and its savings leave short, for them to share.
    void Grant(double bits, int frames);

    double reservoir() const { return reservoir_; }
    double capacity() const { return capacity_; }
    double frame_budget() const { return budget_; }
    double reference_offset() const { return reference_; }

    static constexpr int kMinOffset = -40;
    static constexpr int kMaxOffset = 90;

private:
    double budget_;
    double capacity_;
    double reservoir_ = 0;
    int max_offset_;
    double proportional_;
    double integral_;
    double reference_ = 0;
    bool started_ = false;
};

} // namespace wma2
