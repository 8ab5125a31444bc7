#include "temporary_folder.h"

#include <stdexcept>
#include <stdlib.h>

namespace test_support {

namespace fs = std::filesystem;

TemporaryFolder::TemporaryFolder() {
    std::string pattern = (fs::temp_directory_path() / "vantrel-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot make a temporary folder");
    path_ = pattern;
}

TemporaryFolder::~TemporaryFolder() {
    std::error_code ignored;
    // A test may have taken the owner's rights away to make writing fail.
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(path_, ignored);
}

std::u16string TemporaryFolder::WideFile(const std::string& name) const {
    const std::string narrow = File(name);
    return std::u16string(narrow.begin(), narrow.end());
}

std::vector<std::string> TemporaryFolder::Entries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(path_))
        names.push_back(entry.path().filename().string());
    return names;
}

} // namespace test_support
