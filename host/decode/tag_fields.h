// The tag fields the host understands: the player's name of each, handed to a
// disk writer; the other spellings sources and users write for it (Vorbis
// comment names, FFmpeg's keys, ID3v2 frame ids, MP4 item names); and the
// header attribute a .wma file keeps it under. Two spellings of one field are
// one field: --tag year=1999 replaces a source's DATE.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace vantrel {

struct TagField {
    std::string_view name;      // the player's name, lower case
    std::string_view attribute; // where the encoder stores it
    std::string_view spellings; // other names for it, lower case, ", " between them
    // Values under the first of `spellings` restate the field ("year" beside a
    // "date"): they are left out when the field has values under another name.
    bool first_spelling_restates = false;
};

std::span<const TagField> tag_fields();

// The field written `name` (ASCII letters in any case; its attribute name
// counts as a spelling too); nullptr for a name the host does not know.
const TagField* find_tag_field(std::string_view name);

// The player's name of a field: the known field's name, else `name` in lower case.
std::string field_name_of(std::string_view name);

// Whether `name` is the restating spelling of its field (see TagField).
bool restating_spelling(std::string_view name);

// The text of `vantrel tags`: every field, its attribute and its other spellings.
std::string tag_field_listing();

} // namespace vantrel
