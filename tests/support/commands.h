// Running programs from tests through the shell, with a time limit, and
// reading whole files.
#pragma once

#include <string>

namespace test_support {

struct CommandResult {
    int status = -1; // exit status; 124 when the time limit ended it
    std::string out;
    std::string err;
};

// `text` quoted for the shell.
std::string ShellQuote(const std::string& text);

// Runs `command` through the shell, without standard input, with at most
// `seconds` to finish.
CommandResult RunCommand(const std::string& command, int seconds = 120);

// The file's bytes; empty when it cannot be read.
std::string ReadFile(const std::string& path);

} // namespace test_support
