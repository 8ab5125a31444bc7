// Item monikers: a name made of a delimiter and an item, as the running object
// table needs them (display name, equality, hash).
#pragma once

#include "platform/com.h"

#include <string>

namespace platform_core {

// Reads the display name of any moniker; false when it has none.
bool DisplayNameOf(IMoniker* moniker, std::u16string* name);

// Hash of a display name, the same for every moniker that compares equal.
DWORD HashDisplayName(const std::u16string& name);

} // namespace platform_core
