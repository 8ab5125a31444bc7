// The progress display as a person sees it: vantrel converts a small library
// with Japanese, accented and emoji names, two tracks at a time, in a tmux
// terminal of 40, 80 and 200 columns, and is resized while it runs. The
// stand-in writer holds every track after its first chunk until the test lets
// go, so the display can be read at leisure.
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <unistd.h>

#include "test_support.h"
#include "tmux_terminal.h"

namespace vantrel::testing {
namespace {

namespace fs = std::filesystem;
using test_support::TmuxTerminal;

// The names of a library as people have them: wide characters, an accent made
// of a letter and a combining mark, emoji.
const char* const kTracks[] = {
    "日本語のアルバム/01 - 東京の夜は長い、そして静かに眠る街の歌.wav",
    "Café del Mar/02 - Déjà vu (Cafe\xCC\x81 remix, extended version).wav",
    "🎵 Emoji/03 - 🎸🎶 Guitar Song For A Very Long Night 🎤.wav",
};

// The screen's rows without their trailing blanks.
std::vector<std::string> rows_of(const std::string& screen) {
    std::vector<std::string> rows;
    std::istringstream lines(screen);
    std::string line;
    while (std::getline(lines, line)) {
        line.erase(line.find_last_not_of(' ') + 1);
        rows.push_back(line);
    }
    while (!rows.empty() && rows.back().empty())
        rows.pop_back();
    return rows;
}

class ProgressDisplay : public ::testing::Test {
protected:
    TemporaryFolder dir_;
    std::optional<TmuxTerminal> terminal_;

    void SetUp() override {
        if (!TmuxTerminal::Available())
            GTEST_SKIP() << "tmux is not installed";
        for (const char* track : kTracks) {
            fs::create_directories(fs::path(dir_.File("library")) / fs::path(track).parent_path());
            make_tone(dir_.File("library/" + std::string(track)), 5.0, 44100, 2);
        }
        std::ofstream(dir_.File("gate")) << "closed";
        // The stand-in alone, without the broken library beside it in its folder.
        fs::create_directories(dir_.File("components"));
        fs::create_symlink(fs::path(STAND_IN_COMPONENTS) / "stand_in_writer.so",
                           dir_.File("components/stand_in_writer.so"));
        terminal_.emplace("vantrel-progress-" + std::to_string(::getpid()));
    }

    void TearDown() override { terminal_.reset(); }

    void start(int columns) {
        const std::string command =
            "env LANG=C.UTF-8 TERM=screen VANTREL_STAND_IN_GATE=" + ShellQuote(dir_.File("gate")) +
            " XDG_CONFIG_HOME=" + ShellQuote(dir_.File("config")) + " " +
            ShellQuote(vantrel_program()) + " convert --components " +
            ShellQuote(dir_.File("components")) + " -j 2 -d " + ShellQuote(dir_.File("out")) + " " +
            ShellQuote(dir_.File("library")) + "; echo status=$?; sleep 120";
        const CommandResult started = terminal_->Start(command, columns, 24);
        ASSERT_EQ(started.status, 0) << started.err;
    }

    // Waits (bounded) until the display is whole: its two tracks and one line
    // for the run, the time left in full, and no line wrapped by the terminal.
    // Answers the screen's rows, the first track's row first: the two tracks
    // may start in either order. `shown`: a text the display must hold too.
    std::vector<std::string> settled_display(const std::string& shown = "") {
        static const std::regex time_left("about [0-9]+:[0-9][0-9] left");
        std::string screen;
        const bool settled = TmuxTerminal::WaitFor([&] {
            screen = terminal_->Screen();
            return count(screen, ".wav") == 2 && count(screen, "tracks") == 1 &&
                   contains(screen, shown) && std::regex_search(screen, time_left) &&
                   rows_of(screen) == rows_of(terminal_->JoinedScreen());
        });
        EXPECT_TRUE(settled) << screen << "\n(joined)\n" << terminal_->JoinedScreen();
        std::vector<std::string> rows = rows_of(screen);
        if (rows.size() > 1 && contains(rows[1], "01 - "))
            std::swap(rows[0], rows[1]);
        return rows;
    }

    void finish() {
        fs::remove(dir_.File("gate"));
        EXPECT_TRUE(terminal_->Shows({"status=0"})) << terminal_->LastScreen();
    }
};

TEST_F(ProgressDisplay, WideNamesFitAt80ColumnsAndKeepTheirEnds) {
    start(80);
    const std::vector<std::string> rows = settled_display();
    ASSERT_EQ(rows.size(), 3u) << ::testing::PrintToString(rows);
    // Two tracks at once, each shortened where that costs least and ending
    // with the end of its name.
    EXPECT_TRUE(contains(rows[0], "…/01 - 東京の夜は長い、そして静かに眠る街の歌.wav")) << rows[0];
    EXPECT_TRUE(contains(rows[1], "Cafe\xCC\x81 remix, extended version).wav")) << rows[1];
    for (std::size_t i = 0; i < 2; ++i)
        EXPECT_TRUE(std::regex_search(rows[i], std::regex(R"(\[[#-]+\] +[0-9]+%$)"))) << rows[i];
    EXPECT_TRUE(std::regex_search(rows[2], std::regex(R"(^\[[#-]+\] +[0-9]+%  0/3 tracks)")))
        << rows[2];
    finish();
    EXPECT_TRUE(contains(terminal_->LastScreen(), "3 tracks written")) << terminal_->LastScreen();
    EXPECT_FALSE(contains(terminal_->LastScreen(), " left")) << "the display is cleared at the end";
}

TEST_F(ProgressDisplay, At40ColumnsNamesAreCutInTheMiddleAndTheTimeLeftStaysWhole) {
    start(40);
    const std::vector<std::string> rows = settled_display();
    ASSERT_EQ(rows.size(), 3u) << ::testing::PrintToString(rows);
    // The start and the end of each file name, the bar and the share beside them.
    EXPECT_TRUE(rows[0].starts_with("  01 - 東京")) << rows[0];
    EXPECT_TRUE(contains(rows[0], "…") && contains(rows[0], "歌.wav [")) << rows[0];
    EXPECT_TRUE(rows[1].starts_with("  02 - D")) << rows[1];
    EXPECT_TRUE(std::regex_search(rows[1], std::regex(R"(….*\.wav +\[)"))) << rows[1];
    EXPECT_TRUE(std::regex_search(
        rows[2], std::regex(R"(^ +[0-9]+%  0/3 tracks  (.*  )?about [0-9]+:[0-9]{2} left$)")))
        << rows[2];
    finish();
}

TEST_F(ProgressDisplay, At200ColumnsWholeNamesAndEveryFigureShow) {
    start(200);
    const std::vector<std::string> rows = settled_display();
    ASSERT_EQ(rows.size(), 3u) << ::testing::PrintToString(rows);
    EXPECT_TRUE(contains(rows[0], dir_.File("library/") + kTracks[0])) << rows[0];
    EXPECT_TRUE(contains(rows[1], dir_.File("library/") + kTracks[1])) << rows[1];
    EXPECT_TRUE(std::regex_search(
        rows[2],
        std::regex(
            R"(^\[[#-]{20}\] +[0-9]+%  0/3 tracks  0:[0-9]{2} audio in [0-9]+:[0-9]{2}  [0-9.]+x  about )")))
        << rows[2];
    finish();
}

TEST_F(ProgressDisplay, ResizingRedrawsTheDisplayWithoutStrayLines) {
    start(120);
    settled_display();
    // Narrower: the terminal wraps the lines drawn for 120 columns; the
    // display is drawn again for 40 and nothing of the old one stays.
    terminal_->Resize(40, 24);
    std::vector<std::string> rows = settled_display("東京…");
    EXPECT_EQ(rows.size(), 3u) << ::testing::PrintToString(rows);
    // Wider: drawn again with the whole names.
    terminal_->Resize(200, 24);
    rows = settled_display(dir_.File("library/") + kTracks[0]);
    EXPECT_EQ(rows.size(), 3u) << ::testing::PrintToString(rows);
    EXPECT_TRUE(contains(rows[0], dir_.File("library/") + kTracks[0])) << rows[0];
    finish();
    // What stays: the three "a -> b" lines and the summary, nothing of the display.
    const std::string screen = terminal_->JoinedScreen();
    EXPECT_EQ(count(screen, ".wav"), 3) << screen;
    EXPECT_EQ(count(screen, "tracks"), 1) << screen;
    EXPECT_FALSE(contains(screen, "[#")) << screen;
}

} // namespace
} // namespace vantrel::testing
