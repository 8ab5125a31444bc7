// Where vantrel keeps the disk writers' configuration blocks between runs.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace vantrel {

class SettingsError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// $XDG_CONFIG_HOME/vantrel when that variable holds an absolute path, else
// $HOME/.config/vantrel. Throws SettingsError when neither can be had.
std::string settings_folder(const char* xdg_config_home, const char* home);
std::string settings_folder();

// The file of one disk writer, named after its identifier (braced GUID text).
std::string settings_file(const std::string& folder, const std::string& writer_guid_text);

// The stored block, or nothing when no block was saved yet. Throws SettingsError
// when the file exists but cannot be read.
std::optional<std::vector<std::uint8_t>> load_settings(const std::string& file);

// Replaces the file in one step (written beside it, then renamed), creating the
// folder when needed. Throws SettingsError on failure; the old file then stays.
void save_settings(const std::string& file, const std::vector<std::uint8_t>& block);

} // namespace vantrel
