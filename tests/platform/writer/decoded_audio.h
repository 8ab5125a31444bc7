// Reads a written file back with libavformat and libavcodec, as an independent
// player would.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace writer_test {

struct DecodedAudio {
    bool opened = false;
    std::string codec;
    int sampleRate = 0;
    int channels = 0;
    int blockAlign = 0;
    long long bitRate = 0;
    long long frames = 0;
    int decodeErrors = 0;
    std::vector<float> firstChannel; // every sample of channel 0
};

DecodedAudio DecodeFile(const std::string& path);

// Whether the audio is `codec` at `rate` Hz in `channels`, of `frames` frames
// and at most `slack` more (an encoder writes its last frame whole).
::testing::AssertionResult Decoded(const DecodedAudio& audio, const std::string& codec, int rate,
                                   int channels, long long frames, long long slack = 0);

} // namespace writer_test
