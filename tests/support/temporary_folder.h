// A fresh folder under the system's temporary folder, removed with everything
// in it when the object goes.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace test_support {

class TemporaryFolder {
public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // The path of `name` in the folder, narrow and as UTF-16 (temporary paths are ASCII).
    std::string File(const std::string& name) const { return (path_ / name).string(); }
    std::u16string WideFile(const std::string& name) const;
    // Names in the folder, hidden ones included.
    std::vector<std::string> Entries() const;

private:
    std::filesystem::path path_;
};

} // namespace test_support
