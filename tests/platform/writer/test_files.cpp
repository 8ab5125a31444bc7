#include "test_files.h"

#include <cmath>
#include <fstream>

namespace writer_test {

std::vector<std::int16_t> Tone(int sampleRate, int channels, double seconds) {
    const auto frames = static_cast<std::size_t>(std::llround(sampleRate * seconds));
    std::vector<std::int16_t> pcm(frames * static_cast<std::size_t>(channels));
    for (std::size_t i = 0; i < frames; ++i) {
        const double value =
            16384.0 * std::sin(2.0 * M_PI * 440.0 * static_cast<double>(i) / sampleRate);
        for (int c = 0; c < channels; ++c) {
            pcm[i * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)] =
                static_cast<std::int16_t>(std::lround(value));
        }
    }
    return pcm;
}

void WriteWholeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

} // namespace writer_test
