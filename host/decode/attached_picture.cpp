#include "decode/attached_picture.h"

#include <array>
#include <string_view>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
}

namespace vantrel {
namespace {

// FFmpeg's names of the picture types, in the order of their numbers.
constexpr std::array<std::string_view, 21> kPictureTypeNames{
    "Other",
    "32x32 pixels 'file icon'",
    "Other file icon",
    "Cover (front)",
    "Cover (back)",
    "Leaflet page",
    "Media (e.g. label side of CD)",
    "Lead artist/lead performer/soloist",
    "Artist/performer",
    "Conductor",
    "Band/Orchestra",
    "Composer",
    "Lyricist/text writer",
    "Recording Location",
    "During recording",
    "During performance",
    "Movie/video screen capture",
    "A bright coloured fish",
    "Illustration",
    "Band/artist logotype",
    "Publisher/Studio logotype",
};

const char* mime_of(AVCodecID codec) {
    switch (codec) {
    case AV_CODEC_ID_MJPEG:
        return "image/jpeg";
    case AV_CODEC_ID_PNG:
        return "image/png";
    case AV_CODEC_ID_GIF:
        return "image/gif";
    case AV_CODEC_ID_BMP:
        return "image/bmp";
    case AV_CODEC_ID_TIFF:
        return "image/tiff";
    case AV_CODEC_ID_WEBP:
        return "image/webp";
    default:
        return nullptr;
    }
}

std::string text_of(const AVDictionary* metadata, const char* key) {
    const AVDictionaryEntry* entry = av_dict_get(metadata, key, nullptr, 0);
    return entry && entry->value ? entry->value : "";
}

} // namespace

int picture_type_of(const std::string& name) {
    if (name.empty())
        return kFrontCover;
    for (std::size_t i = 0; i < kPictureTypeNames.size(); ++i)
        if (name == kPictureTypeNames[i])
            return static_cast<int>(i);
    return 0;
}

std::optional<AttachedPicture> cover_picture(const AVFormatContext& format) {
    std::optional<AttachedPicture> chosen;
    for (unsigned i = 0; i < format.nb_streams; ++i) {
        const AVStream* stream = format.streams[i];
        const AVPacket& packet = stream->attached_pic;
        const char* mime = mime_of(stream->codecpar->codec_id);
        if (!(stream->disposition & AV_DISPOSITION_ATTACHED_PIC) || packet.size <= 0 || !mime)
            continue;
        int type = picture_type_of(text_of(stream->metadata, "comment"));
        if (chosen && (chosen->type == kFrontCover || type != kFrontCover))
            continue;
        chosen = AttachedPicture{type, mime, text_of(stream->metadata, "title"),
                                 std::vector<std::uint8_t>(packet.data, packet.data + packet.size)};
    }
    return chosen;
}

} // namespace vantrel
