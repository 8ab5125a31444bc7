// The words a failed platform call left behind as the thread's error object.
#pragma once

#include <string>

#include "platform/win32_types.h"

namespace vantrel {

// The thread's error text from the failed call, else `fallback` with the code.
std::string platform_error_text(HRESULT hr, const char* fallback);

} // namespace vantrel
