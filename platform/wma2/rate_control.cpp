#include "rate_control.h"

#include <algorithm>
#include <cmath>

namespace wma2 {
namespace {

// The share of the reservoir that frames may borrow (run ahead of their packets): a
// stream that ends then is that much longer than its rate says.
constexpr double kBorrowShare = 0.125;
// Room a frame's floor leaves below its ceiling: two filler escapes of the longest kind.
constexpr std::uint64_t kFillerSpan = 80;

} // namespace
RateControl::RateControl(double frame_budget, double capacity, int max_offset,
                         double proportional_db, double integral)
    : budget_(frame_budget), capacity_(capacity), max_offset_(max_offset),
      proportional_(proportional_db), integral_(integral) {}

FrameBounds RateControl::Bounds(const FrameBounds& packets, int frames_left) const {
    // The reservoir runs from a little borrowed to most of its size saved.
    const double most = budget_ + reservoir_ + kBorrowShare * capacity_;
    double least = budget_ + reservoir_ - (1.0 - kBorrowShare) * capacity_;
    if (frames_left > 0) {
        // What is still saved is spent by the last frames, so that the stream keeps its size.
        least = std::max(least, budget_ + reservoir_ / frames_left);
    }
    // The packets' bounds are the format's rules, the reservoir's only keep the rate: where
    // they disagree the packets win. Filler comes in escapes of a few dozen bits, so floor
    // and ceiling stay that far apart where the packets allow it.
    const auto clamp = [&packets](double bits, std::uint64_t lowest) {
        return std::clamp(static_cast<std::uint64_t>(std::max(0.0, bits)), lowest,
                          packets.max_bits);
    };
    FrameBounds bounds;
    bounds.max_bits =
        clamp(std::floor(most), std::min(packets.max_bits, packets.min_bits + kFillerSpan));
    bounds.min_bits = std::min(clamp(std::ceil(least), packets.min_bits), bounds.max_bits);
    if (bounds.max_bits - bounds.min_bits < kFillerSpan) {
        bounds.min_bits =
            std::max(packets.min_bits, bounds.max_bits - std::min(bounds.max_bits, kFillerSpan));
    }
    return bounds;
}

int RateControl::ChooseOffset(const std::function<std::uint64_t(int)>& bits,
                              const FrameBounds& bounds, bool silent) {
    if (silent) {
        return static_cast<int>(std::lround(reference_));
    }
    // From -1 (borrowed all it may) through 0 (the middle of the reservoir's range) to 1.
    const double middle = (0.5 - kBorrowShare) * capacity_;
    const double distance = (reservoir_ - middle) / (0.5 * capacity_);
    int offset = std::clamp(static_cast<int>(std::lround(reference_ - proportional_ * distance)),
                            kMinOffset, max_offset_);
    if (!started_) {
        // The first frame with sound sets the reference: the offset that spends the budget.
        started_ = true;
        offset = 10;
        const auto target = static_cast<std::uint64_t>(std::clamp<double>(
            budget_, static_cast<double>(bounds.min_bits), static_cast<double>(bounds.max_bits)));
        int low = kMinOffset;
        int high = max_offset_;
        while (low < high) {
            const int mid = low + (high - low) / 2;
            if (bits(mid) <= target) {
                high = mid;
            } else {
                low = mid + 1;
            }
        }
        reference_ = low;
        return low;
    }
    std::uint64_t size = bits(offset);
    if (size > bounds.max_bits) {
        // Coarser until it fits: double the step, then halve back.
        int fits = offset;
        int step = 1;
        int too_big = offset;
        while (fits < max_offset_) {
            fits = std::min(max_offset_, too_big + step);
            if (bits(fits) <= bounds.max_bits) {
                break;
            }
            too_big = fits;
            step *= 2;
        }
        while (fits - too_big > 1) {
            const int mid = too_big + (fits - too_big) / 2;
            if (bits(mid) <= bounds.max_bits) {
                fits = mid;
            } else {
                too_big = mid;
            }
        }
        offset = fits;
    } else if (size < bounds.min_bits) {
        // Finer while it stays short of the floor (the rest is filler).
        int short_of = offset;
        int step = 1;
        int over = offset;
        bool reached = false;
        while (short_of > kMinOffset) {
            over = std::max(kMinOffset, short_of - step);
            size = bits(over);
            if (size >= bounds.min_bits) {
                reached = true;
                break;
            }
            short_of = over;
            step *= 2;
        }
        if (reached) {
            // The finest offset that stays within the ceiling.
            while (short_of - over > 1) {
                const int mid = over + (short_of - over) / 2;
                if (bits(mid) >= bounds.min_bits) {
                    over = mid;
                } else {
                    short_of = mid;
                }
            }
            offset = bits(short_of) >= bounds.min_bits ? short_of : over;
            if (bits(offset) > bounds.max_bits) {
                offset = short_of;
            }
        } else {
            offset = over;
        }
    }
    reference_ += integral_ * (static_cast<double>(offset) - reference_) - integral_ * distance;
    return offset;
}

void RateControl::Spend(std::uint64_t bits) {
    reservoir_ += budget_ - static_cast<double>(bits);
}

void RateControl::Grant(double bits, int frames) {
    reservoir_ = std::max(reservoir_, bits - budget_ * frames);
}

} // namespace wma2
