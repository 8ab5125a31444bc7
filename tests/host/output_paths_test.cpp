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

std::vector<SourceFile> files(std::initializer_list<std::string> paths) {
    std::vector<SourceFile> sources;
    for (const std::string& path : paths)
        sources.push_back({path, {}});
    return sources;
}

OutputRequest beside() {
    return {std::nullopt, std::nullopt, "wma", false};
}

TEST(OutputPaths, AnOutputEqualToItsInputIsRefused) {
    TemporaryFolder dir;
    touch(dir.File("song.wma"));
    auto plans = plan_outputs(files({dir.File("song.wma")}), beside()).plans;
    ASSERT_EQ(plans.size(), 1u);
    EXPECT_NE(plans[0].error.find("is the input itself"), std::string::npos) << plans[0].error;
    OutputRequest explicit_output = beside();
    explicit_output.output_file = dir.File("./song.wma");
    EXPECT_FALSE(
        plan_outputs(files({dir.File("song.wma")}), explicit_output).plans[0].error.empty());
}

TEST(OutputPaths, CollisionsDuplicatesAndExistingTargets) {
    TemporaryFolder dir;
    for (const char* name : {"a.flac", "a.mp3", "a.ogg", "b.mp3", "c.wav", "c.wma"})
        touch(dir.File(name));
    fs::create_symlink(dir.File("b.mp3"), dir.File("b-link.mp3"));
    OutputRequest request = beside();
    request.skip_existing = true;
    const RunPlan run = plan_outputs(
        files({dir.File("a.flac"), dir.File("a.mp3"), dir.File("b.mp3"), dir.File("a.ogg"),
               dir.File("b-link.mp3"), dir.File("./b.mp3"), dir.File("c.wav")}),
        request);
    ASSERT_EQ(run.plans.size(), 5u) << "the same file by another path is planned once";
    EXPECT_EQ(run.plans[0].error, "");
    EXPECT_TRUE(run.plans[1].announced);
    EXPECT_NE(run.plans[1].error.find("is also the output of " + dir.File("a.flac")),
              std::string::npos);
    EXPECT_EQ(run.plans[2].output, dir.File("b.wma"));
    EXPECT_TRUE(run.plans[3].announced);
    EXPECT_TRUE(run.plans[4].skipped) << "c.wma exists";
    ASSERT_EQ(run.collisions.size(), 1u) << "one collision, however many sources it has";
    EXPECT_EQ(run.collisions[0].inputs,
              (std::vector<std::string>{dir.File("a.flac"), dir.File("a.mp3"), dir.File("a.ogg")}));
}

TEST(OutputPaths, FoldersAreMirroredMadeOnlyWhenAskedAndCheckedOnce) {
    TemporaryFolder dir;
    touch(dir.File("plain"));
    OutputRequest request = beside();
    request.output_dir = dir.File("out");
    std::vector<SourceFile> sources{
        {"/lib/A/one/t1.flac", "A/one"}, {"/x/t2.mp3", ""}, {"/lib/B/t3.flac", "B"}};
    RunPlan run = plan_outputs(sources, request);
    EXPECT_EQ(run.plans[0].output, dir.File("out/A/one/t1.wma"));
    EXPECT_EQ(run.plans[1].output, dir.File("out/t2.wma"));
    prepare_output_folders(run.plans, *request.output_dir, false);
    EXPECT_EQ(run.plans[0].error, "") << "a folder still to be made is not an error";
    EXPECT_FALSE(fs::exists(dir.File("out"))) << "nothing is made without asking";
    prepare_output_folders(run.plans, *request.output_dir, true);
    EXPECT_EQ(run.plans[0].error, "");
    EXPECT_TRUE(fs::is_directory(dir.File("out/A/one")));
    EXPECT_TRUE(fs::is_directory(dir.File("out/B")));

    request.output_dir = dir.File("plain");
    run = plan_outputs(sources, request);
    prepare_output_folders(run.plans, *request.output_dir, true);
    EXPECT_NE(run.plans[0].error.find("cannot make output folder " + dir.File("plain/A/one")),
              std::string::npos)
        << run.plans[0].error;
    EXPECT_EQ(run.plans[1].error, "output folder " + dir.File("plain") + " is not a folder");
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
