// Reading Vorbis comments straight from FLAC and Ogg files. FFmpeg joins the
// values of a repeated field with ';', which cannot be undone when a value holds
// a ';' itself; the comment block keeps each value separate.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "decode/tag.h"

namespace vantrel {

// A comment block: vendor text, entry count, entries "NAME=value", every length a
// little-endian 32-bit number. Names are kept as written. Nothing for a damaged block.
std::optional<TagList> parse_vorbis_comment_block(const std::uint8_t* data, std::size_t size);

inline constexpr int kFlacCommentBlock = 4;
inline constexpr int kFlacPictureBlock = 6;

// The metadata blocks of one type of a native FLAC file, in order (a leading
// ID3v2 tag is skipped); nothing for a damaged file.
std::optional<std::vector<std::vector<std::uint8_t>>> read_flac_blocks(const std::string& path,
                                                                       int type);

// The comments of a native FLAC file (a leading ID3v2 tag is skipped).
std::optional<TagList> read_flac_comments(const std::string& path);

// Which audio codec's comment packet to take from an Ogg file.
enum class OggCodec { vorbis, opus, flac, speex };

// The comments of the first logical stream of that codec in an Ogg file.
std::optional<TagList> read_ogg_comments(const std::string& path, OggCodec codec);

} // namespace vantrel
