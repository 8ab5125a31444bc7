// The string table of the component: the nine built-in profile texts in the
// platform's XML profile format.
#pragma once

#include "platform/win32_api.h"

inline constexpr int kProfileStringCount = 9;
extern const StringResource ProfileStrings[kProfileStringCount];
