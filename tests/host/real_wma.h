// The fixture of the tests that convert through the real component ostrel and
// read the .wma files back with independent readers: ffprobe, ffmpeg, mutagen
// and TagLib (through python3-taglib and kid3-cli).
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
    // TagLib's properties of the file (python3-taglib), values in TagLib's
    // order; nothing when TagLib is not installed (see readers_missing).
    static TagMap taglib_tags(const std::string& path);
    // The fields of the file's tag as kid3-cli (TagLib with its own names)
    // lists them: "Genre", "Picture: Cover (front)" (the description as the
    // value), "replaygain_track_gain", ...
    static TagMap kid3_tags(const std::string& path);
    // Why a reader cannot run: "" when python3-mutagen, python3-taglib and
    // kid3-cli are there.
    static std::string readers_missing();
    // mutagen's length in seconds and bit rate in bits per second.
    static std::pair<double, int> mutagen_info(const std::string& path);

    // The sample rate and channels as mutagen and TagLib read them, a line
    // each: "mutagen 44100 Hz 2 channels\ntaglib 44100 Hz 2 channels\n".
    static std::string layouts_read(const std::string& path);

    // The file decoded by ffmpeg to raw 16-bit PCM in its own rate and channels.
    static std::string decoded_pcm(const std::string& path);
    // The decoded length in seconds at the file's own sample rate.
    static double decoded_seconds(const std::string& path);

    // The component's timing lines ("Encoding took N milliseconds, speed X.YYx")
    // printed for `input`.
    static int timing_lines_for(const std::string& console, const std::string& input);
};

} // namespace vantrel::testing
