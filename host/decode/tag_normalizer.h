// Turning the tags a container holds into the player's fields: each under the
// player's name of its field whatever the spelling (see tag_fields.h), one
// entry per value (a field with several values has several entries), numbers
// apart from their totals, container-internal fields left out.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "decode/tag.h"

namespace vantrel {

struct TrackTags {
    TagList meta; // the track's fields, in order; a name may repeat
    TagList info; // replay-gain values, which the player keeps as technical info
};

// Also turns Opus loudness (R128_TRACK_GAIN, R128_ALBUM_GAIN) into ReplayGain
// where the tags hold no ReplayGain of that kind; spellings that restate a
// field ("year" beside a "date") and identical values are left out.
TrackTags normalize_tags(const TagList& container_tags);

// Splits a value that FFmpeg joined from several with ';'.
TagList split_joined_values(const TagList& tags);

// Applies --tag fields: each named field, whatever the spelling on either
// side, loses its entries and gains the given values in order; an empty value
// only removes the field. A track or disc number given as "3/12" sets the
// total too; removing the number removes its total.
void apply_tag_overrides(TagList& meta, const TagList& overrides);

// Replaces each NUL character in a value with U+FFFD, which a value handed
// over as a C string cannot hold. Answers the fields that held one, once each.
std::vector<std::string> replace_nul_characters(TagList& meta);

// A header attribute's length is 16 bits of bytes: 32766 UTF-16 units and the
// terminator.
inline constexpr std::size_t kMaxAttributeUnits = 32766;

// The number of UTF-16 units of a UTF-8 text.
std::size_t utf16_units(const std::string& text);

// Takes every value of each field that has a value longer than an attribute
// holds out of `meta`, in order, so that the field can be added to the file
// where long values fit.
TagList take_long_fields(TagList& meta);

// A field holds at most this many values in a file's header.
inline constexpr std::size_t kMaxFieldValues = 65536;

struct LeftOutValues {
    std::string name;
    std::size_t given = 0;
    std::size_t left_out = 0;
};

// Leaves out the values of each field beyond kMaxFieldValues, and says which.
std::vector<LeftOutValues> limit_field_values(TagList& meta);

} // namespace vantrel
