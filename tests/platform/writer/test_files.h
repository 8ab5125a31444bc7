// Test fixtures: a fresh temporary folder, PCM signals and file helpers.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace writer_test {

// A fresh folder, removed with everything in it when the object goes.
class TemporaryFolder {
public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
    const std::filesystem::path& Path() const { return path_; }
    std::string File(const std::string& name) const { return (path_ / name).string(); }
    // Names in the folder, hidden ones included.
    std::vector<std::string> Entries() const;

private:
    std::filesystem::path path_;
};

// Interleaved 16-bit PCM: a 440 Hz tone at half scale on every channel.
std::vector<std::int16_t> Tone(int sampleRate, int channels, double seconds);

std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& bytes);

// Runs a command and answers its standard output; the exit status goes to *status.
std::string RunCommand(const std::string& command, int* status);

} // namespace writer_test
