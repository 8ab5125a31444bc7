// What the analysis of one block of a frame finds before any gain is chosen: its
// coefficients (left/right or mid/side), masks, noise-coded bands and exponent curves, and
// whether it keeps the exponents the decoder holds.
#pragma once

#include "aligned_buffer.h"
#include "exponent_coder.h"
#include "hearing_model.h"
#include "stream_params.h"

#include <array>

namespace wma2 {

// Exponent units per bel of noise energy: a step of 10^(e/16) is 1.25 dB per unit.
inline constexpr float kExponentsPerBel = 8.0F;
inline constexpr float kDbPerExponent = 1.25F;

struct ChannelAnalysis {
    AlignedBuffer coefs; // as coded (left/right or mid/side), in transform units
    BandMasking masking;
    bool content = false;                          // anything above a hundredth of a 16-bit step
    std::array<float, kMaxExponentBands> wanted{}; // exponent per band, model units
    std::array<float, kMaxExponentBands> weight{}; // coefficients that depend on it
    Exponents chosen{};
    int offset = 0;      // chosen = wanted + offset
    int top = 0;         // largest of chosen
    float gain_base = 0; // gain = offset_db + gain_base gives the wanted steps
    // Per high band (with noise coding): whether it is sent as noise, and its energy.
    std::array<bool, kMaxHighBands> noise{};
    std::array<float, kMaxHighBands> noise_energy{};
};

struct BlockAnalysis {
    int k = 0;
    int position = 0; // samples from the start of the frame's blocks
    int prev_k = 0;
    int next_k = 0;
    bool explicit_sizes = false; // the first block of a frame that opens its packet
    int end = 0;                 // coded bandwidth in coefficients
    bool mid_side = false;
    bool reuse = false; // planned: keep the decoder's exponents
    std::array<ChannelAnalysis, 2> channels;
};

// The exponent band of block size index k that holds `coefficient`.
int BandOf(const StreamParams& params, int k, int coefficient);

// Whether one of the channel's noise-coded high bands lies in exponent band `band`.
bool HasNoiseBand(const StreamParams& params, const BlockAnalysis& block, int ch, int band);

} // namespace wma2
