// `vantrel settings` as a person uses it: the component's settings dialog runs
// in the terminal (a detached tmux session of 100 x 30), the slider moves with
// the arrow keys, OK stores the choice, and the next conversion uses it.
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <unistd.h>

#include "real_wma.h"
#include "tmux_terminal.h"

namespace vantrel::testing {
namespace {

namespace fs = std::filesystem;

constexpr char kSettingsFile[] =
    "config/vantrel/diskwriter-0741cabb-f7fa-4b3b-8e7c-b8e72a264d32.cfg";

// `vantrel settings` in a terminal of 100 x 30 on a tmux server of its own.
class SettingsDialog : public RealWma {
protected:
    std::optional<test_support::TmuxTerminal> terminal_;

    void SetUp() override {
        if (!test_support::TmuxTerminal::Available())
            GTEST_SKIP() << "tmux is not installed";
        RealWma::SetUp();
        terminal_.emplace("vantrel-settings-" + std::to_string(::getpid()));
    }

    void TearDown() override { terminal_.reset(); }

    // Starts `vantrel settings` in a fresh session; its standard output, error
    // output and exit status land in files of the test's folder.
    void start_dialog() {
        std::string command = "env XDG_CONFIG_HOME=" + ShellQuote(dir_.File("config")) +
                              " TERM=screen LANG=C.UTF-8 " + ShellQuote(vantrel_program()) +
                              " settings >" + ShellQuote(dir_.File("out.txt")) + " 2>" +
                              ShellQuote(dir_.File("err.txt")) + "; echo $? >" +
                              ShellQuote(dir_.File("status.txt"));
        fs::remove(dir_.File("status.txt"));
        CommandResult r = terminal_->Start(command, 100, 30);
        ASSERT_EQ(r.status, 0) << r.err;
    }

    void keys(const std::string& names) { terminal_->Keys(names); }
    bool screen_shows(std::initializer_list<std::string> parts,
                      std::initializer_list<std::string> absent = {}) {
        return terminal_->Shows(parts, absent);
    }
    const std::string& last_screen() const { return terminal_->LastScreen(); }

    // Waits (bounded) for the program to end; answers its exit status text.
    std::string finished() {
        test_support::TmuxTerminal::WaitFor(
            [&] { return !ReadFile(dir_.File("status.txt")).empty(); });
        return ReadFile(dir_.File("status.txt"));
    }
};

TEST_F(SettingsDialog, TheSliderChoosesThePresetThatTheNextConversionUses) {
    start_dialog();
    ASSERT_TRUE(screen_shows({"WMA encoder settings", "Quality:", "44kHz Stereo CBR 64kbps",
                              "CD-Quality? I hope not...", "Custom", "Load", "OK", "Cancel"}))
        << last_screen();

    keys("Right Right Right");
    ASSERT_TRUE(screen_shows({"44kHz Stereo CBR 128kbps", "May I recommend LAME -b 128?"}))
        << last_screen();
    keys("Left");
    ASSERT_TRUE(screen_shows({"44kHz Stereo CBR 96kbps", "Possibly this codec's sweet-spot"}))
        << last_screen();
    keys("Right");
    ASSERT_TRUE(screen_shows({"44kHz Stereo CBR 128kbps", "May I recommend LAME -b 128?"}))
        << last_screen();
    keys("Enter"); // the slider has the focus: Enter presses the default button, OK

    EXPECT_EQ(finished(), "0\n") << ReadFile(dir_.File("err.txt"));
    EXPECT_EQ(ReadFile(dir_.File("out.txt")), "Saved: 44kHz Stereo CBR 128kbps\n");
    EXPECT_EQ(ReadFile(dir_.File("err.txt")), "");
    EXPECT_EQ(ReadFile(dir_.File(kSettingsFile)), std::string("\x05\0\0\0\0\0\0\0", 8));

    make_tone(dir_.File("a.wav"), 4.0, 44100, 2);
    CommandResult r = vantrel({"convert", dir_.File("a.wav")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(probe(dir_.File("a.wma"), "stream=codec_name"), "wmav2\n");
    EXPECT_NEAR(probe_number(dir_.File("a.wma"), "stream=bit_rate"), 128000, 128000 * 0.01);

    // Moving the slider and leaving with Escape keeps the stored choice.
    start_dialog();
    ASSERT_TRUE(screen_shows({"44kHz Stereo CBR 128kbps"})) << last_screen();
    keys("Home");
    ASSERT_TRUE(screen_shows({"44kHz Stereo CBR 32kbps", "Please have mercy!"})) << last_screen();
    keys("Escape");
    EXPECT_EQ(finished(), "0\n") << ReadFile(dir_.File("err.txt"));
    EXPECT_EQ(ReadFile(dir_.File("out.txt")), "Settings unchanged: 44kHz Stereo CBR 128kbps\n");
    EXPECT_EQ(ReadFile(dir_.File(kSettingsFile)), std::string("\x05\0\0\0\0\0\0\0", 8));
}

TEST_F(SettingsDialog, TheCustomPositionNeedsAProfileText) {
    start_dialog();
    ASSERT_TRUE(screen_shows({"44kHz Stereo CBR 64kbps"})) << last_screen();
    keys("End");
    ASSERT_TRUE(screen_shows({"Custom Profile"})) << last_screen();
    keys("Enter");
    ASSERT_TRUE(screen_shows({"No custom profile data is loaded."})) << last_screen();
    keys("Enter");
    ASSERT_TRUE(screen_shows({"Custom Profile"}, {"No custom profile data"})) << last_screen();
    keys("Escape");
    EXPECT_EQ(finished(), "0\n") << ReadFile(dir_.File("err.txt"));
    EXPECT_TRUE(contains(ReadFile(dir_.File("out.txt")), "Settings unchanged: "))
        << ReadFile(dir_.File("out.txt"));
    EXPECT_FALSE(fs::exists(dir_.File(kSettingsFile)));
}

TEST_F(SettingsDialog, ATypedProfileThatCannotEncodeIsRefusedWithTheReasonAndNotSaved) {
    start_dialog();
    ASSERT_TRUE(screen_shows({"44kHz Stereo CBR 64kbps"})) << last_screen();
    keys("Tab Tab Tab"); // slider -> OK -> Cancel -> the custom text
    terminal_->Type("hello");
    ASSERT_TRUE(screen_shows({"Custom Profile", "hello"})) << last_screen();
    keys("BTab BTab"); // back to OK
    keys("Enter");
    ASSERT_TRUE(screen_shows({"The custom profile cannot be used"})) << last_screen();
    keys("Enter"); // the message goes, the dialog stays
    ASSERT_TRUE(screen_shows({"Custom Profile", "hello"}, {"cannot be used"})) << last_screen();
    keys("Escape");
    EXPECT_EQ(finished(), "0\n") << ReadFile(dir_.File("err.txt"));
    EXPECT_EQ(ReadFile(dir_.File("out.txt")), "Settings unchanged: 44kHz Stereo CBR 64kbps\n");
    EXPECT_FALSE(fs::exists(dir_.File(kSettingsFile)));

    // Conversions go on with the setting as it was.
    make_tone(dir_.File("a.wav"), 0.5, 44100, 2);
    CommandResult r = vantrel({"convert", dir_.File("a.wav")});
    EXPECT_EQ(r.status, 0) << r.err;
}

} // namespace
} // namespace vantrel::testing
