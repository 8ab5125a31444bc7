// Reading the text frames and pictures of an ID3v2 tag. FFmpeg keeps only the
// first value of a frame that holds several (ID3v2.4 separates them with NUL
// characters); this reader keeps them all, so several artists stay several
// entries. FFmpeg leaves out pictures whose MIME type it does not know.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "decode/attached_picture.h"

namespace vantrel {

// Frame id ("TPE1"; "TXXX:description" for user-defined text) to its values in
// UTF-8, in order.
using Id3TextFrames = std::map<std::string, std::vector<std::string>>;

// Parses a whole tag starting with its "ID3" header; nothing when it is damaged.
std::optional<Id3TextFrames> parse_id3v2_text_frames(const std::uint8_t* data, std::size_t size);

// The pictures (APIC, or PIC in ID3v2.2) of a whole tag, in order, as stored;
// frames that cannot be read are counted in `unreadable`. Nothing when the
// tag is damaged.
std::optional<std::vector<AttachedPicture>> parse_id3v2_pictures(const std::uint8_t* data,
                                                                 std::size_t size, int& unreadable);

// The whole tag at the start of a file, if there is one.
std::optional<std::vector<std::uint8_t>> read_id3v2_tag(const std::string& path);

// The whole tag in the "id3 " chunk of a WAV file or the "ID3 " chunk of an
// AIFF file, if there is one.
std::optional<std::vector<std::uint8_t>> read_chunk_id3v2_tag(const std::string& path);

// The tag at the start of a file, if there is one.
std::optional<Id3TextFrames> read_id3v2_text_frames(const std::string& path);

// The tag in the "id3 " chunk of a WAV file, if there is one.
std::optional<Id3TextFrames> read_wav_id3v2_text_frames(const std::string& path);

// FFmpeg's metadata key for a frame id ("TPE1" -> "artist"); the description
// for "TXXX:..." frames; empty when FFmpeg has no key for it.
std::string ffmpeg_key_of_frame(const std::string& frame_id);

} // namespace vantrel
