// Helpers for the host's tests: running vantrel and python, and making audio
// files with the ffmpeg command line, on top of the shared test support.
#pragma once

#include "commands.h"
#include "temporary_folder.h"

#include <string>
#include <utility>
#include <vector>

namespace vantrel::testing {

using test_support::CommandResult;
using test_support::ReadFile;
using test_support::RunCommand;
using test_support::ShellQuote;
using test_support::TemporaryFolder;

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

// Replaces the Vorbis comments of a FLAC or Ogg Vorbis file with mutagen: each
// name with its values, in order.
using VorbisComments = std::vector<std::pair<std::string, std::vector<std::string>>>;
void set_vorbis_comments(const std::string& path, const VorbisComments& comments);

// The end of a script that feeds a track under way through descriptor 3: the
// rest of tone.wav, the pipe closed, then vantrel's exit status as "status N".
inline constexpr const char* kFeedTheRestAndWait = R"(cat tone.wav >&3 2> /dev/null
exec 3>&-
wait $pid
echo "status $?"
)";

bool contains(const std::string& text, const std::string& part);
// How often `part` stands in `text` (without overlaps).
int count(const std::string& text, const std::string& part);

} // namespace vantrel::testing
