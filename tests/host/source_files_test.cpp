// Walking the inputs: what is taken, what is passed over and why, links to
// files each taken and folders searched once (loops and fan-out), paths
// too long for the system named instead of dropped, missing inputs explained.
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

#include "convert/source_files.h"
#include "test_support.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;
using testing::TemporaryFolder;

void touch(const std::string& path) {
    std::ofstream(path) << "x";
}

// "path" for a source, "path (skip: N)" for a name passed over, "path (problem)".
std::vector<std::string> described(const WalkResult& walk, std::size_t prefix) {
    std::vector<std::string> lines;
    for (const SourceFile& f : walk.found) {
        std::string line = f.path.substr(prefix);
        if (!f.problem.empty())
            line += " (" + f.problem + ")";
        else if (f.passed_over != SkipReason::none)
            line += " (skip: " + std::to_string(static_cast<int>(f.passed_over)) + ")";
        else if (!f.subfolder.empty())
            line += " in " + f.subfolder;
        lines.push_back(line);
    }
    return lines;
}

class Walk : public ::testing::Test {
protected:
    TemporaryFolder dir_;
    std::string lib() const { return dir_.File("lib"); }
    std::vector<std::string> walk(const std::vector<std::string>& inputs) const {
        return described(expand_inputs(inputs, {"wma"}), dir_.Path().string().size() + 1);
    }
};

const auto hidden = std::to_string(static_cast<int>(SkipReason::hidden));
const auto not_audio = std::to_string(static_cast<int>(SkipReason::not_audio));
const auto searched = std::to_string(static_cast<int>(SkipReason::folder_searched));

TEST_F(Walk, EveryNameIsTakenOrPassedOverWithItsReasonInNameOrder) {
    fs::create_directories(dir_.Path() / "lib/A b");
    fs::create_directories(dir_.Path() / "lib/A/one");
    fs::create_directories(dir_.Path() / "lib/.git/objects");
    for (const char* name : {"lib/A/one/t1.FLAC", "lib/A b/t2.wav", "lib/A/cover.jpg",
                             "lib/.hidden.mp3", "lib/old.wma", "lib/notes", "lib/.git/objects/x"})
        touch(dir_.File(name));
    EXPECT_EQ(walk({lib()}), (std::vector<std::string>{
                                 "lib/.git (skip: " + hidden + ")",
                                 "lib/.hidden.mp3 (skip: " + hidden + ")",
                                 "lib/A/cover.jpg (skip: " + not_audio + ")",
                                 "lib/A/one/t1.FLAC in A/one",
                                 "lib/A b/t2.wav in A b",
                                 "lib/notes (skip: " + not_audio + ")",
                                 "lib/old.wma",
                             }));
    // A file named on the command line is taken whatever its name; one given
    // twice is taken once, with a word.
    const WalkResult named = expand_inputs(
        {dir_.File("lib/notes"), dir_.File("lib/./notes"), dir_.File("none.mp3")}, {"wma"});
    ASSERT_EQ(named.found.size(), 2u);
    EXPECT_TRUE(named.found[0].named && named.found[0].problem.empty());
    EXPECT_EQ(named.found[1].problem, "input not found");
    EXPECT_EQ(named.warnings,
              std::vector<std::string>{dir_.File("lib/./notes") +
                                       " is given more than once; it is taken once"});
}

TEST_F(Walk, LinksToFilesAreEachTakenLinksToFoldersFollowedOnce) {
    fs::create_directories(dir_.Path() / "lib/Albums/X");
    fs::create_directories(dir_.Path() / "elsewhere");
    touch(dir_.File("lib/Albums/X/song.flac"));
    touch(dir_.File("elsewhere/far.mp3"));
    fs::create_symlink(dir_.File("lib/Albums/X/song.flac"), dir_.File("lib/Albums/X/alias.flac"));
    fs::create_hard_link(dir_.File("lib/Albums/X/song.flac"), dir_.File("lib/hard.flac"));
    // Sorted before the folder it leads to: still mirrored under the real name.
    fs::create_directory_symlink(dir_.File("lib/Albums/X"), dir_.File("lib/A-favourite"));
    fs::create_directory_symlink(dir_.File("lib"), dir_.File("lib/Albums/loop"));
    fs::create_directory_symlink(dir_.File("elsewhere"), dir_.File("lib/outside"));
    fs::create_symlink(dir_.File("gone.flac"), dir_.File("lib/dangling.flac"));
    fs::create_symlink(dir_.File("gone.jpg"), dir_.File("lib/dangling.jpg"));
    EXPECT_EQ(walk({lib()}), (std::vector<std::string>{
                                 "lib/A-favourite (skip: " + searched + ")",
                                 "lib/Albums/X/alias.flac in Albums/X",
                                 "lib/Albums/X/song.flac in Albums/X",
                                 "lib/Albums/loop (skip: " + searched + ")",
                                 "lib/dangling.flac (a link to " + dir_.File("gone.flac") +
                                     ", which does not exist)",
                                 "lib/dangling.jpg (skip: " + not_audio + ")",
                                 "lib/hard.flac",
                                 "lib/outside/far.mp3 in outside",
                             }));
}

// Two links per level to the level below, 24 levels deep: 2^24 paths, but 24
// folders, each searched once.
TEST_F(Walk, FanOutOfLinksCostsOneSearchPerFolder) {
    fs::path level = dir_.Path() / "lib";
    fs::create_directory(level);
    for (int i = 0; i < 24; ++i) {
        fs::create_directory(level / "real");
        fs::create_directory_symlink(level / "real", level / "a");
        fs::create_directory_symlink(level / "real", level / "b");
        touch((level / ("t" + std::to_string(i) + ".wav")).string());
        level /= "real";
    }
    const WalkResult result = expand_inputs({lib()}, {"wma"});
    std::size_t sources = 0, links = 0;
    for (const SourceFile& f : result.found) {
        sources += f.passed_over == SkipReason::none && f.problem.empty();
        links += f.passed_over == SkipReason::folder_searched;
    }
    EXPECT_EQ(sources, 24u);
    EXPECT_EQ(links, 48u);
}

// A chain of folders deeper than PATH_MAX, made and removed through
// descriptors, as paths that long cannot be named at once.
class DeepFolders {
public:
    DeepFolders(const fs::path& root, std::size_t depth) : root_(root) {
        fs::create_directories(root);
        int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY);
        for (std::size_t i = 0; i < depth && fd >= 0; ++i) {
            ::mkdirat(fd, name_.c_str(), 0755);
            const int next = ::openat(fd, name_.c_str(), O_RDONLY | O_DIRECTORY);
            ::close(fd);
            fd = next;
        }
        if (fd >= 0) {
            ::close(::openat(fd, "deep.flac", O_WRONLY | O_CREAT, 0644));
            ::close(fd);
        }
    }
    ~DeepFolders() { testing::RunCommand("rm -rf " + testing::ShellQuote(root_.string())); }
    const std::string name_ = std::string(200, 'd');

private:
    fs::path root_;
};

TEST_F(Walk, APathTooLongForTheSystemIsNamedNotDropped) {
    DeepFolders deep(dir_.Path() / "lib", 22); // 22 x 201 bytes
    touch(dir_.File("lib/ok.wav"));
    const WalkResult result = expand_inputs({lib()}, {"wma"});
    ASSERT_EQ(result.found.size(), 2u);
    const SourceFile& too_long = result.found[0];
    EXPECT_EQ(too_long.problem, "its path is longer than " + std::to_string(PATH_MAX - 1) +
                                    " bytes, the most the system takes");
    EXPECT_GE(too_long.path.size(), static_cast<std::size_t>(PATH_MAX));
    EXPECT_EQ(result.found[1].path, dir_.File("lib/ok.wav"));
}

// A missing input names what is missing: the deepest folder that exists is
// the boundary, so the first missing folder below it is the one named.
TEST_F(Walk, AMissingInputNamesTheFolderOrFileThatIsMissing) {
    fs::create_directories(dir_.Path() / "lib");
    touch(dir_.File("lib/plain"));
    const WalkResult result =
        expand_inputs({dir_.File("lib/gone.flac"), dir_.File("lib/no/such/a.flac"),
                       dir_.File("lib/plain/a.flac"), "nowhere-relative/a.flac"},
                      {"wma"});
    ASSERT_EQ(result.found.size(), 4u);
    EXPECT_EQ(result.found[0].problem, "input not found");
    EXPECT_EQ(result.found[1].problem,
              "input not found: folder " + dir_.File("lib/no") + " does not exist");
    EXPECT_EQ(result.found[2].problem,
              "input not found: " + dir_.File("lib/plain") + " is a file, not a folder");
    EXPECT_EQ(result.found[3].problem, "input not found: folder nowhere-relative does not exist");
    for (const SourceFile& f : result.found)
        EXPECT_TRUE(f.named) << f.path;
}

TEST(AudioNames, ExtensionsAreComparedWithoutCase) {
    EXPECT_TRUE(has_audio_extension("a/b.FlAc"));
    EXPECT_FALSE(has_audio_extension("a.flac/b"));
    EXPECT_FALSE(has_audio_extension(".flac"));
    EXPECT_TRUE(has_extension("x.WMA", "wma"));
    EXPECT_FALSE(has_extension("xwma", "wma"));
}

} // namespace
} // namespace vantrel
