#include "commands.h"

#include "temporary_folder.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sys/wait.h>

namespace test_support {

std::string ShellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

CommandResult RunCommand(const std::string& command, int seconds) {
    TemporaryFolder scratch;
    const std::string out = scratch.File("out");
    const std::string err = scratch.File("err");
    const std::string line = "timeout -k 5 " + std::to_string(seconds) + " sh -c " +
                             ShellQuote(command) + " </dev/null >" + ShellQuote(out) + " 2>" +
                             ShellQuote(err);
    const int raw = std::system(line.c_str());
    CommandResult result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = ReadFile(out);
    result.err = ReadFile(err);
    return result;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace test_support
