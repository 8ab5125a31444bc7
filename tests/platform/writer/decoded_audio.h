// Reads a written file back with libavformat and libavcodec, as an independent
// player would.
#pragma once

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

} // namespace writer_test
