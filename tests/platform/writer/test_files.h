// Test fixtures of the writer: PCM signals and file helpers, with the shared
// temporary folders and commands.
#pragma once

#include "commands.h"
#include "temporary_folder.h"

#include <cstdint>
#include <string>
#include <vector>

namespace writer_test {

using test_support::ReadFile;
using test_support::RunCommand;
using test_support::ShellQuote;
using test_support::TemporaryFolder;

// Interleaved 16-bit PCM: a 440 Hz tone at half scale on every channel.
std::vector<std::int16_t> Tone(int sampleRate, int channels, double seconds);

void WriteWholeFile(const std::string& path, const std::string& bytes);

} // namespace writer_test
