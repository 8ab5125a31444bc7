#include "diskwriter/profile_name.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ProfileName, IsTheQuotedValueOfTheFirstNameAttribute) {
    EXPECT_EQ(ExtractProfileName("<profile version=\"589824\" name=\"My profile\" "
                                 "description=\"d\">"),
              "My profile");
}

TEST(ProfileName, MatchesAnyAttributeEndingInNameWhenItComesFirst) {
    EXPECT_EQ(ExtractProfileName("<streamconfig streamname=\"Audio1\"><profile name=\"P\">"),
              "Audio1");
}

TEST(ProfileName, IsEmptyWithoutKeyOrClosingQuote) {
    EXPECT_EQ(ExtractProfileName(""), "");
    EXPECT_EQ(ExtractProfileName(nullptr), "");
    EXPECT_EQ(ExtractProfileName("<profile version=\"1\">"), "");
    EXPECT_EQ(ExtractProfileName("<profile Name=\"case matters\">"), "");
    EXPECT_EQ(ExtractProfileName("<profile name=\"never closed"), "");
    EXPECT_EQ(ExtractProfileName("name=\"\""), "");
}

TEST(ProfileName, TheByteAfterTheKeyIsSkippedWhateverItIs) {
    EXPECT_EQ(ExtractProfileName("name='x\"y\""), "x");
}

TEST(ProfileName, LooksOnlyAtTheFirst255Bytes) {
    const std::string padding(251, ' ');
    EXPECT_EQ(ExtractProfileName((std::string(240, ' ') + "name=\"Fits\"").c_str()), "Fits");
    EXPECT_EQ(ExtractProfileName((padding + "name=\"Too late\"").c_str()), "")
        << "the key does not fit in the window";
    EXPECT_EQ(ExtractProfileName((std::string(245, ' ') + "name=\"Long name\"").c_str()), "")
        << "the closing quote lies beyond the window";
}

TEST(ProfileName, AKeyAtTheVeryEndOfTheWindowGivesNothing) {
    // "name=" takes bytes 250 to 254: the window ends right after it.
    EXPECT_EQ(ExtractProfileName((std::string(250, ' ') + "name=\"Beyond\"").c_str()), "");
    EXPECT_EQ(ExtractProfileName("name="), "");
}

} // namespace
