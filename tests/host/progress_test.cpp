// The progress display's text: columns measured as a terminal draws them, names
// shortened in the middle, and the lines laid out for narrow and wide terminals.
#include <gtest/gtest.h>

#include "progress/progress_layout.h"
#include "progress/screen_text.h"

namespace vantrel {
namespace {

const std::string kCombiningAcute = "\xCC\x81"; // U+0301

TEST(CharWidth, FollowsTheTerminalRules) {
    EXPECT_EQ(char_width(U'a'), 1);
    EXPECT_EQ(char_width(U'é'), 1);
    EXPECT_EQ(char_width(0x0301), 0) << "combining acute accent";
    EXPECT_EQ(char_width(0x200D), 0) << "zero-width joiner";
    EXPECT_EQ(char_width(0xFE0F), 0) << "variation selector";
    EXPECT_EQ(char_width(0x1160), 0) << "Hangul vowel that joins its syllable";
    EXPECT_EQ(char_width(U'日'), 2);
    EXPECT_EQ(char_width(U'가'), 2);
    EXPECT_EQ(char_width(0xFF21), 2) << "full-width A";
    EXPECT_EQ(char_width(0x1F3B5), 2) << "musical note emoji";
    EXPECT_EQ(char_width(0x2600), 1) << "sun, drawn as text by default";
    EXPECT_EQ(char_width(0x00AD), 1) << "soft hyphen";
    EXPECT_EQ(char_width(0x0600), 1) << "Arabic number sign";
    EXPECT_EQ(char_width(0x2A6DF), 2) << "ideograph beyond the first plane";
    EXPECT_EQ(char_width(0x0378), 1) << "unassigned";
    EXPECT_EQ(char_width(0x9FFF), 2) << "unassigned, in a block of ideographs";
}

TEST(TextWidth, CountsColumnsNotCharactersOrBytes) {
    EXPECT_EQ(text_width(""), 0u);
    EXPECT_EQ(text_width("Cafe" + kCombiningAcute), 4u);
    EXPECT_EQ(text_width("日本語"), 6u);
    EXPECT_EQ(text_width("🎵 Song"), 7u);
    EXPECT_EQ(text_width("a\xE2\x80\x8D"
                         "b"),
              2u);
}

TEST(Printable, ReplacesWhatWouldDisturbTheScreen) {
    EXPECT_EQ(printable("a\nb\tc\x1b[2J"), "a?b?c?[2J");
    EXPECT_EQ(printable("bad \xFF byte"), "bad \xEF\xBF\xBD byte");
    EXPECT_EQ(printable("\xC2\x9B"
                        "x"),
              "?x")
        << "C1 control";
    EXPECT_EQ(printable("Déjà vu 日本 🎵"), "Déjà vu 日本 🎵");
}

TEST(FitMiddle, KeepsBothEndsWithinTheColumns) {
    EXPECT_EQ(fit_middle("short", 10), "short");
    EXPECT_EQ(fit_middle("abcdefghij", 5), "ab…ij");
    EXPECT_EQ(fit_middle("abcdefghij", 6), "ab…hij") << "the end keeps the larger half";
    EXPECT_EQ(fit_middle("abcdefghij", 1), "…");
    EXPECT_EQ(fit_middle("abcdefghij", 0), "");
    // A wide character never straddles the limit.
    EXPECT_EQ(fit_middle("日本語のタイトル", 7), "日…トル");
    EXPECT_EQ(text_width(fit_middle("日本語のタイトル", 8)), 7u);
    // A letter keeps its combining mark.
    const std::string e = "e" + kCombiningAcute;
    EXPECT_EQ(fit_middle(e + e + e + e + e, 3), e + "…" + e);
    // The parts of a composed emoji stay together.
    const std::string family = "👨\xE2\x80\x8D👩\xE2\x80\x8D👧";
    EXPECT_EQ(fit_middle("ab" + family + "cdefgh", 8), "ab…defgh");
    EXPECT_EQ(fit_middle("xy" + family + "abcdefghijkl", 17), "xy" + family + "…efghijkl");
    // Room the end cannot use goes to the start.
    EXPECT_EQ(fit_middle("abcdefgh" + family + "xy", 12), "abcdefgh…xy");
}

TEST(FitPath, DropsLeadingFoldersBeforeCuttingTheName) {
    const std::string path = "/home/someone/Music/Artist/Album/01 - Title.flac";
    EXPECT_EQ(fit_path(path, 100), path);
    EXPECT_EQ(fit_path(path, 35), "…/Artist/Album/01 - Title.flac");
    EXPECT_EQ(fit_path(path, 22), "…/01 - Title.flac");
    EXPECT_EQ(fit_path(path, 12), "01 - …e.flac");
    EXPECT_EQ(fit_path("plain name.flac", 8), "pla…flac");
    EXPECT_EQ(fit_path("日本/東京の歌.wav", 14), "…/東京の歌.wav");
    EXPECT_EQ(fit_path("日本/東京の歌.wav", 13), "東京の歌.wav");
}

TEST(PadTo, FillsByColumns) {
    EXPECT_EQ(pad_to("日本", 6), "日本  ");
    EXPECT_EQ(pad_to("toolong", 3), "toolong");
}

std::size_t widest(const std::vector<std::string>& lines) {
    std::size_t most = 0;
    for (const std::string& line : lines)
        most = std::max(most, text_width(line));
    return most;
}

class ProgressLines : public ::testing::TestWithParam<std::size_t> {};

TEST_P(ProgressLines, FitTheTerminalAndKeepTheTimeLeftWhole) {
    const std::size_t columns = GetParam();
    const std::vector<TrackProgress> tracks = {
        {"/music/日本語のアルバム/01 - 東京の夜は長い、そして静かに眠る街の歌.flac", 0.25},
        {"/music/Café/02 - Déjà vu (Cafe\xCC\x81 remix).flac", 0.5},
        {"/music/🎵/03 - 🎸🎶 Guitar Song 🎤.flac", 1.0},
        {"bad\nname\xFF.wav", 0}};
    const RunProgress run{40, 12, 0.33, 3725, 600};
    const std::vector<std::string> lines = progress_lines(tracks, run, columns, 24);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_LT(widest(lines), columns);
    EXPECT_TRUE(lines.back().ends_with("about 20:18 left")) << lines.back();
    EXPECT_NE(lines.back().find(" 33%"), std::string::npos) << lines.back();
    EXPECT_NE(lines[0].find("歌.flac"), std::string::npos) << lines[0];
    EXPECT_NE(lines[2].find("🎤.flac"), std::string::npos) << lines[2];
    EXPECT_NE(lines[2].find("100%"), std::string::npos) << lines[2];
    EXPECT_EQ(lines[3].find('\n'), std::string::npos)
        << "a control character would break the display";
    if (columns >= 80) {
        EXPECT_NE(lines.back().find("12/40 tracks"), std::string::npos) << lines.back();
        EXPECT_NE(lines.back().find("1:02:05 audio in 10:00"), std::string::npos) << lines.back();
        EXPECT_NE(lines.back().find("6.2x"), std::string::npos) << lines.back();
    }
    if (columns >= 200) {
        EXPECT_NE(lines[0].find(tracks[0].name), std::string::npos) << lines[0];
    }
}

INSTANTIATE_TEST_SUITE_P(Widths, ProgressLines, ::testing::Values(40, 80, 120, 200));

TEST(ProgressLinesSmall, MoreTracksThanRowsAreCounted) {
    std::vector<TrackProgress> tracks(30, TrackProgress{"track.flac", 0.5});
    const std::vector<std::string> lines =
        progress_lines(tracks, RunProgress{30, 0, 0.5, 1, 1}, 80, 10);
    ASSERT_EQ(lines.size(), 9u) << "one row stays for the cursor";
    EXPECT_EQ(lines[7], "  … and 23 more");
}

TEST(ProgressLinesSmall, ANarrowTerminalDropsTheBarsBeforeTheTimeLeft) {
    const RunProgress run{4, 1, 0.5, 60, 30};
    const std::vector<std::string> lines = progress_lines({{"name.flac", 0.5}}, run, 24, 24);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "  name.flac         50%");
    EXPECT_EQ(lines[1], " 50%  about 0:30 left");
}

TEST(RemainingTime, FollowsTheRateOfTheWholeRun) {
    EXPECT_EQ(remaining_time(0.25, 60), "about 3:00 left");
    EXPECT_EQ(remaining_time(0.5, 10), "about 0:10 left");
    EXPECT_EQ(remaining_time(0.005, 60), "") << "too early to tell";
    EXPECT_EQ(remaining_time(0.5, 1), "") << "too early to tell";
    EXPECT_EQ(remaining_time(1.0, 60), "") << "nothing left";
}

TEST(FormatDuration, MinutesAndHours) {
    EXPECT_EQ(format_duration(0), "0:00");
    EXPECT_EQ(format_duration(65.9), "1:05");
    EXPECT_EQ(format_duration(3725), "1:02:05");
    EXPECT_EQ(format_duration(-3), "0:00");
}

} // namespace
} // namespace vantrel
