// The component's resources (profile texts, the settings dialog), registered
// with the platform under the module name "ostrel" when the library loads.
#pragma once

#include "platform/win32_api.h"

inline constexpr char kComponentModuleName[] = "ostrel";

// The resource table; lives as long as the library.
const ModuleResources* ComponentResources();
