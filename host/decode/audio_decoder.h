// Decoding one audio file with FFmpeg's libraries into interleaved doubles.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "decode/attached_picture.h"
#include "decode/input_file.h"
#include "decode/tag.h"

namespace vantrel {

class DecodeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What the player records as a track's technical information.
struct StreamFacts {
    int sample_rate = 0;
    int channels = 0;
    int bits_per_sample = 0; // 0 when the codec has no fixed sample width
    std::string codec;       // "FLAC", "MP3", "PCM", ...
    bool lossless = false;
    bool float_samples = false; // the decoder gives floating-point samples
    std::int64_t bitrate = 0;   // bits per second; 0 when unknown
    double duration = 0.0;      // seconds; 0 when unknown
};

class AudioDecoder {
public:
    // Opens the file (as a file, see input_file.h) and its best audio stream;
    // throws DecodeError naming the reason.
    explicit AudioDecoder(const std::string& path, const InputOptions& options = {});
    ~AudioDecoder();
    AudioDecoder(const AudioDecoder&) = delete;
    AudioDecoder& operator=(const AudioDecoder&) = delete;

    const StreamFacts& facts() const;

    // The container's tags, one entry per value where the format keeps values
    // apart, as valid UTF-8 (see container_tags in the source for the rule).
    TagList container_tags() const;

    // ReplayGain values FFmpeg read into the audio stream's side data, as
    // replaygain_* fields (see replay_gain.h).
    TagList replay_gain_side_data() const;

    // Every picture of the file (see attached_picture.h).
    SourcePictures pictures() const;

    // Fills `out` with up to `max_frames` frames of facts().channels values each.
    // Answers the frames written; 0 only at the end. Throws DecodeError.
    std::size_t read(double* out, std::size_t max_frames);

    std::int64_t frames_read() const;

private:
    TagList raw_container_tags() const;

    struct State;
    std::unique_ptr<State> state_;
};

} // namespace vantrel
