// Turning the tags a container holds into the player's fields: lower-case names
// ("artist", "album", "title", "date", "genre", "tracknumber", "comment", ...),
// one entry per value (a field with several values has several entries),
// container-internal fields left out.
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

// Leaves out fields that restate another one under a name the encoder stores
// under the same attribute, so that attribute gets one value: "year" when there
// is a "date" (names compared ignoring ASCII case).
TagList drop_restated_fields(const TagList& meta);

// Applies --tag fields: each named field loses its entries (names compared
// ignoring ASCII case) and gains the given values in order; an empty value only
// removes the field.
void apply_tag_overrides(TagList& meta, const TagList& overrides);

} // namespace vantrel
