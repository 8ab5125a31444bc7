// Media times of the samples a source stream delivers, from the running count
// of sample frames.
#pragma once

#include "platform/win32_types.h"

#include <cstdint>

// The time, in 100-ns units and truncated, at which `frames` frames at `rate`
// frames per second end. Exact for any count a stream can reach; 0 for a zero rate.
REFERENCE_TIME FramesToReferenceTime(std::uint64_t frames, DWORD rate);
