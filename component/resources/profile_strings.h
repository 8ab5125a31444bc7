// The string table of the component: the nine built-in profile texts in the
// platform's XML profile format.
#pragma once

#include "platform/win32_api.h"

inline constexpr int kProfileStringCount = 9;
// Built on first use; the table lives as long as the module.
const StringResource* ProfileStrings();
