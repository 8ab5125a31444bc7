// Running vantrel end to end with the stand-in disk writer, which records
// what the host hands it, so the host's side is checked exactly and fast.
#pragma once

#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

#include "test_support.h"

namespace vantrel::testing {

// What the stand-in wrote: its header lines and the PCM bytes it was given.
struct Recorded {
    std::map<std::string, std::string> fields; // first word -> rest of line
    std::vector<std::string> meta, info;
    std::string pcm;
};

Recorded read_recorded(const std::string& path);

// The 16-bit samples of an audio file as raw bytes, decoded by ffmpeg.
std::string wav_samples(const std::string& path);

// Hidden entries of a folder (temporary and probe files), as full paths.
std::vector<std::string> hidden_files(const std::filesystem::path& folder);

class StandInRun : public ::testing::Test {
protected:
    TemporaryFolder dir_;

    // A settings folder of the test's own; `fail` selects a failure of the stand-in.
    std::vector<std::string> env(const std::string& fail = "") const;
    // vantrel with the stand-in's components folder.
    CommandResult vantrel(std::vector<std::string> arguments, const std::string& fail = "") const;
    // The same, run in `folder` (names relative to it stay as given).
    CommandResult vantrel_in(const std::string& folder, std::vector<std::string> arguments) const;
    // The command line of vantrel with the stand-in, quoted for the shell.
    std::string command_line(const std::vector<std::string>& arguments) const;
};

} // namespace vantrel::testing
