// Reading the text frames of an ID3v2 tag. FFmpeg keeps only the first value of
// a frame that holds several (ID3v2.4 separates them with NUL characters); this
// reader keeps them all, so several artists stay several entries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vantrel {

// Frame id ("TPE1"; "TXXX:description" for user-defined text) to its values in
// UTF-8, in order.
using Id3TextFrames = std::map<std::string, std::vector<std::string>>;

// Parses a whole tag starting with its "ID3" header; nothing when it is damaged.
std::optional<Id3TextFrames> parse_id3v2_text_frames(const std::uint8_t* data, std::size_t size);

// The tag at the start of a file, if there is one.
std::optional<Id3TextFrames> read_id3v2_text_frames(const std::string& path);

// The tag in the "id3 " chunk of a WAV file, if there is one.
std::optional<Id3TextFrames> read_wav_id3v2_text_frames(const std::string& path);

// FFmpeg's metadata key for a frame id ("TPE1" -> "artist"); the description
// for "TXXX:..." frames; empty when FFmpeg has no key for it.
std::string ffmpeg_key_of_frame(const std::string& frame_id);

} // namespace vantrel
