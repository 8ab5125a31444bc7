// The lossy encoders take float planes at the profile's rate and channel count; the writer
// is given packed 16-bit PCM in the source's. libswresample converts between them.
#pragma once

#include "packet_encoder.h"

extern "C" {
#include <libswresample/swresample.h>
}

#include <cstddef>

namespace writer {

// A resampler from packed 16-bit `input` to float planes of `channels` at `rate` (default
// channel layouts on both sides), or null when libswresample refuses the pair.
SwrContext* OpenPcmResampler(const PcmFormat& input, int rate, int channels);

// The checks before a call hands `frames` of `pcm` to the resampler, which counts in int:
// S_OK, or E_INVALIDARG for a missing buffer or a count beyond its reach.
HRESULT CheckResamplerInput(const BYTE* pcm, std::size_t frames);

} // namespace writer
