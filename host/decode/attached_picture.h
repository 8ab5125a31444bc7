// The pictures a file carries (cover art). FFmpeg exposes each as an
// attached-picture stream holding the image bytes as stored, with the picture
// type's name in its "comment" and the description in its "title"; it leaves
// out pictures whose MIME type it does not know, so the usual tag formats are
// read without it (picture_blocks.h).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct AVFormatContext;

namespace vantrel {

struct AttachedPicture {
    int type = 3;            // the ID3v2/FLAC picture type; 3 is the front cover
    std::string mime;        // "image/jpeg", "image/png", ...
    std::string description; // UTF-8
    std::vector<std::uint8_t> data;
};

inline constexpr int kFrontCover = 3;

// The picture type of FFmpeg's name for it ("Cover (front)" is 3); a picture
// without a name is a front cover (MP4 cover art has none), an unknown name is
// "Other" (0).
int picture_type_of(const std::string& name);

// Every picture FFmpeg found, in the order of its streams; the MIME type is
// that of FFmpeg's image codec, "" when it knows none.
std::vector<AttachedPicture> ffmpeg_pictures(const AVFormatContext& format);

struct SourcePictures {
    std::vector<AttachedPicture> pictures; // images of a known kind, MIME type from their bytes
    std::vector<std::string> left_out;     // why each other picture was left out
};

// Every picture of the file, in order, with its type and description: read
// from the tags themselves for FLAC, Ogg, MP3, WAV, AIFF and MP4 files, as
// FFmpeg found them for others.
SourcePictures source_pictures(const AVFormatContext& format, int audio_stream,
                               const std::string& path);

} // namespace vantrel
