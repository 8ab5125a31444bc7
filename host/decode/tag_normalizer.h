// Turning the tags a container holds into the player's fields: lower-case names
// ("artist", "album", "title", "date", "genre", "tracknumber", "comment", ...),
// one entry per value, technical and container-internal fields left out.
#pragma once

#include "decode/tag.h"

namespace vantrel {

struct TrackTags {
    TagList meta; // the track's fields, in order; a name may repeat
    TagList info; // replay-gain values, which the player keeps as technical info
};

TrackTags normalize_tags(const TagList& container_tags);

// Splits a value that FFmpeg joined from several with ';'.
TagList split_joined_values(const TagList& tags);

// One entry per field (names compared ignoring ASCII case, the first spelling
// and position kept) with its values joined by "; ". A Windows Media header keeps
// one value per attribute name, so separate entries would lose all but the last.
TagList join_repeated_fields(const TagList& meta);

// Applies --tag fields: each named field loses its entries (names compared
// ignoring ASCII case) and gains the given values in order; an empty value only
// removes the field.
void apply_tag_overrides(TagList& meta, const TagList& overrides);

} // namespace vantrel
