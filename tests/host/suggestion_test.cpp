// Guessing what a person meant: distances between names, the closest known
// name, and presets named by their bit rate.
#include <gtest/gtest.h>

#include "cli/suggestion.h"

namespace vantrel {
namespace {

TEST(EditDistance, CountsInsertionsDeletionsReplacementsAndSwaps) {
    EXPECT_EQ(edit_distance("", ""), 0u);
    EXPECT_EQ(edit_distance("preset", "preset"), 0u);
    EXPECT_EQ(edit_distance("presett", "preset"), 1u);
    EXPECT_EQ(edit_distance("prset", "preset"), 1u);
    EXPECT_EQ(edit_distance("presit", "preset"), 1u);
    EXPECT_EQ(edit_distance("perset", "preset"), 1u) << "two neighbours swapped";
    EXPECT_EQ(edit_distance("", "abc"), 3u);
    EXPECT_EQ(edit_distance("kitten", "sitting"), 3u);
}

TEST(ClosestName, OnlyWhenCloseForItsLength) {
    const std::vector<std::string_view> names = {"--preset", "--profile", "--output",
                                                 "--output-dir", "--quiet"};
    EXPECT_EQ(closest_name("--presett", names), "--preset");
    EXPECT_EQ(closest_name("--profil", names), "--profile");
    EXPECT_EQ(closest_name("--outputdir", names), "--output-dir");
    EXPECT_EQ(closest_name("--ouput", names), "--output");
    EXPECT_EQ(closest_name("--preset", names), "") << "an exact name is no mistake";
    EXPECT_EQ(closest_name("--qq", names), "") << "too short to guess from";
    EXPECT_EQ(closest_name("--volume", names), "");
}

TEST(PresetMeant, BitRatesAndTheLosslessWord) {
    EXPECT_EQ(preset_meant("32"), 0);
    EXPECT_EQ(preset_meant("128"), 5);
    EXPECT_EQ(preset_meant("128k"), 5);
    EXPECT_EQ(preset_meant("128kbps"), 5);
    EXPECT_EQ(preset_meant("192KB/S"), 7);
    EXPECT_EQ(preset_meant("lossless"), 8);
    EXPECT_EQ(preset_meant("100"), std::nullopt);
    EXPECT_EQ(preset_meant("0"), std::nullopt) << "the lossless preset has no bit rate";
    EXPECT_EQ(preset_meant("128x"), std::nullopt);
    EXPECT_EQ(preset_meant(""), std::nullopt);
}

} // namespace
} // namespace vantrel
