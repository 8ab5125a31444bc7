// Helpers for the host's tests: temporary folders, running programs with a
// time limit, and making audio files with the ffmpeg command line.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace vantrel::testing {

// A fresh folder, removed with everything in it at the end of the test.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

struct CommandResult {
    int status = -1; // exit status; 124 when the time limit ended it
    std::string out;
    std::string err;
};

std::string shell_quote(const std::string& text);

// Runs `command` through the shell with at most `seconds` to finish.
CommandResult run_command(const std::string& command, int seconds = 120);

// The built program, from $PROJECT_BIN_DIR.
std::string vantrel_program();

// Runs vantrel with `arguments` (each quoted), with `environment` assignments
// ("NAME=value") in front.
CommandResult run_vantrel(const std::vector<std::string>& arguments,
                          const std::vector<std::string>& environment = {}, int seconds = 120);

// Writes a sine tone with ffmpeg; `extra` goes before the output name (codec,
// metadata options). Fails the test when ffmpeg fails.
void make_tone(const std::string& path, double seconds, int rate, int channels,
               const std::string& extra = "");

// Runs a Python snippet with mutagen available; answers its standard output.
std::string run_python(const std::string& script);

std::string read_file(const std::string& path);

bool contains(const std::string& text, const std::string& part);

} // namespace vantrel::testing
