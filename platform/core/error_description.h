// Lets a failing platform call say in words what went wrong: the text becomes
// the thread's error object, which the caller reads with GetErrorInfo.
#pragma once

#include "platform/win32_types.h"

#include <string>

namespace platform_core {

// Exported because the writer's objects are also linked into tests on their own.
PLATFORM_API void SetErrorDescription(const std::string& utf8);

} // namespace platform_core
