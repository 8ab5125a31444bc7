#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

#include "convert/output_paths.h"
#include "test_support.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

void touch(const std::string& path) {
    std::ofstream(path) << "x";
}

TEST(OutputPaths, BesideTheInputWithTheWritersExtension) {
    EXPECT_EQ(output_path_for("music/a.flac", "", "wma"), "music/a.wma");
    EXPECT_EQ(output_path_for("b.mp3", "", "wma"), "b.wma");
    EXPECT_EQ(output_path_for("/x/y/c.tar.ogg", "", "wma"), "/x/y/c.tar.wma");
    EXPECT_EQ(output_path_for("noext", "", "wma"), "noext.wma");
}

TEST(OutputPaths, InTheOutputFolder) {
    EXPECT_EQ(output_path_for("music/a.flac", "out", "wma"), "out/a.wma");
    EXPECT_EQ(output_path_for("/m/Ünïcødé name.flac", "/o", "wma"), "/o/Ünïcødé name.wma");
}

TEST(OutputPaths, SameFileComparesResolvedPaths) {
    TempDir dir;
    touch(dir.file("a.wma"));
    fs::create_directory(dir.path() / "sub");
    EXPECT_TRUE(same_file(dir.file("a.wma"), dir.file("sub/../a.wma")));
    fs::create_symlink(dir.file("a.wma"), dir.file("link.wma"));
    EXPECT_TRUE(same_file(dir.file("a.wma"), dir.file("link.wma")));
    EXPECT_FALSE(same_file(dir.file("a.wma"), dir.file("b.wma")));
    // Neither exists: still compared by path.
    EXPECT_TRUE(same_file(dir.file("n.wma"), dir.file("sub/../n.wma")));
}

TEST(OutputPaths, AnOutputEqualToItsInputIsRefused) {
    TempDir dir;
    touch(dir.file("song.wma"));
    auto plans = plan_outputs({dir.file("song.wma")}, std::nullopt, std::nullopt, "wma");
    ASSERT_EQ(plans.size(), 1u);
    EXPECT_NE(plans[0].error.find("is the input itself"), std::string::npos) << plans[0].error;
    auto explicit_plan =
        plan_outputs({dir.file("song.wma")}, dir.file("./song.wma"), std::nullopt, "wma");
    EXPECT_FALSE(explicit_plan[0].error.empty());
}

TEST(OutputPaths, TwoInputsWithOneOutputNameAreNotBothWritten) {
    TempDir dir;
    touch(dir.file("a.flac"));
    touch(dir.file("a.mp3"));
    touch(dir.file("b.mp3"));
    auto plans = plan_outputs({dir.file("a.flac"), dir.file("a.mp3"), dir.file("b.mp3")},
                              std::nullopt, std::nullopt, "wma");
    EXPECT_EQ(plans[0].error, "");
    EXPECT_NE(plans[1].error.find("is also the output of"), std::string::npos);
    EXPECT_EQ(plans[2].error, "");
    EXPECT_EQ(plans[2].output, dir.file("b.wma"));
}

TEST(OutputPaths, AMissingOrFileOutputFolderIsNamed) {
    TempDir dir;
    touch(dir.file("a.flac"));
    touch(dir.file("plain"));
    auto missing = plan_outputs({dir.file("a.flac")}, std::nullopt, dir.file("nowhere"), "wma");
    EXPECT_EQ(missing[0].error, "output folder " + dir.file("nowhere") + " does not exist");
    auto not_folder = plan_outputs({dir.file("a.flac")}, std::nullopt, dir.file("plain"), "wma");
    EXPECT_EQ(not_folder[0].error, "output folder " + dir.file("plain") + " is not a folder");
    auto is_folder = plan_outputs({dir.file("a.flac")}, dir.path().string(), std::nullopt, "wma");
    EXPECT_NE(is_folder[0].error.find("is a folder"), std::string::npos);
}

TEST(OutputPaths, AnUnwritableOutputFolderIsNamed) {
    // A kernel file system refuses new files even to the superuser.
    EXPECT_EQ(check_output_folder("/proc/a.wma").rfind("output folder /proc is not writable: ", 0),
              0u)
        << check_output_folder("/proc/a.wma");
    TempDir dir;
    touch(dir.file("plain"));
    EXPECT_EQ(check_output_folder(dir.file("plain/sub/a.wma")),
              "output folder " + dir.file("plain/sub") +
                  " does not exist: a part of its path is a file, not a folder");
    EXPECT_EQ(check_output_folder(dir.file("a.wma")), "");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1)
        << "the probe file is gone";
    if (::geteuid() != 0) {
        fs::create_directory(dir.path() / "locked");
        fs::permissions(dir.path() / "locked", fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_NE(check_output_folder(dir.file("locked/a.wma")).find("is not writable"),
                  std::string::npos);
    }
}

} // namespace
} // namespace vantrel
