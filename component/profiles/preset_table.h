// The built-in presets as the user sees them, in index order, with the string
// resource that holds each one's profile text.
#pragma once

#include "platform/win32_types.h"
#include "vantrel/wma_config_block.h"

struct PresetRow {
    const char* name;
    const char* description;
    UINT profileTextId;
};

inline constexpr int kBuiltInPresetCount = wma_config::preset_count;
extern const PresetRow BuiltInPresets[kBuiltInPresetCount];
