// The terminal face as a person uses it: the test dialog runs in a detached
// tmux session of 80 x 24, keys are sent to it and the screen is read back.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <unistd.h>

#include "tmux_terminal.h"

namespace {

namespace fs = std::filesystem;
using test_support::ReadFile;
using test_support::ShellQuote;
using test_support::TmuxTerminal;

// The test dialog program in a terminal of 80 x 24 on a tmux server of its own.
class TerminalDialog : public ::testing::Test {
protected:
    void SetUp() override {
        if (!TmuxTerminal::Available())
            GTEST_SKIP() << "tmux is not installed";
        folder = fs::temp_directory_path() /
                 ("utf8api_tmux_" + std::to_string(getpid()) + "_" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(folder);
        terminal.emplace("utf8api-test-" + std::to_string(getpid()));
        result_file = (folder / "result.txt").string();
        errors_file = (folder / "errors.txt").string();
        status_file = (folder / "status.txt").string();
    }

    void TearDown() override {
        terminal.reset();
        if (!folder.empty())
            fs::remove_all(folder);
    }

    void start(int start_position) {
        // The program's error output and exit status are kept, so that a
        // sanitizer report or a crash fails the test.
        const std::string command = "TERM=screen " + ShellQuote(TERMINAL_DIALOG_PROGRAM) + " " +
                                    ShellQuote(result_file) + " " + std::to_string(start_position) +
                                    " 2>" + ShellQuote(errors_file) + "; echo $? >" +
                                    ShellQuote(status_file);
        const auto started = terminal->Start(command, 80, 24);
        ASSERT_EQ(started.status, 0) << started.err;
    }

    void keys(const std::string& names) const { terminal->Keys(names); }
    void type(const std::string& literal) const { terminal->Type(literal); }
    bool screen_shows(std::initializer_list<std::string> parts,
                      std::initializer_list<std::string> absent = {}) {
        return terminal->Shows(parts, absent);
    }
    const std::string& last_screen() const { return terminal->LastScreen(); }

    // Waits for the program to end and answers what it wrote as its result;
    // it must have ended normally and quietly.
    std::string result() {
        TmuxTerminal::WaitFor([&] { return !ReadFile(status_file).empty(); });
        EXPECT_EQ(ReadFile(status_file), "0\n");
        EXPECT_EQ(ReadFile(errors_file), "");
        return ReadFile(result_file);
    }

    fs::path folder;
    std::optional<TmuxTerminal> terminal;
    std::string result_file;
    std::string errors_file;
    std::string status_file;
};

TEST_F(TerminalDialog, SliderTypingAndOkWorkFromTheKeyboard) {
    start(2);
    ASSERT_TRUE(screen_shows({"Test encoder settings", "Quality:", "Preset 2",
                              "Description of preset 2", "Custom", "Load", "OK", "Cancel"}))
        << last_screen();

    keys("Right");
    ASSERT_TRUE(screen_shows({"Preset 3", "Description of preset 3"})) << last_screen();
    keys("Left Left");
    ASSERT_TRUE(screen_shows({"Preset 1"})) << last_screen();

    // Slider -> OK -> Cancel -> text box.
    keys("Tab Tab Tab");
    type("<p name=\"Mine\">");
    keys("Enter");
    type("x");
    ASSERT_TRUE(screen_shows({"Custom Profile", "Mine", "<p name=\"Mine\">"})) << last_screen();
    keys("BSpace");

    // Back to the slider and Enter presses the default button.
    keys("BTab BTab BTab");
    keys("Enter");
    EXPECT_EQ(result(), "result=1 selected=9 custom=<p name=\"Mine\">\n");
}

TEST_F(TerminalDialog, MessageBoxShowsAndEscapeCancels) {
    start(4);
    ASSERT_TRUE(screen_shows({"Preset 4"})) << last_screen();
    keys("End");
    ASSERT_TRUE(screen_shows({"Custom Profile"})) << last_screen();
    // OK with an empty custom text is refused with a message box.
    keys("Tab Enter");
    ASSERT_TRUE(screen_shows({"No custom profile data is loaded.", "[ OK ]"})) << last_screen();
    keys("Enter");
    ASSERT_TRUE(screen_shows({"Custom Profile"}, {"No custom profile data"})) << last_screen();
    keys("Escape");
    // OK stored the slider before it was refused; Cancel keeps that.
    EXPECT_EQ(result(), "result=0 selected=9 custom=");
}

TEST_F(TerminalDialog, LoadAsksForAPath) {
    const fs::path profile = folder / "mine.prx";
    std::ofstream(profile) << "<profile name=\"FromFile\"/>";
    start(0);
    ASSERT_TRUE(screen_shows({"Preset 0"})) << last_screen();
    // Slider -> OK -> Cancel -> text box -> Load.
    keys("Tab Tab Tab Tab Enter");
    ASSERT_TRUE(screen_shows({"Load Custom Profile", "Path:"})) << last_screen();
    type((folder / "missing").string());
    keys("Enter");
    ASSERT_TRUE(screen_shows({"File not found."})) << last_screen();
    keys("C-u"); // not an editing key: the typed path stays
    for (int i = 0; i < 7; ++i)
        keys("BSpace");
    type("mine");
    keys("Enter"); // the default extension completes the name
    ASSERT_TRUE(screen_shows({"Custom Profile", "FromFile"})) << last_screen();
    keys("Escape");
    EXPECT_EQ(result(), "result=0 selected=0 custom=");
}

} // namespace

namespace {

// Without a controlling terminal the dialog cannot be shown: it is cancelled
// with a word on standard error instead of waiting for nobody.
TEST(TerminalWithoutTerminal, CancelsTheDialogAndSaysWhy) {
    if (std::system("command -v setsid >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "setsid is not installed";
    const fs::path folder =
        fs::temp_directory_path() / ("utf8api_notty_" + std::to_string(getpid()));
    fs::create_directories(folder);
    const std::string result_file = (folder / "result.txt").string();
    const std::string errors_file = (folder / "errors.txt").string();
    const std::string command = "setsid -w " + ShellQuote(TERMINAL_DIALOG_PROGRAM) + " " +
                                ShellQuote(result_file) + " 5 </dev/null >/dev/null 2>" +
                                ShellQuote(errors_file);
    const int status = std::system(command.c_str());
    std::ifstream result_in(result_file);
    std::string result;
    std::getline(result_in, result);
    std::ifstream errors_in(errors_file);
    std::string errors;
    std::getline(errors_in, errors);
    fs::remove_all(folder);

    EXPECT_EQ(status, 0);
    EXPECT_EQ(result, "result=0 selected=5 custom=");
    EXPECT_NE(errors.find("needs a terminal"), std::string::npos) << errors;
}

} // namespace
