// The console line that tells how long a track took to encode and how much
// faster than real time that was.
#pragma once

#include "platform/win32_types.h"

#include <cstdint>
#include <string>

// Milliseconds between two readings of the wrapping millisecond tick count.
DWORD ElapsedTicks(DWORD startTick, DWORD nowTick);

// The speed as hundredths of real time: 104 for 1.04x. Values past the signed
// 32-bit range are held at its ends.
std::int32_t SpeedHundredths(double audioMilliseconds, DWORD elapsedMilliseconds);

// "Encoding took %u milliseconds, speed %d.%02dx" for `totalSamples` frames at
// `sampleRate` Hz encoded in `elapsedMilliseconds`. Empty when there is no
// report to make: no audio (or no usable rate) or no measurable time.
std::string FormatTimingReport(std::int64_t totalSamples, std::int32_t sampleRate,
                               DWORD elapsedMilliseconds);
