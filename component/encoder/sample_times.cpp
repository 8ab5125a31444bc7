#include "encoder/sample_times.h"

namespace {

constexpr std::uint64_t kUnitsPerSecond = 10000000;

} // namespace

REFERENCE_TIME FramesToReferenceTime(std::uint64_t frames, DWORD rate) {
    if (rate == 0) {
        return 0;
    }
    // Whole seconds and the rest apart, so that no product overflows.
    const std::uint64_t seconds = frames / rate;
    const std::uint64_t rest = frames % rate;
    return static_cast<REFERENCE_TIME>(seconds * kUnitsPerSecond + rest * kUnitsPerSecond / rate);
}
