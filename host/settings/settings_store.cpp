#include "settings/settings_store.h"
#include "settings/regular_file.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace fs = std::filesystem;

namespace vantrel {
namespace {

// A block is an index, a length and a profile text: a few kilobytes.
constexpr std::size_t kMaxSettingsBytes = 1 << 20;

} // namespace

std::string settings_folder(const char* xdg_config_home, const char* home) {
    if (xdg_config_home && xdg_config_home[0] == '/')
        return (fs::path(xdg_config_home) / "vantrel").string();
    if (home && home[0] != '\0')
        return (fs::path(home) / ".config" / "vantrel").string();
    throw SettingsError("cannot find a settings folder: neither XDG_CONFIG_HOME nor HOME is set");
}

std::string settings_folder() {
    return settings_folder(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
}

std::string settings_file(const std::string& folder, const std::string& writer_guid_text) {
    std::string name;
    for (char c : writer_guid_text)
        if (std::isxdigit(static_cast<unsigned char>(c)) || c == '-')
            name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return (fs::path(folder) / ("diskwriter-" + name + ".cfg")).string();
}

std::optional<std::vector<std::uint8_t>> load_settings(const std::string& file) {
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(file, ec)))
        return std::nullopt;
    try {
        const std::string bytes = read_regular_file(file, kMaxSettingsBytes, "settings");
        return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
    } catch (const RegularFileError& e) {
        throw SettingsError(e.what());
    }
}

void save_settings(const std::string& file, const std::vector<std::uint8_t>& block) {
    fs::path path(file);
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    if (ec)
        throw SettingsError("cannot create settings folder " + path.parent_path().string() + ": " +
                            ec.message());
    fs::path temporary = path;
    temporary += ".new-" + std::to_string(::getpid());
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(block.data()),
                  static_cast<std::streamsize>(block.size()));
        out.close();
        if (!out) {
            fs::remove(temporary, ec);
            throw SettingsError("cannot write settings " + file);
        }
    }
    fs::rename(temporary, path, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        throw SettingsError("cannot write settings " + file + ": " + ec.message());
    }
}

} // namespace vantrel
