#include "decode/attached_picture.h"

#include <array>
#include <string_view>

#include "decode/id3v2_text_frames.h"
#include "decode/mp4_items.h"
#include "decode/picture_blocks.h"
#include "decode/vorbis_comments.h"

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

std::optional<OggCodec> ogg_codec_of(AVCodecID codec) {
    switch (codec) {
    case AV_CODEC_ID_VORBIS:
        return OggCodec::vorbis;
    case AV_CODEC_ID_OPUS:
        return OggCodec::opus;
    case AV_CODEC_ID_FLAC:
        return OggCodec::flac;
    case AV_CODEC_ID_SPEEX:
        return OggCodec::speex;
    default:
        return std::nullopt;
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

std::vector<AttachedPicture> ffmpeg_pictures(const AVFormatContext& format) {
    std::vector<AttachedPicture> pictures;
    for (unsigned i = 0; i < format.nb_streams; ++i) {
        const AVStream* stream = format.streams[i];
        const AVPacket& packet = stream->attached_pic;
        if (!(stream->disposition & AV_DISPOSITION_ATTACHED_PIC) || packet.size <= 0)
            continue;
        const char* mime = mime_of(stream->codecpar->codec_id);
        pictures.push_back({picture_type_of(text_of(stream->metadata, "comment")), mime ? mime : "",
                            text_of(stream->metadata, "title"),
                            std::vector<std::uint8_t>(packet.data, packet.data + packet.size)});
    }
    return pictures;
}

SourcePictures source_pictures(const AVFormatContext& format, int audio_stream,
                               const std::string& path) {
    const std::string name = format.iformat->name;
    int unreadable = 0;
    std::optional<std::vector<AttachedPicture>> own;
    if (name == "flac") {
        if (const auto blocks = read_flac_blocks(path, kFlacPictureBlock)) {
            own.emplace();
            for (const auto& block : *blocks) {
                if (auto picture = parse_flac_picture(block.data(), block.size()))
                    own->push_back(std::move(*picture));
                else
                    ++unreadable;
            }
        }
    } else if (name == "ogg") {
        if (const auto codec = ogg_codec_of(format.streams[audio_stream]->codecpar->codec_id))
            if (const auto comments = read_ogg_comments(path, *codec))
                own = pictures_of_comments(*comments, unreadable);
    } else if (name == "mp3" || name == "wav" || name == "aiff") {
        const auto tag = name == "mp3" ? read_id3v2_tag(path) : read_chunk_id3v2_tag(path);
        if (tag)
            own = parse_id3v2_pictures(tag->data(), tag->size(), unreadable);
    } else if (name.find("mp4") != std::string::npos) {
        if (const auto list = read_mp4_item_list(path))
            own = parse_mp4_covers(list->data(), list->size());
    }
    SourcePictures found;
    if (unreadable > 0)
        found.left_out.push_back(std::to_string(unreadable) + (unreadable == 1
                                                                   ? " picture cannot be read"
                                                                   : " pictures cannot be read"));
    for (AttachedPicture& picture : own ? *own : ffmpeg_pictures(format)) {
        if (settle_picture_kind(picture)) {
            found.pictures.push_back(std::move(picture));
            continue;
        }
        const std::size_t type = static_cast<std::size_t>(picture.type);
        const std::string what =
            "a picture (" +
            std::string(type < kPictureTypeNames.size() ? kPictureTypeNames[type] : "Other") +
            (picture.description.empty() ? "" : ", \"" + picture.description + "\"") + ")";
        found.left_out.push_back(
            what + (picture.mime == "-->"
                        ? " is a link to an image, not an image"
                        : " is no image of a kind players show (PNG, JPEG, GIF, BMP, WebP, TIFF)"));
    }
    return found;
}

} // namespace vantrel
