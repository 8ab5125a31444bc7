// `cmake --install` as a person uses it: the build installed into a prefix,
// the prefix moved somewhere else, and the program run from another folder
// with nothing in its environment pointing at the build. Then its manual page
// and its bash completion, held against what `vantrel --help` offers.
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <regex>
#include <set>
#include <sstream>

#include "test_support.h"

namespace vantrel::testing {
namespace {

namespace fs = std::filesystem;

// The long options `vantrel --help` lists.
std::set<std::string> options_in_help(const std::string& help) {
    static const std::regex option(R"((--[a-z][a-z-]+))");
    std::set<std::string> found;
    for (std::sregex_iterator it(help.begin(), help.end(), option), end; it != end; ++it)
        found.insert((*it)[1]);
    return found;
}

class Installed : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = std::make_unique<TemporaryFolder>();
        const std::string staging = folder_->File("staging");
        install_status_ = RunCommand("cmake --install " + ShellQuote(BUILD_DIR) + " --prefix " +
                                     ShellQuote(staging));
        // The tree must not depend on where it was installed.
        std::error_code ec;
        fs::rename(staging, folder_->File("moved prefix"), ec);
        fs::create_directories(folder_->File("elsewhere"));
    }
    static void TearDownTestSuite() { folder_.reset(); }

    void SetUp() override {
        ASSERT_EQ(install_status_.status, 0) << install_status_.out << install_status_.err;
    }

    static std::string prefix(const std::string& name = "") {
        return folder_->File("moved prefix") + (name.empty() ? "" : "/" + name);
    }

    // The installed program, run in another folder with a clean environment.
    static CommandResult run(const std::string& arguments) {
        return RunCommand("cd " + ShellQuote(folder_->File("elsewhere")) +
                          " && env -u VANTREL_COMPONENTS -u LD_LIBRARY_PATH XDG_CONFIG_HOME=" +
                          ShellQuote(folder_->File("config")) + " " +
                          ShellQuote(prefix("bin/vantrel")) + " " + arguments);
    }

    // What bash completion offers for the words typed so far (the last one
    // being completed).
    static std::string complete(const std::string& words) {
        const std::string script =
            "source " + ShellQuote(prefix("share/bash-completion/completions/vantrel")) +
            "; COMP_WORDS=(" + words + "); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _vantrel; " +
            "printf '%s\\n' \"${COMPREPLY[@]}\"";
        return RunCommand("cd " + ShellQuote(folder_->File("elsewhere")) + " && bash -c " +
                          ShellQuote(script))
            .out;
    }

    static std::unique_ptr<TemporaryFolder> folder_;
    static CommandResult install_status_;
};

std::unique_ptr<TemporaryFolder> Installed::folder_;
CommandResult Installed::install_status_;

TEST_F(Installed, TheProgramItsLibrariesAndTheComponentLandInTheirFolders) {
    for (const std::string& file : std::vector<std::string>{
             "bin/vantrel", std::string(LIBDIR) + "/vantrel/libplatform.so",
             std::string(LIBDIR) + "/vantrel/libutf8api.so",
             std::string(LIBDIR) + "/vantrel/components/ostrel.so", "share/man/man1/vantrel.1",
             "share/bash-completion/completions/vantrel"})
        EXPECT_TRUE(fs::is_regular_file(prefix(file))) << file;
    // Every run path is relative to the file that holds it.
    for (const std::string& file :
         std::vector<std::string>{"bin/vantrel", std::string(LIBDIR) + "/vantrel/libutf8api.so",
                                  std::string(LIBDIR) + "/vantrel/components/ostrel.so"}) {
        const CommandResult r = RunCommand("readelf -d " + ShellQuote(prefix(file)));
        ASSERT_EQ(r.status, 0) << r.err;
        std::smatch paths;
        ASSERT_TRUE(std::regex_search(r.out, paths, std::regex(R"(R(UN)?PATH.*\[(.*)\])")))
            << file << "\n"
            << r.out;
        std::istringstream entries(paths[2].str());
        for (std::string entry; std::getline(entries, entry, ':');)
            EXPECT_TRUE(entry.starts_with("$ORIGIN")) << file << ": " << entry;
    }
}

TEST_F(Installed, RunsFromAnotherFolderAndConverts) {
    CommandResult r = run("--version");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "vantrel 1.0\n");
    r = run("components");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "WMA Encoder")) << r.out;
    EXPECT_TRUE(contains(r.out, prefix())) << "loaded from the installed tree: " << r.out;

    make_tone(folder_->File("elsewhere/song.wav"), 1.0, 44100, 2);
    r = run("convert --preset 5 song.wav");
    ASSERT_EQ(r.status, 0) << r.err;
    r = RunCommand("ffprobe -v error -show_entries stream=codec_name,bit_rate -of csv=p=0 " +
                   ShellQuote(folder_->File("elsewhere/song.wma")));
    EXPECT_TRUE(r.out.starts_with("wmav2,128")) << r.out << r.err;
}

TEST_F(Installed, TheManualPageCoversCommandsOptionsPresetsAndStatuses) {
    const std::string page = prefix("share/man/man1/vantrel.1");
    CommandResult r = RunCommand("groff -man -ww -z " + ShellQuote(page));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "") << "the page has no mistakes groff warns of";
    r = RunCommand("MANWIDTH=100 man -M " + ShellQuote(prefix("share/man")) + " vantrel | col -b");
    ASSERT_EQ(r.status, 0) << r.err;
    // Words as the page shows them, whatever spaces justified lines put between.
    const std::string text = std::regex_replace(r.out, std::regex(" {2,}"), " ");
    for (const char* section :
         {"SYNOPSIS", "COMMANDS", "OPTIONS", "PRESETS", "EXIT STATUS", "FILES", "ENVIRONMENT"})
        EXPECT_TRUE(contains(text, std::string("\n") + section + "\n")) << section;
    const std::string help = run("--help").out;
    for (const std::string& option : options_in_help(help))
        EXPECT_TRUE(contains(text, option)) << option << " is in --help, not in the page";
    // Each preset with what it encodes, in the words of --help.
    std::istringstream presets(help.substr(help.find("Presets:")));
    int listed = 0;
    for (std::string line; std::getline(presets, line);) {
        std::smatch preset;
        if (!std::regex_match(line, preset, std::regex(R"(  ([0-8])  (.*))")))
            continue;
        ++listed;
        EXPECT_TRUE(contains(text, preset[1].str() + " " + preset[2].str())) << line;
    }
    EXPECT_EQ(listed, 9) << help;
    for (const char* status : {"\n 0 ", "\n 1 ", "\n 2 ", "\n 129, 130, 143\n"})
        EXPECT_TRUE(contains(text, status)) << status;
    for (const char* variable : {"XDG_CONFIG_HOME", "VANTREL_COMPONENTS", "SOURCE_DATE_EPOCH"})
        EXPECT_TRUE(contains(text, variable)) << variable;
}

TEST_F(Installed, BashCompletesCommandsOptionsPresetsAndFiles) {
    EXPECT_EQ(complete("vantrel ''"),
              "convert\nsettings\ncomponents\ntags\n--components\n--help\n--version\n");
    EXPECT_EQ(complete("vantrel se"), "settings\n");
    EXPECT_EQ(complete("vantrel convert --pres"), "--preset\n");
    EXPECT_EQ(complete("vantrel convert --preset ''"), "0\n1\n2\n3\n4\n5\n6\n7\n8\n");
    EXPECT_EQ(complete("vantrel settings --preset 8"), "8\n");
    EXPECT_EQ(complete("vantrel settings --s"), "--show\n");
    // Every option of convert and settings that --help names is offered.
    const std::string help = run("--help").out;
    const std::string offered =
        complete("vantrel -") + complete("vantrel convert -") + complete("vantrel settings -");
    for (const std::string& option : options_in_help(help))
        EXPECT_TRUE(contains(offered, option + "\n")) << option;

    fs::create_directories(folder_->File("elsewhere/My Music"));
    std::ofstream(folder_->File("elsewhere/My Music/a song.flac")) << "x";
    std::ofstream(folder_->File("elsewhere/mine.prx")) << "x";
    std::ofstream(folder_->File("elsewhere/notes.txt")) << "x";
    EXPECT_EQ(complete("vantrel convert 'My Music/a'"), "My Music/a song.flac\n");
    EXPECT_EQ(complete("vantrel convert -d 'My'"), "My Music\n") << "only folders";
    EXPECT_EQ(complete("vantrel convert --profile m"), "mine.prx\n") << "folders and profiles";
}

} // namespace
} // namespace vantrel::testing
