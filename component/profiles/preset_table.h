// The built-in presets as the user sees them, in index order, with the string
// resource that holds each one's profile text.
#pragma once

#include "platform/win32_types.h"

struct PresetRow {
    const char* name;
    const char* description;
    UINT profileTextId;
};

inline constexpr int kBuiltInPresetCount = 9;
extern const PresetRow BuiltInPresets[kBuiltInPresetCount];
