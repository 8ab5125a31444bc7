// The creation date a new file is stamped with: the time of writing, or the
// time SOURCE_DATE_EPOCH gives, so that the same input can make the same bytes.
#pragma once

#include <chrono>
#include <cstdint>

namespace writer {

// As a FILETIME: 100-nanosecond units since 1601-01-01 UTC. `sourceDateEpoch`
// is the variable's text (null when unset): whole seconds since 1970-01-01
// UTC; text that is not such a number is ignored and `now` used.
std::uint64_t CreationFileTime(const char* sourceDateEpoch,
                               std::chrono::system_clock::time_point now);

// From the process's environment and clock.
std::uint64_t CreationFileTime();

} // namespace writer
