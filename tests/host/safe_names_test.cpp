// Names fit for FAT and exFAT devices: refused characters and trailing dots
// and spaces replaced, long names cut whole characters at a time with their
// extension kept, and the planner's use of them (folders below -d, file names,
// collisions between names that become one, or differ only in case).
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

#include "convert/output_paths.h"
#include "convert/safe_names.h"
#include "platform/unicode.h"
#include "test_support.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;
using testing::TemporaryFolder;

std::string repeated(const std::string& part, std::size_t times) {
    std::string text;
    for (std::size_t i = 0; i < times; ++i)
        text += part;
    return text;
}

TEST(SafeNames, RefusedCharactersAndTrailingDotsAndSpacesBecomeUnderscores) {
    EXPECT_EQ(device_safe_name("AC:DC"), "AC_DC");
    EXPECT_EQ(device_safe_name("Who*Made<Who>.wma"), "Who_Made_Who_.wma");
    EXPECT_EQ(device_safe_name(R"(a\b"c|d?e)"), "a_b_c_d_e");
    EXPECT_EQ(device_safe_name("tab\there\x7f"), "tab_here_");
    EXPECT_EQ(device_safe_name("bad\xff byte"), "bad_ byte") << "not UTF-8";
    EXPECT_EQ(device_safe_name("Live. "), "Live__");
    EXPECT_EQ(device_safe_name("..."), "___");
    EXPECT_EQ(device_safe_name(" Intro.wma"), " Intro.wma") << "only the end matters";
    // What the devices hold stays as it is.
    for (const char* kept : {"Ünïcødé name.wma", "日本語のタイトル", "🎵 emoji", "a.b,c;d=e[f]'g"})
        EXPECT_EQ(device_safe_name(kept), kept);
    EXPECT_EQ(device_safe_path("AC:DC/Live?/Disc 1."), "AC_DC/Live_/Disc 1_");
    EXPECT_EQ(device_safe_path(""), "");
}

TEST(SafeNames, LongNamesAreCutToTheLimitKeepingTheExtensionAndWholeCharacters) {
    const std::string ascii = device_safe_name(std::string(300, 'a') + ".wma", 4);
    EXPECT_EQ(ascii, std::string(251, 'a') + ".wma");
    EXPECT_EQ(device_safe_name(std::string(255, 'a')), std::string(255, 'a')) << "at the limit";
    // Three bytes a character: 83 of them fit beside ".wma" (249 + 4 bytes).
    EXPECT_EQ(device_safe_name(repeated("日", 100) + ".wma", 4), repeated("日", 83) + ".wma");
    // A letter is not parted from its combining accent ("e" + U+0301, 3 bytes).
    EXPECT_EQ(device_safe_name(repeated("e\u0301", 90) + ".wma", 4),
              repeated("e\u0301", 83) + ".wma");
    // Four-byte emoji: 62 fit in 251 bytes.
    const std::string emoji = device_safe_name(repeated("🎵", 70) + ".wma", 4);
    EXPECT_EQ(emoji, repeated("🎵", 62) + ".wma");
    for (const std::string& cut : {ascii, emoji})
        EXPECT_LE(cut.size(), kLongestSafeName);
    // A cut that ends in a space leaves no trailing space.
    EXPECT_EQ(device_safe_name(std::string(254, 'a') + "  tail"), std::string(254, 'a') + "_");
}

class SafePlanning : public ::testing::Test {
protected:
    TemporaryFolder dir_;
    OutputRequest request_{std::nullopt, std::nullopt, "wma", ExistingOutput::keep, false, true};

    std::string file(const std::string& name) const { return dir_.File(name); }
    void touch(const std::string& name) const {
        fs::create_directories(fs::path(file(name)).parent_path());
        std::ofstream(file(name)) << "x";
    }
    RunPlan plan(const std::vector<std::string>& inputs) const {
        return plan_outputs(expand_inputs(inputs, {"wma"}).found, request_);
    }
};

TEST_F(SafePlanning, FoldersBelowTheOutputAndFileNamesAreMadeSafeAndCollisionsReported) {
    touch("lib/AC:DC/Live?/Who*Made<Who>.flac");
    touch("lib/AC:DC/Live?/Who?Made<Who>.mp3");
    touch("lib/AC_DC/Live_/Who_Made_Who_.ogg");
    touch("lib/AC:DC/Live?/Hells Bells.wma");
    request_.output_dir = file("out:put");
    const RunPlan run = plan({file("lib")});
    ASSERT_EQ(run.plans.size(), 4u);
    // The folder given with -d is the user's own: kept as it is.
    EXPECT_EQ(run.plans[0].output, file("out:put/AC_DC/Live_/Hells Bells.wma"));
    EXPECT_EQ(run.plans[0].action, Action::copy);
    EXPECT_EQ(run.plans[1].output, file("out:put/AC_DC/Live_/Who_Made_Who_.wma"));
    EXPECT_EQ(run.plans[1].action, Action::convert);
    for (std::size_t i : {2u, 3u}) {
        EXPECT_EQ(run.plans[i].action, Action::fail);
        EXPECT_TRUE(run.plans[i].announced);
    }
    ASSERT_EQ(run.collisions.size(), 1u);
    EXPECT_EQ(run.collisions[0].output, file("out:put/AC_DC/Live_/Who_Made_Who_.wma"));
    EXPECT_EQ(run.collisions[0].inputs.size(), 3u);

    // Beside the input only the file's own name is the run's to make.
    request_.output_dir.reset();
    const RunPlan beside = plan({file("lib/AC:DC/Live?/Who*Made<Who>.flac")});
    EXPECT_EQ(beside.plans[0].output, file("lib/AC:DC/Live?/Who_Made_Who_.wma"));
    request_.safe_names = false;
    EXPECT_EQ(plan({file("lib/AC:DC/Live?/Who*Made<Who>.flac")}).plans[0].output,
              file("lib/AC:DC/Live?/Who*Made<Who>.wma"));
}

// FAT and exFAT take "Song.wma" and "song.wma" for one name.
TEST_F(SafePlanning, NamesThatDifferOnlyInCaseCollide) {
    touch("lib/Song.flac");
    touch("lib/song.mp3");
    touch("lib/other.ogg");
    fs::create_directories(file("out"));
    for (const char* out : {"out", "new"}) { // a folder that exists, one still to be made
        request_.output_dir = file(out);
        const RunPlan run = plan({file("lib")});
        ASSERT_EQ(run.plans.size(), 3u);
        EXPECT_EQ(run.plans[0].output, file(std::string(out) + "/Song.wma"));
        EXPECT_EQ(run.plans[2].action, Action::fail) << out;
        ASSERT_EQ(run.collisions.size(), 1u) << out;
        EXPECT_EQ(run.collisions[0].inputs,
                  (std::vector<std::string>{file("lib/Song.flac"), file("lib/song.mp3")}));
    }
    request_.safe_names = false;
    EXPECT_TRUE(plan({file("lib")}).collisions.empty()) << "without --safe-names, two names";
}

} // namespace
} // namespace vantrel
