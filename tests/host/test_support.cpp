#include "test_support.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace vantrel::testing {

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

int count(const std::string& text, const std::string& part) {
    int found = 0;
    for (auto at = text.find(part); !part.empty() && at != std::string::npos;
         at = text.find(part, at + part.size()))
        ++found;
    return found;
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
                   ShellQuote(assignment.substr(assignment.find('=') + 1)) + " ";
    command += ShellQuote(vantrel_program());
    for (const std::string& argument : arguments)
        command += " " + ShellQuote(argument);
    return RunCommand(command, seconds);
}

void make_tone(const std::string& path, double seconds, int rate, int channels,
               const std::string& extra) {
    // The sine source runs for ever when its duration is 0; an empty file is cut with -t 0.
    std::string length = seconds > 0 ? std::to_string(seconds) : "1";
    std::string command = "ffmpeg -nostdin -loglevel error -y -f lavfi -i " +
                          ShellQuote("sine=frequency=440:sample_rate=" + std::to_string(rate) +
                                     ":duration=" + length) +
                          " -ac " + std::to_string(channels) + (seconds > 0 ? " " : " -t 0 ") +
                          extra + " " + ShellQuote(path);
    CommandResult result = RunCommand(command);
    ASSERT_EQ(result.status, 0) << command << "\n" << result.err;
}

std::string run_python(const std::string& script) {
    CommandResult result = RunCommand("/usr/bin/python3 -c " + ShellQuote(script));
    EXPECT_EQ(result.status, 0) << script << "\n" << result.err;
    return result.out;
}

namespace {

// `text` as a Python string literal.
std::string python_text(const std::string& text) {
    std::string literal = "'";
    for (char c : text) {
        if (c == '\\' || c == '\'')
            literal += '\\';
        literal += c;
    }
    return literal + "'";
}

} // namespace

void set_vorbis_comments(const std::string& path, const VorbisComments& comments) {
    std::string script = "import mutagen\nf = mutagen.File(" + python_text(path) + ")\n";
    for (const auto& [name, values] : comments) {
        script += "f[" + python_text(name) + "] = [";
        for (const std::string& value : values)
            script += python_text(value) + ", ";
        script += "]\n";
    }
    run_python(script + "f.save()\n");
}

} // namespace vantrel::testing
