// Signals for checking where audio ends up after a round trip.
#pragma once

#include <cstdint>
#include <vector>

namespace writer_test {

// A sweep from 200 Hz to 4 kHz at half scale on every channel, interleaved.
std::vector<std::int16_t> Sweep(int sampleRate, int channels, double seconds);

// The shift (in samples, within +-maxLag) at which `decoded` best matches
// `reference` over the reference's middle part; positive when decoded is late.
int BestLag(const std::vector<float>& reference, const std::vector<float>& decoded, int maxLag);

// Channel 0 of interleaved 16-bit PCM as floats in [-1, 1).
std::vector<float> FirstChannel(const std::vector<std::int16_t>& pcm, int channels);

} // namespace writer_test
