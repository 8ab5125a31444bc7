#include "decode/tag_normalizer.h"

#include <algorithm>
#include <array>
#include <set>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "decode/replay_gain.h"
#include "decode/tag_fields.h"

namespace vantrel {
namespace {

std::string ascii_lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// Container and encoder internals that are not the track's tags; pictures
// come apart from the tags.
constexpr std::array<std::string_view, 14> kDropped{
    "encoder",         "major_brand",
    "minor_version",   "compatible_brands",
    "handler_name",    "vendor_id",
    "creation_time",   "metadata_block_picture",
    "coverart",        "coverartmime",
    "itunsmpb",        "itunnorm",
    "encoder_options", "waveformatextensible_channel_mask"};

struct Entry {
    Tag tag;
    bool restating = false; // see TagField::first_spelling_restates
};

// "3/12" gives number "3" and total "12".
void split_number(const Tag& tag, const char* total_name, bool restating, std::vector<Entry>& out) {
    const auto slash = tag.value.find('/');
    std::string number = tag.value.substr(0, slash);
    if (!number.empty())
        out.push_back({{tag.name, number}, restating});
    if (slash != std::string::npos && slash + 1 < tag.value.size())
        out.push_back({{total_name, tag.value.substr(slash + 1)}, restating});
}

// The field's number and total apart, for tracknumber and discnumber.
void add_field(const Tag& tag, bool restating, std::vector<Entry>& out) {
    if (tag.name == "tracknumber")
        split_number(tag, "totaltracks", restating, out);
    else if (tag.name == "discnumber")
        split_number(tag, "totaldiscs", restating, out);
    else
        out.push_back({tag, restating});
}

} // namespace

TrackTags normalize_tags(const TagList& container_tags) {
    TrackTags out;
    std::vector<Entry> entries;
    TagList loudness;
    for (const Tag& tag : container_tags) {
        if (tag.value.empty())
            continue;
        const std::string lower = ascii_lower(tag.name);
        if (std::find(kDropped.begin(), kDropped.end(), lower) != kDropped.end())
            continue;
        if (lower == "language" && tag.value == "und")
            continue;
        if (lower.starts_with("replaygain_")) {
            out.info.push_back({lower, tag.value});
            continue;
        }
        if (lower == "r128_track_gain" || lower == "r128_album_gain") {
            if (std::optional<Tag> gain = replay_gain_of_r128({lower, tag.value})) {
                loudness.push_back(*gain);
                continue;
            }
        }
        add_field({field_name_of(tag.name), tag.value}, restating_spelling(tag.name), entries);
    }
    add_missing_fields(out.info, loudness);
    // A field stated under its own name leaves out what restates it; a value
    // given twice (as "3/12" and as a total, or under two spellings) is one.
    std::set<std::string> stated;
    for (const Entry& entry : entries)
        if (!entry.restating)
            stated.insert(entry.tag.name);
    std::set<std::pair<std::string, std::string>> seen;
    for (Entry& entry : entries) {
        if (entry.restating && stated.contains(entry.tag.name))
            continue;
        if (seen.emplace(entry.tag.name, entry.tag.value).second)
            out.meta.push_back(std::move(entry.tag));
    }
    return out;
}

TagList split_joined_values(const TagList& tags) {
    TagList out;
    for (const Tag& tag : tags) {
        std::size_t start = 0;
        for (;;) {
            auto end = tag.value.find(';', start);
            out.push_back({tag.name, tag.value.substr(start, end - start)});
            if (end == std::string::npos)
                break;
            start = end + 1;
        }
    }
    return out;
}

void apply_tag_overrides(TagList& meta, const TagList& overrides) {
    std::vector<Entry> wanted;
    std::set<std::string> replaced;
    for (const Tag& given : overrides) {
        const Tag tag{field_name_of(given.name), given.value};
        replaced.insert(tag.name);
        if (tag.value.empty() && (tag.name == "tracknumber" || tag.name == "discnumber"))
            replaced.insert(tag.name == "tracknumber" ? "totaltracks" : "totaldiscs");
        std::vector<Entry> split;
        add_field(tag, false, split);
        for (Entry& entry : split) {
            replaced.insert(entry.tag.name);
            wanted.push_back(std::move(entry));
        }
    }
    std::erase_if(meta, [&](const Tag& t) { return replaced.contains(field_name_of(t.name)); });
    for (Entry& entry : wanted)
        if (!entry.tag.value.empty())
            meta.push_back(std::move(entry.tag));
}

std::vector<std::string> replace_nul_characters(TagList& meta) {
    static constexpr std::string_view kReplacement = "\xEF\xBF\xBD"; // U+FFFD
    std::vector<std::string> fields;
    for (Tag& tag : meta) {
        if (tag.value.find('\0') == std::string::npos)
            continue;
        std::string value;
        for (char c : tag.value)
            value += c == '\0' ? kReplacement : std::string_view(&c, 1);
        tag.value = std::move(value);
        if (std::find(fields.begin(), fields.end(), tag.name) == fields.end())
            fields.push_back(tag.name);
    }
    return fields;
}

std::size_t utf16_units(const std::string& text) {
    std::size_t units = 0;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        units += (byte & 0xC0) != 0x80;  // a character starts
        units += byte >= 0xF0 ? 1u : 0u; // ... beyond U+FFFF: a surrogate pair
    }
    return units;
}

TagList take_long_fields(TagList& meta) {
    std::set<std::string> long_fields;
    for (const Tag& tag : meta)
        if (tag.value.size() > kMaxAttributeUnits && utf16_units(tag.value) > kMaxAttributeUnits)
            long_fields.insert(tag.name);
    TagList taken;
    std::erase_if(meta, [&](Tag& tag) {
        if (!long_fields.contains(tag.name))
            return false;
        taken.push_back(std::move(tag));
        return true;
    });
    return taken;
}

std::vector<LeftOutValues> limit_field_values(TagList& meta) {
    std::unordered_map<std::string, std::size_t> counts;
    std::vector<LeftOutValues> left_out;
    for (const Tag& tag : meta)
        if (++counts[tag.name] == kMaxFieldValues + 1)
            left_out.push_back({tag.name, 0, 0});
    if (left_out.empty())
        return left_out;
    for (LeftOutValues& field : left_out) {
        field.given = counts[field.name];
        field.left_out = field.given - kMaxFieldValues;
    }
    counts.clear();
    std::erase_if(meta, [&](const Tag& tag) { return ++counts[tag.name] > kMaxFieldValues; });
    return left_out;
}

} // namespace vantrel
