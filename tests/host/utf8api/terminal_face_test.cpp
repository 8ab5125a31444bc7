// The terminal face as a person uses it: the test dialog runs in a detached
// tmux session of 80 x 24, keys are sent to it and the screen is read back.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

std::string shell_quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string run_output(const std::string& command) {
    std::string output;
    FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
    if (!pipe)
        return output;
    std::array<char, 4096> buffer{};
    std::size_t n = 0;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        output.append(buffer.data(), n);
    pclose(pipe);
    return output;
}

bool tmux_available() {
    return std::system("tmux -V >/dev/null 2>&1") == 0;
}

// One detached tmux server of its own, so nothing else is disturbed; it is
// killed whatever happens.
class TerminalDialog : public ::testing::Test {
protected:
    void SetUp() override {
        if (!tmux_available())
            GTEST_SKIP() << "tmux is not installed";
        folder = fs::temp_directory_path() /
                 ("utf8api_tmux_" + std::to_string(getpid()) + "_" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(folder);
        socket = "utf8api-test-" + std::to_string(getpid());
        result_file = (folder / "result.txt").string();
        errors_file = (folder / "errors.txt").string();
        status_file = (folder / "status.txt").string();
    }

    void TearDown() override {
        if (!socket.empty())
            std::system((tmux() + " kill-server >/dev/null 2>&1").c_str());
        if (!folder.empty())
            fs::remove_all(folder);
    }

    std::string tmux() const { return "tmux -L " + socket + " -f /dev/null"; }

    void start(int start_position) {
        // The program's error output and exit status are kept, so that a
        // sanitizer report or a crash fails the test.
        const std::string command =
            shell_quote(TERMINAL_DIALOG_PROGRAM) + " " + shell_quote(result_file) + " " +
            std::to_string(start_position) + " 2>" + shell_quote(errors_file) + "; echo $? >" +
            shell_quote(status_file);
        const std::string launch = tmux() + " new-session -d -s dialog -x 80 -y 24 " +
                                   shell_quote("TERM=screen " + command);
        ASSERT_EQ(std::system(launch.c_str()), 0);
    }

    std::string screen() const { return run_output(tmux() + " capture-pane -p -t dialog"); }

    void keys(const std::string& names) const {
        std::system((tmux() + " send-keys -t dialog " + names).c_str());
    }
    void type(const std::string& literal) const {
        std::system((tmux() + " send-keys -t dialog -l " + shell_quote(literal)).c_str());
    }

    // Waits (at most ten seconds) until the screen shows all of `parts`.
    bool screen_shows(std::initializer_list<std::string> parts) {
        return wait_for([&] {
            last_screen = screen();
            for (const std::string& part : parts)
                if (last_screen.find(part) == std::string::npos)
                    return false;
            return true;
        });
    }

    static std::string read_file(const std::string& path) {
        std::ifstream in(path);
        std::stringstream content;
        content << in.rdbuf();
        return content.str();
    }

    // Waits for the program to end and answers what it wrote as its result;
    // it must have ended normally and quietly.
    std::string result() {
        wait_for([&] { return !read_file(status_file).empty(); });
        EXPECT_EQ(read_file(status_file), "0\n");
        EXPECT_EQ(read_file(errors_file), "");
        return read_file(result_file);
    }

    static bool wait_for(const std::function<bool()>& done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            if (done())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return done();
    }

    fs::path folder;
    std::string socket;
    std::string result_file;
    std::string errors_file;
    std::string status_file;
    std::string last_screen;
};

TEST_F(TerminalDialog, SliderTypingAndOkWorkFromTheKeyboard) {
    start(2);
    ASSERT_TRUE(screen_shows({"Test encoder settings", "Quality:", "Preset 2",
                              "Description of preset 2", "Custom", "Load", "OK", "Cancel"}))
        << last_screen;

    keys("Right");
    ASSERT_TRUE(screen_shows({"Preset 3", "Description of preset 3"})) << last_screen;
    keys("Left Left");
    ASSERT_TRUE(screen_shows({"Preset 1"})) << last_screen;

    // Slider -> OK -> Cancel -> text box.
    keys("Tab Tab Tab");
    type("<p name=\"Mine\">");
    keys("Enter");
    type("x");
    ASSERT_TRUE(screen_shows({"Custom Profile", "Mine", "<p name=\"Mine\">"})) << last_screen;
    keys("BSpace");

    // Back to the slider and Enter presses the default button.
    keys("BTab BTab BTab");
    keys("Enter");
    EXPECT_EQ(result(), "result=1 selected=9 custom=<p name=\"Mine\">\n");
}

TEST_F(TerminalDialog, MessageBoxShowsAndEscapeCancels) {
    start(4);
    ASSERT_TRUE(screen_shows({"Preset 4"})) << last_screen;
    keys("End");
    ASSERT_TRUE(screen_shows({"Custom Profile"})) << last_screen;
    // OK with an empty custom text is refused with a message box.
    keys("Tab Enter");
    ASSERT_TRUE(screen_shows({"No custom profile data is loaded.", "[ OK ]"})) << last_screen;
    keys("Enter");
    ASSERT_TRUE(wait_for([&] {
        last_screen = screen();
        return last_screen.find("No custom profile data") == std::string::npos;
    })) << last_screen;
    EXPECT_NE(last_screen.find("Custom Profile"), std::string::npos) << last_screen;
    keys("Escape");
    // OK stored the slider before it was refused; Cancel keeps that.
    EXPECT_EQ(result(), "result=0 selected=9 custom=");
}

TEST_F(TerminalDialog, LoadAsksForAPath) {
    const fs::path profile = folder / "mine.prx";
    std::ofstream(profile) << "<profile name=\"FromFile\"/>";
    start(0);
    ASSERT_TRUE(screen_shows({"Preset 0"})) << last_screen;
    // Slider -> OK -> Cancel -> text box -> Load.
    keys("Tab Tab Tab Tab Enter");
    ASSERT_TRUE(screen_shows({"Load Custom Profile", "Path:"})) << last_screen;
    type((folder / "missing").string());
    keys("Enter");
    ASSERT_TRUE(screen_shows({"File not found."})) << last_screen;
    keys("C-u"); // not an editing key: the typed path stays
    for (int i = 0; i < 7; ++i)
        keys("BSpace");
    type("mine");
    keys("Enter"); // the default extension completes the name
    ASSERT_TRUE(screen_shows({"Custom Profile", "FromFile"})) << last_screen;
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
    const std::string command = "setsid -w " + shell_quote(TERMINAL_DIALOG_PROGRAM) + " " +
                                shell_quote(result_file) + " 5 </dev/null >/dev/null 2>" +
                                shell_quote(errors_file);
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
