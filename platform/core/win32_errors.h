// Win32 error numbers the core reports through SetLastError.
#pragma once

#include "platform/win32_types.h"

namespace platform_core {

constexpr DWORD kErrorInvalidHandle = 6;
constexpr DWORD kErrorNotEnoughMemory = 8;
constexpr DWORD kErrorNotSupported = 50;
constexpr DWORD kErrorInvalidParameter = 87;
constexpr DWORD kErrorProcNotFound = 127;
constexpr DWORD kErrorModNotFound = 126;
constexpr DWORD kErrorTooManyPosts = 298;
constexpr DWORD kErrorResourceNameNotFound = 1814;

} // namespace platform_core
