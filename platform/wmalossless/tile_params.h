// The coding tools a seekable tile announces; later tiles reuse them until the next one.
#pragma once

#include <algorithm>
#include <array>
#include <initializer_list>
#include <memory>

#include "stream_format.h"

namespace wmal {

constexpr int kMaxAcOrder = 16;

struct McLmsStart;

struct TileParams {
    // Fixed IIR pre-filter on the output side: out[i] = e[i] + (sum c_j out[i-1-j]) >> s.
    int ac_order = 0; // 0 = off, else 1..16
    int ac_scaling = 0;
    std::array<int, kMaxAcOrder> ac_coefs{}; // each 1..2^ac_scaling
    // Refit the pre-filter to the sound at every seekable point that announces these tools
    // (up to `ac_order` taps); the fit replaces the three fields above.
    bool ac_fitted = false;
    // Chosen over other tools only by a clear lead (see the encoder's choice).
    bool needs_clear_lead = false;

    // Mid/side on stereo streams.
    bool inter_channel = false;

    // Multichannel LMS stage ahead of the per-channel cascades: 0 = off, else 2..32 (even).
    int mclms_order = 0;
    int mclms_scaling = 0;
    // Fit the stage's starting weights to the sound at every seekable point that announces
    // these tools, and send them; the fit sets the scaling.
    bool mclms_fitted = false;
    std::shared_ptr<const McLmsStart> mclms_start; // the fitted weights, once fitted

    // LMS cascade, the same for every channel; filter 0 sees the signal first.
    int lms_count = 1;
    std::array<int, kMaxLmsFilters> lms_order{16};
    std::array<int, kMaxLmsFilters> lms_scaling{};

    // Adaptation speed of the Rice parameter, 0..7.
    int movave_scaling = 0;
    // Let every seekable tile pick the speed that codes its own residues smallest instead.
    bool movave_fitted = false;
};

// Makes the pre-filter the classic 31/32 pre-emphasis.
inline void use_pre_emphasis(TileParams& p) {
    p.ac_order = 1;
    p.ac_scaling = 5;
    p.ac_coefs[0] = 31;
}

// Sets the LMS cascade, filter 0 first; both lists have one entry per filter (at most 8).
inline void set_cascade(TileParams& p, std::initializer_list<int> orders,
                        std::initializer_list<int> scalings) {
    p.lms_count = static_cast<int>(orders.size());
    std::copy(orders.begin(), orders.end(), p.lms_order.begin());
    std::copy(scalings.begin(), scalings.end(), p.lms_scaling.begin());
}

} // namespace wmal
