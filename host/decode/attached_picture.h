// The pictures a file carries (cover art), as FFmpeg exposes them: each an
// attached-picture stream holding the image bytes as stored, with the picture
// type's name in its "comment" and the description in its "title".
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

// The front cover, else the first picture; nothing when the file has no
// picture of a known image format.
std::optional<AttachedPicture> cover_picture(const AVFormatContext& format);

} // namespace vantrel
