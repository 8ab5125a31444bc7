#include "creation_time.h"

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace writer {
namespace {

constexpr std::uint64_t kUnitsPerSecond = 10'000'000;
constexpr std::uint64_t kSecondsFrom1601To1970 = 11'644'473'600;
// The largest number of seconds since 1970 a FILETIME holds.
constexpr std::uint64_t kMaxSeconds =
    std::numeric_limits<std::uint64_t>::max() / kUnitsPerSecond - kSecondsFrom1601To1970;

} // namespace

std::uint64_t CreationFileTime(const char* sourceDateEpoch,
                               std::chrono::system_clock::time_point now) {
    if (sourceDateEpoch != nullptr) {
        const char* end = sourceDateEpoch + std::strlen(sourceDateEpoch);
        std::uint64_t seconds = 0;
        const auto [stop, error] = std::from_chars(sourceDateEpoch, end, seconds);
        if (end != sourceDateEpoch && error == std::errc() && stop == end &&
            seconds <= kMaxSeconds) {
            return (seconds + kSecondsFrom1601To1970) * kUnitsPerSecond;
        }
    }
    const auto since1970 =
        std::chrono::duration_cast<std::chrono::microseconds>(now.time_since_epoch()).count();
    const std::uint64_t micro = since1970 > 0 ? static_cast<std::uint64_t>(since1970) : 0;
    return kSecondsFrom1601To1970 * kUnitsPerSecond + micro * 10;
}

std::uint64_t CreationFileTime() {
    return CreationFileTime(std::getenv("SOURCE_DATE_EPOCH"), std::chrono::system_clock::now());
}

} // namespace writer
