// The configuration block a disk writer works with: the one chosen on the
// command line, the stored one, or the default.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/options.h"
#include "platform/win32_types.h"

class diskwriter;

namespace vantrel {

// The block for --preset or --profile; empty when neither was given. Throws
// ProfileFileError for a profile file that cannot be used.
std::vector<std::uint8_t> block_for_choice(const EncodingChoice& choice);

// The writer's current block (get_config).
std::vector<std::uint8_t> current_block(diskwriter& writer);

// The settings file of the writer with identifier `guid`. Throws SettingsError.
std::string writer_settings_file(const GUID& guid);

// The stored block when it is complete and names a preset or the custom
// profile, else the default block. `warning` receives the reason when a stored
// block was passed over or could not be read.
std::vector<std::uint8_t> stored_or_default_block(const std::string& file, std::string& warning);

// Empty when the block's choice can encode; otherwise why not: a custom profile
// whose text is empty or that the platform's writer cannot encode with.
std::string custom_profile_problem(const std::vector<std::uint8_t>& block);

} // namespace vantrel
