// The tick count: milliseconds of the monotonic clock cut to 32 bits, so it
// wraps after about 49.7 days. Differences of two counts stay right across the
// wrap when taken in 32-bit unsigned arithmetic.
#pragma once

#include "platform/win32_types.h"

namespace platform_core {

constexpr DWORD TickCountFromMilliseconds(std::uint64_t milliseconds) {
    return static_cast<DWORD>(milliseconds & 0xFFFFFFFFu);
}

constexpr DWORD TicksBetween(DWORD earlier, DWORD later) {
    return later - earlier;
}

} // namespace platform_core
