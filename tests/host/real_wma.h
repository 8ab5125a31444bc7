// The fixture of the tests that convert through the real component ostrel and
// read the .wma files back with independent readers: ffprobe, ffmpeg and mutagen.
#pragma once

#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

#include "test_support.h"

namespace vantrel::testing {

// Tag name -> values joined with "|", as one reader sees them.
using TagMap = std::map<std::string, std::string>;

class RealWma : public ::testing::Test {
protected:
    TemporaryFolder dir_;

    // Skips when the components folder has no real Windows Media Audio writer.
    void SetUp() override;

    // A settings folder of the test's own, so stored settings do not leak in.
    std::vector<std::string> env() const;
    CommandResult vantrel(const std::vector<std::string>& arguments, int seconds = 120) const;

    // Names of every entry below the test's folder (recursively), relative to it.
    std::vector<std::string> files_left() const;

public:
    // ffprobe's values of `entries` (e.g. "stream=codec_name"), one a line.
    static std::string probe(const std::string& path, const std::string& entries);
    static double probe_number(const std::string& path, const std::string& entry);
    // The container's tags as ffprobe reports them.
    static TagMap probe_tags(const std::string& path);
    // Every header attribute as mutagen reads it.
    static TagMap mutagen_tags(const std::string& path);
    // Each WM/Picture as mutagen reads it, one a line: type, MIME type,
    // description, the data's length, and "same" when the data is byte for
    // byte the file `source`, else "different".
    static std::string mutagen_pictures(const std::string& path, const std::string& source);
    // mutagen's length in seconds and bit rate in bits per second.
    static std::pair<double, int> mutagen_info(const std::string& path);

    // The file decoded by ffmpeg to raw 16-bit PCM in its own rate and channels.
    static std::string decoded_pcm(const std::string& path);
    // The decoded length in seconds at the file's own sample rate.
    static double decoded_seconds(const std::string& path);

    // The component's timing lines ("Encoding took N milliseconds, speed X.YYx")
    // printed for `input`.
    static int timing_lines_for(const std::string& console, const std::string& input);
};

} // namespace vantrel::testing
