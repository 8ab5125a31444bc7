#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

#include "convert/output_paths.h"
#include "test_support.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;
using testing::TemporaryFolder;

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
    TemporaryFolder dir;
    touch(dir.File("a.wma"));
    fs::create_directory(dir.Path() / "sub");
    EXPECT_TRUE(same_file(dir.File("a.wma"), dir.File("sub/../a.wma")));
    fs::create_symlink(dir.File("a.wma"), dir.File("link.wma"));
    EXPECT_TRUE(same_file(dir.File("a.wma"), dir.File("link.wma")));
    EXPECT_FALSE(same_file(dir.File("a.wma"), dir.File("b.wma")));
    // Neither exists: still compared by path.
    EXPECT_TRUE(same_file(dir.File("n.wma"), dir.File("sub/../n.wma")));
}

TEST(OutputPaths, AnOutputEqualToItsInputIsRefused) {
    TemporaryFolder dir;
    touch(dir.File("song.wma"));
    auto plans = plan_outputs({dir.File("song.wma")}, std::nullopt, std::nullopt, "wma");
    ASSERT_EQ(plans.size(), 1u);
    EXPECT_NE(plans[0].error.find("is the input itself"), std::string::npos) << plans[0].error;
    auto explicit_plan =
        plan_outputs({dir.File("song.wma")}, dir.File("./song.wma"), std::nullopt, "wma");
    EXPECT_FALSE(explicit_plan[0].error.empty());
}

TEST(OutputPaths, TwoInputsWithOneOutputNameAreNotBothWritten) {
    TemporaryFolder dir;
    touch(dir.File("a.flac"));
    touch(dir.File("a.mp3"));
    touch(dir.File("b.mp3"));
    auto plans = plan_outputs({dir.File("a.flac"), dir.File("a.mp3"), dir.File("b.mp3")},
                              std::nullopt, std::nullopt, "wma");
    EXPECT_EQ(plans[0].error, "");
    EXPECT_NE(plans[1].error.find("is also the output of"), std::string::npos);
    EXPECT_EQ(plans[2].error, "");
    EXPECT_EQ(plans[2].output, dir.File("b.wma"));
}

TEST(OutputPaths, AMissingOrFileOutputFolderIsNamed) {
    TemporaryFolder dir;
    touch(dir.File("a.flac"));
    touch(dir.File("plain"));
    auto missing = plan_outputs({dir.File("a.flac")}, std::nullopt, dir.File("nowhere"), "wma");
    EXPECT_EQ(missing[0].error, "output folder " + dir.File("nowhere") + " does not exist");
    auto not_folder = plan_outputs({dir.File("a.flac")}, std::nullopt, dir.File("plain"), "wma");
    EXPECT_EQ(not_folder[0].error, "output folder " + dir.File("plain") + " is not a folder");
    auto is_folder = plan_outputs({dir.File("a.flac")}, dir.Path().string(), std::nullopt, "wma");
    EXPECT_NE(is_folder[0].error.find("is a folder"), std::string::npos);
}

TEST(OutputPaths, AnUnwritableOutputFolderIsNamed) {
    // A kernel file system refuses new files even to the superuser.
    EXPECT_EQ(check_output_folder("/proc/a.wma").rfind("output folder /proc is not writable: ", 0),
              0u)
        << check_output_folder("/proc/a.wma");
    TemporaryFolder dir;
    touch(dir.File("plain"));
    EXPECT_EQ(check_output_folder(dir.File("plain/sub/a.wma")),
              "output folder " + dir.File("plain/sub") +
                  " does not exist: a part of its path is a file, not a folder");
    EXPECT_EQ(check_output_folder(dir.File("a.wma")), "");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1)
        << "the probe file is gone";
    if (::geteuid() != 0) {
        fs::create_directory(dir.Path() / "locked");
        fs::permissions(dir.Path() / "locked", fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_NE(check_output_folder(dir.File("locked/a.wma")).find("is not writable"),
                  std::string::npos);
    }
}

} // namespace
} // namespace vantrel
