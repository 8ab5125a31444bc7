// Permissions, as an ordinary user meets them: a folder or a file the user
// may not read is named, counted as failed and sets the exit status; the rest
// of the library is written. Run as the user "nobody" when the tests run as
// the superuser (whom permissions do not bind).
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

#include "stand_in_run.h"

namespace vantrel::testing {
namespace {

namespace fs = std::filesystem;

class Permissions : public StandInRun {
protected:
    // The command line as an ordinary user; empty when there is no way to be one.
    std::string as_ordinary_user(const std::string& command) const {
        if (::geteuid() != 0)
            return command;
        if (RunCommand("setpriv --reuid=nobody --regid=nogroup --clear-groups true").status != 0)
            return {};
        return "setpriv --reuid=nobody --regid=nogroup --clear-groups env " + command;
    }

    void TearDown() override {
        std::error_code ignored;
        for (const char* locked : {"lib/locked", "lib/secret.wav"})
            fs::permissions(dir_.File(locked), fs::perms::owner_all, ignored);
    }
};

TEST_F(Permissions, WhatCannotBeReadIsNamedAndCountedAsFailed) {
    fs::create_directories(dir_.Path() / "lib/locked");
    make_tone(dir_.File("lib/open.wav"), 0.2, 44100, 1);
    make_tone(dir_.File("lib/secret.wav"), 0.2, 44100, 1);
    make_tone(dir_.File("lib/locked/inside.wav"), 0.2, 44100, 1);
    const std::string command =
        as_ordinary_user(command_line({"convert", "-d", dir_.File("out"), dir_.File("lib")}));
    if (command.empty())
        GTEST_SKIP() << "cannot run as an ordinary user here (setpriv is missing or refused)";
    if (::geteuid() == 0)
        RunCommand("chown -R nobody:nogroup " + ShellQuote(dir_.Path().string()));
    fs::permissions(dir_.Path(), fs::perms::owner_all | fs::perms::group_read |
                                     fs::perms::group_exec | fs::perms::others_read |
                                     fs::perms::others_exec);
    fs::permissions(dir_.File("lib/locked"), fs::perms::none);
    fs::permissions(dir_.File("lib/secret.wav"), fs::perms::none);

    CommandResult r = RunCommand(command);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_TRUE(fs::is_regular_file(dir_.File("out/open.wma"))) << r.err;
    EXPECT_FALSE(fs::exists(dir_.File("out/secret.wma")));
    EXPECT_TRUE(contains(r.err, "vantrel: 1 track written, 2 failed")) << r.err;
    EXPECT_TRUE(contains(r.err, "\n  " + dir_.File("lib/locked") +
                                    ": cannot read the folder: Permission denied\n"))
        << r.err;
    EXPECT_TRUE(contains(r.err, "\n  " + dir_.File("lib/secret.wav") +
                                    ": cannot open: Permission denied\n"))
        << r.err;
}

} // namespace
} // namespace vantrel::testing
