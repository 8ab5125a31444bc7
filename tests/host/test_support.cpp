#include "test_support.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <sys/wait.h>

namespace vantrel::testing {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vantrel-host-XXXXXX").string();
    char* made = ::mkdtemp(pattern.data());
    if (!made)
        throw std::runtime_error("mkdtemp failed");
    path_ = made;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

std::string shell_quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

CommandResult run_command(const std::string& command, int seconds) {
    TempDir scratch;
    std::string out = scratch.file("out"), err = scratch.file("err");
    std::string line = "timeout -k 5 " + std::to_string(seconds) + " sh -c " +
                       shell_quote(command) + " </dev/null >" + shell_quote(out) + " 2>" +
                       shell_quote(err);
    int raw = std::system(line.c_str());
    CommandResult result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = read_file(out);
    result.err = read_file(err);
    return result;
}

std::string vantrel_program() {
    const char* bin = std::getenv("PROJECT_BIN_DIR");
    return std::string(bin ? bin : ".") + "/vantrel";
}

CommandResult run_vantrel(const std::vector<std::string>& arguments,
                          const std::vector<std::string>& environment, int seconds) {
    std::string command;
    for (const std::string& assignment : environment)
        command += assignment.substr(0, assignment.find('=') + 1) +
                   shell_quote(assignment.substr(assignment.find('=') + 1)) + " ";
    command += shell_quote(vantrel_program());
    for (const std::string& argument : arguments)
        command += " " + shell_quote(argument);
    return run_command(command, seconds);
}

void make_tone(const std::string& path, double seconds, int rate, int channels,
               const std::string& extra) {
    // The sine source runs for ever when its duration is 0; an empty file is cut with -t 0.
    std::string length = seconds > 0 ? std::to_string(seconds) : "1";
    std::string command = "ffmpeg -nostdin -loglevel error -y -f lavfi -i " +
                          shell_quote("sine=frequency=440:sample_rate=" + std::to_string(rate) +
                                      ":duration=" + length) +
                          " -ac " + std::to_string(channels) + (seconds > 0 ? " " : " -t 0 ") +
                          extra + " " + shell_quote(path);
    CommandResult result = run_command(command);
    ASSERT_EQ(result.status, 0) << command << "\n" << result.err;
}

std::string run_python(const std::string& script) {
    CommandResult result = run_command("/usr/bin/python3 -c " + shell_quote(script));
    EXPECT_EQ(result.status, 0) << script << "\n" << result.err;
    return result.out;
}

} // namespace vantrel::testing
