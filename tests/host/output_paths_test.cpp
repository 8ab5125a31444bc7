// Planning a run: where each output goes, what fails before any work (an
// output that lands on an input, two sources for one file, a folder in the
// way) and what is skipped (existing outputs with -n, up-to-date ones with
// -u, sources already in place).
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "convert/output_paths.h"
#include "test_support.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;
using testing::TemporaryFolder;

void touch(const std::string& path) {
    std::ofstream(path) << "x";
}

// Sets a file's modification time to `seconds` after the epoch.
void set_time(const std::string& path, time_t seconds) {
    const timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

TEST(OutputPaths, BesideTheInputOrInTheOutputFolderWithTheWritersExtension) {
    EXPECT_EQ(output_path_for("music/a.flac", "", "wma"), "music/a.wma");
    EXPECT_EQ(output_path_for("b.mp3", "", "wma"), "b.wma");
    EXPECT_EQ(output_path_for("/x/y/c.tar.ogg", "", "wma"), "/x/y/c.tar.wma");
    EXPECT_EQ(output_path_for("noext", "", "wma"), "noext.wma");
    EXPECT_EQ(output_path_for("music/a.flac", "out", "wma"), "out/a.wma");
    EXPECT_EQ(output_path_for("/m/Ünïcødé name.flac", "/o", "wma"), "/o/Ünïcødé name.wma");
}

class Planning : public ::testing::Test {
protected:
    TemporaryFolder dir_;
    OutputRequest request_{std::nullopt, std::nullopt, "wma", ExistingOutput::replace, false};

    std::string file(const std::string& name) const { return dir_.File(name); }

    RunPlan plan(const std::vector<std::string>& inputs) const {
        return plan_outputs(expand_inputs(inputs, {"wma"}).found, request_);
    }
};

TEST_F(Planning, NoOutputLandsOnAnInputOfTheRun) {
    touch(file("song.wma"));
    touch(file("song.flac"));
    // The .wma source is its own output: nothing to do, and it stays an input.
    RunPlan run = plan({file("song.wma"), file("song.flac")});
    ASSERT_EQ(run.plans.size(), 2u);
    EXPECT_EQ(run.plans[0].action, Action::skip);
    EXPECT_EQ(run.plans[0].skip_reason, SkipReason::already_in_place);
    EXPECT_EQ(run.plans[1].action, Action::fail);
    EXPECT_EQ(run.plans[1].error, "output " + file("song.wma") + " is " + file("song.wma") +
                                      ", an input of this run; refusing to overwrite it");
    // Named later than the source that would overwrite it: protected all the same.
    run = plan({file("song.flac"), file("song.wma")});
    EXPECT_EQ(run.plans[0].action, Action::fail);

    request_.reencode = true;
    run = plan({file("song.wma")});
    EXPECT_EQ(run.plans[0].action, Action::fail);
    EXPECT_EQ(run.plans[0].error,
              "output " + file("song.wma") + " is the input itself; refusing to overwrite it");
    request_.reencode = false;

    // Through a link standing at the output path, and with -o.
    touch(file("other.wav"));
    fs::create_symlink(file("song.flac"), file("other.wma"));
    run = plan({file("song.flac"), file("other.wav")});
    EXPECT_EQ(run.plans[1].action, Action::fail) << "other.wma leads to song.flac";
    request_.output_file = file("./song.flac");
    EXPECT_EQ(plan({file("other.wav"), file("song.flac")}).plans[0].error,
              "output " + file("./song.flac") + " is " + file("song.flac") +
                  ", an input of this run; refusing to overwrite it");
}

TEST_F(Planning, EveryNameGivenHasItsOwnOutputAndCollisionsAreGrouped) {
    for (const char* name : {"a.flac", "a.mp3", "a.ogg", "b.mp3"})
        touch(file(name));
    fs::create_symlink(file("b.mp3"), file("b-link.mp3"));
    fs::create_hard_link(file("b.mp3"), file("b-hard.mp3"));
    const RunPlan run = plan({file("a.flac"), file("a.mp3"), file("b.mp3"), file("a.ogg"),
                              file("b-link.mp3"), file("b-hard.mp3")});
    ASSERT_EQ(run.plans.size(), 6u);
    EXPECT_EQ(run.plans[0].action, Action::convert);
    EXPECT_TRUE(run.plans[1].announced);
    EXPECT_EQ(run.plans[1].error,
              "output " + file("a.wma") + " is also the output of " + file("a.flac"));
    EXPECT_EQ(run.plans[2].output, file("b.wma"));
    EXPECT_TRUE(run.plans[3].announced);
    EXPECT_EQ(run.plans[4].output, file("b-link.wma")) << "the same file by another name";
    EXPECT_EQ(run.plans[4].action, Action::convert);
    EXPECT_EQ(run.plans[5].output, file("b-hard.wma"));
    EXPECT_EQ(run.plans[5].action, Action::convert);
    ASSERT_EQ(run.collisions.size(), 1u) << "one collision, however many sources it has";
    EXPECT_EQ(run.collisions[0].inputs,
              (std::vector<std::string>{file("a.flac"), file("a.mp3"), file("a.ogg")}));
}

TEST_F(Planning, TwoPathsToOneOutputFolderCollide) {
    fs::create_directory(dir_.Path() / "real");
    fs::create_directory_symlink(dir_.Path() / "real", dir_.Path() / "alias");
    touch(file("real/a.flac"));
    touch(file("real/a.mp3"));
    const RunPlan run = plan({file("real/a.flac"), file("alias/a.mp3")});
    EXPECT_EQ(run.plans[0].action, Action::convert);
    EXPECT_EQ(run.plans[1].action, Action::fail) << "alias/a.wma is real/a.wma";
    EXPECT_TRUE(run.plans[1].announced);
}

TEST_F(Planning, ExistingOutputsAreReplacedKeptOrUpdatedByAge) {
    for (const char* name : {"old.flac", "new.flac", "fresh.flac"})
        touch(file(name));
    touch(file("old.wma"));
    touch(file("new.wma"));
    set_time(file("old.flac"), 4000);
    set_time(file("old.wma"), 3000); // older than its source: out of date
    set_time(file("new.flac"), 2000);
    set_time(file("new.wma"), 2000); // as old as its source: up to date
    fs::create_directory(dir_.Path() / "fresh.wma");
    const std::vector<std::string> inputs{file("old.flac"), file("new.flac"), file("fresh.flac")};

    RunPlan run = plan(inputs);
    EXPECT_TRUE(run.plans[0].replaces && run.plans[1].replaces);
    EXPECT_EQ(run.plans[2].error, "output " + file("fresh.wma") + " is a folder");

    request_.existing = ExistingOutput::keep;
    run = plan(inputs);
    EXPECT_EQ(run.plans[0].skip_reason, SkipReason::output_exists);
    EXPECT_EQ(run.plans[1].skip_reason, SkipReason::output_exists);
    EXPECT_TRUE(replaced_outputs(run.plans).empty());

    request_.existing = ExistingOutput::update;
    run = plan(inputs);
    EXPECT_EQ(run.plans[0].action, Action::convert);
    EXPECT_TRUE(run.plans[0].replaces);
    EXPECT_EQ(run.plans[1].skip_reason, SkipReason::output_up_to_date);
    EXPECT_EQ(replaced_outputs(run.plans), std::unordered_set<std::string>{file("old.wma")});
}

TEST_F(Planning, SourcesInTheOutputFormatAreCopiedUnlessAskedOtherwise) {
    fs::create_directories(dir_.Path() / "lib/A");
    touch(file("lib/A/x.WMA"));
    touch(file("lib/y.flac"));
    request_.output_dir = file("out");
    RunPlan run = plan({file("lib")});
    ASSERT_EQ(run.plans.size(), 2u);
    EXPECT_EQ(run.plans[0].action, Action::copy);
    EXPECT_EQ(run.plans[0].output, file("out/A/x.WMA")) << "the name is kept as it is";
    EXPECT_EQ(run.plans[1].action, Action::convert);
    request_.reencode = true;
    run = plan({file("lib")});
    EXPECT_EQ(run.plans[0].action, Action::convert);
    EXPECT_EQ(run.plans[0].output, file("out/A/x.wma"));
    request_.reencode = false;

    // An earlier result beside its source, in the mirrored tree too: the
    // source is converted, the old result passed over.
    touch(file("lib/y.wma"));
    run = plan({file("lib")});
    EXPECT_EQ(run.plans[1].action, Action::convert);
    EXPECT_EQ(run.plans[2].skip_reason, SkipReason::earlier_result);
    EXPECT_EQ(plan({file("lib/y.flac"), file("lib/y.wma")}).plans[1].action, Action::fail)
        << "named, it collides";

    // Walked in place, a .wma file is its own output: passed over, and an
    // earlier conversion beside its source is no input to protect.
    request_ = {std::nullopt, std::nullopt, "wma", ExistingOutput::replace, false};
    run = plan({file("lib")});
    EXPECT_EQ(run.plans[0].skip_reason, SkipReason::already_in_place);
    EXPECT_EQ(run.plans[1].action, Action::convert) << run.plans[1].error;
    EXPECT_EQ(run.plans[2].skip_reason, SkipReason::already_in_place);
}

TEST_F(Planning, FoldersAreMirroredAndMadeOnlyByARealRun) {
    touch(file("plain"));
    fs::create_directories(dir_.Path() / "lib/A/one");
    fs::create_directories(dir_.Path() / "lib/B");
    touch(file("lib/A/one/t1.flac"));
    touch(file("lib/B/t3.flac"));
    touch(file("t2.mp3"));
    request_.output_dir = file("out");
    RunPlan run = plan({file("lib"), file("t2.mp3")});
    EXPECT_EQ(run.plans[0].output, file("out/A/one/t1.wma"));
    EXPECT_EQ(run.plans[2].output, file("out/t2.wma"));
    prepare_output_folders(run.plans, *request_.output_dir, false);
    EXPECT_EQ(run.plans[0].error, "") << "a folder still to be made is not an error";
    EXPECT_FALSE(fs::exists(file("out"))) << "nothing is made without asking";
    prepare_output_folders(run.plans, *request_.output_dir, true);
    EXPECT_EQ(run.plans[0].error, "");
    EXPECT_TRUE(fs::is_directory(file("out/A/one")));
    EXPECT_TRUE(fs::is_directory(file("out/B")));

    request_.output_dir = file("plain");
    run = plan({file("lib"), file("t2.mp3")});
    prepare_output_folders(run.plans, *request_.output_dir, true);
    EXPECT_EQ(run.plans[0].error.rfind("cannot make output folder " + file("plain/A/one"), 0), 0u)
        << run.plans[0].error;
    EXPECT_EQ(run.plans[2].error, "output folder " + file("plain") + " is not a folder");
}

TEST(OutputFolders, AnUnwritableFolderIsNamedAndOnlyARealRunProbesIt) {
    // A kernel file system refuses new files even to the superuser.
    EXPECT_EQ(check_output_folder("/proc/a.wma").rfind("output folder /proc is not writable: ", 0),
              0u)
        << check_output_folder("/proc/a.wma");
    TemporaryFolder dir;
    touch(dir.File("plain"));
    EXPECT_EQ(check_output_folder(dir.File("plain/sub/a.wma")),
              "output folder " + dir.File("plain/sub") +
                  " does not exist: a part of its path is a file, not a folder");
    const auto before = fs::last_write_time(dir.Path());
    EXPECT_EQ(check_output_folder(dir.File("a.wma"), false), "");
    EXPECT_EQ(fs::last_write_time(dir.Path()), before) << "no probe without asking";
    EXPECT_EQ(check_output_folder(dir.File("a.wma")), "");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1)
        << "the probe file is gone";
    if (::geteuid() != 0) {
        fs::create_directory(dir.Path() / "locked");
        fs::permissions(dir.Path() / "locked", fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_NE(check_output_folder(dir.File("locked/a.wma"), false).find("is not writable"),
                  std::string::npos);
    }
}

} // namespace
} // namespace vantrel
