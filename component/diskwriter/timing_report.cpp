#include "diskwriter/timing_report.h"

#include <cmath>
#include <cstdio>
#include <limits>

DWORD ElapsedTicks(DWORD startTick, DWORD nowTick) {
    // Unsigned subtraction stays right across one wrap of the counter.
    return static_cast<DWORD>(nowTick - startTick);
}

std::int32_t SpeedHundredths(double audioMilliseconds, DWORD elapsedMilliseconds) {
    const double hundredths = audioMilliseconds / elapsedMilliseconds * 100.0;
    // Converting a value outside the target range is undefined; hold it instead.
    if (hundredths >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    if (hundredths <= static_cast<double>(std::numeric_limits<std::int32_t>::min()))
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(hundredths);
}

std::string FormatTimingReport(std::int64_t totalSamples, std::int32_t sampleRate,
                               DWORD elapsedMilliseconds) {
    const double audioMilliseconds = static_cast<double>(totalSamples) / (sampleRate * 0.001);
    // No audio at all (0 / 0 included), or a rate of 0 or beyond the signed
    // range with audio: nothing sensible to tell.
    if (!(audioMilliseconds > 0.0) || !std::isfinite(audioMilliseconds))
        return {};
    if (elapsedMilliseconds == 0)
        return {};
    const std::int32_t hundredths = SpeedHundredths(audioMilliseconds, elapsedMilliseconds);
    char line[256];
    std::snprintf(line, sizeof line, "Encoding took %u milliseconds, speed %d.%02dx",
                  static_cast<unsigned>(elapsedMilliseconds), hundredths / 100, hundredths % 100);
    return line;
}
