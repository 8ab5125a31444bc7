#include "decode/tag_normalizer.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace vantrel {
namespace {

std::string ascii_lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool equal_ignoring_case(std::string_view a, std::string_view b) {
    return a.size() == b.size() && ascii_lower(a) == ascii_lower(b);
}

struct Rename {
    std::string_view from;
    std::string_view to;
};

// FFmpeg's generic names and common spellings, mapped to the player's names.
constexpr std::array kRenames{
    Rename{"album_artist", "album artist"},
    Rename{"albumartist", "album artist"},
    Rename{"tracktotal", "totaltracks"},
    Rename{"disctotal", "totaldiscs"},
    Rename{"encoded_by", "encoded by"},
    Rename{"encoded-by", "encoded by"},
    Rename{"lyrics-eng", "lyrics"},
    Rename{"unsyncedlyrics", "lyrics"},
    Rename{"album-sort", "album sort"},
    Rename{"albumsort", "album sort"},
    Rename{"artist-sort", "artist sort"},
    Rename{"artistsort", "artist sort"},
    Rename{"title-sort", "title sort"},
    Rename{"titlesort", "title sort"},
    Rename{"album_artist-sort", "album artist sort"},
    Rename{"albumartistsort", "album artist sort"},
    // ID3v2 frames FFmpeg knows no name for keep their frame id.
    Rename{"tbpm", "bpm"},
    Rename{"tkey", "initial key"},
    Rename{"tsrc", "isrc"},
    Rename{"tmoo", "mood"},
    Rename{"tit3", "subtitle"},
    Rename{"tsst", "disc subtitle"},
    Rename{"text", "lyricist"},
    Rename{"tpe4", "remixer"},
    Rename{"tmed", "media"},
};

struct Restated {
    std::string_view kept;
    std::string_view dropped;
};

// Fields that say the same thing, the second left out beside the first.
constexpr std::array kRestated{Restated{"date", "year"}, Restated{"tracknumber", "trackno"}};

// Container and encoder internals that are not the track's tags.
constexpr std::array<std::string_view, 13> kDropped{"encoder",
                                                    "major_brand",
                                                    "minor_version",
                                                    "compatible_brands",
                                                    "handler_name",
                                                    "vendor_id",
                                                    "creation_time",
                                                    "metadata_block_picture",
                                                    "coverart",
                                                    "itunsmpb",
                                                    "itunnorm",
                                                    "encoder_options",
                                                    "waveformatextensible_channel_mask"};

// "3/12" gives number "3" and total "12".
void split_number(const std::string& value, const char* number_name, const char* total_name,
                  TagList& meta) {
    auto slash = value.find('/');
    std::string number = value.substr(0, slash);
    if (!number.empty())
        meta.push_back({number_name, number});
    if (slash != std::string::npos && slash + 1 < value.size())
        meta.push_back({total_name, value.substr(slash + 1)});
}

} // namespace

TrackTags normalize_tags(const TagList& container_tags) {
    TrackTags out;
    for (const Tag& tag : container_tags) {
        if (tag.value.empty())
            continue;
        std::string name = ascii_lower(tag.name);
        if (std::find(kDropped.begin(), kDropped.end(), name) != kDropped.end())
            continue;
        if (name == "language" && tag.value == "und")
            continue;
        if (name.starts_with("replaygain_")) {
            out.info.push_back({name, tag.value});
            continue;
        }
        for (const Rename& rename : kRenames)
            if (name == rename.from)
                name = rename.to;
        if (name == "track" || name == "tracknumber")
            split_number(tag.value, "tracknumber", "totaltracks", out.meta);
        else if (name == "disc" || name == "discnumber")
            split_number(tag.value, "discnumber", "totaldiscs", out.meta);
        else
            out.meta.push_back({name, tag.value});
    }
    // A total given both as "3/12" and as its own field appears once.
    TagList unique;
    for (Tag& tag : out.meta) {
        bool total = tag.name == "totaltracks" || tag.name == "totaldiscs";
        if (total && std::find(unique.begin(), unique.end(), tag) != unique.end())
            continue;
        unique.push_back(std::move(tag));
    }
    out.meta = std::move(unique);
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

TagList drop_restated_fields(const TagList& meta) {
    auto named = [](std::string_view name) {
        return [name](const Tag& t) { return equal_ignoring_case(t.name, name); };
    };
    TagList out = meta;
    for (const Restated& pair : kRestated)
        if (std::any_of(out.begin(), out.end(), named(pair.kept)))
            std::erase_if(out, named(pair.dropped));
    return out;
}

void apply_tag_overrides(TagList& meta, const TagList& overrides) {
    for (const Tag& override_tag : overrides)
        std::erase_if(meta,
                      [&](const Tag& t) { return equal_ignoring_case(t.name, override_tag.name); });
    for (const Tag& override_tag : overrides)
        if (!override_tag.value.empty())
            meta.push_back(override_tag);
}

} // namespace vantrel
