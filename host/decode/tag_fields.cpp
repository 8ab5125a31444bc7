#include "decode/tag_fields.h"

#include <algorithm>
#include <array>

namespace vantrel {
namespace {

// Attribute names are those that players and taggers read in .wma files. A
// field's values keep their order; the totals join their numbers ("3/12").
constexpr std::array kFields{
    TagField{"title", "Title", ""},
    TagField{"artist", "Author", ""},
    TagField{"album", "WM/AlbumTitle", ""},
    TagField{"album artist", "WM/AlbumArtist", "albumartist, album_artist"},
    TagField{"composer", "WM/Composer", ""},
    TagField{"lyricist", "WM/Writer", "text"},
    TagField{"conductor", "WM/Conductor", ""},
    TagField{"remixer", "WM/ModifiedBy", "tpe4, mixartist"},
    TagField{"producer", "WM/Producer", ""},
    TagField{"date", "WM/Year", "year", true},
    TagField{"original date", "WM/OriginalReleaseYear",
             "originalyear, originaldate, original_date, tdor, tory", true},
    TagField{"original album", "WM/OriginalAlbumTitle", "originalalbum, toal"},
    TagField{"original artist", "WM/OriginalArtist", "originalartist, tope"},
    TagField{"original lyricist", "WM/OriginalLyricist", "originallyricist, toly"},
    TagField{"original filename", "WM/OriginalFilename", "originalfilename, tofn"},
    TagField{"tracknumber", "WM/TrackNumber", "trackno, track", true},
    TagField{"totaltracks", "WM/TrackNumber (as 3/12)", "tracktotal, total tracks"},
    TagField{"discnumber", "WM/PartOfSet", "disc"},
    TagField{"totaldiscs", "WM/PartOfSet (as 1/2)", "disctotal, total discs"},
    TagField{"genre", "WM/Genre", ""},
    TagField{"comment", "Description", "description"},
    TagField{"lyrics", "WM/Lyrics", "unsyncedlyrics, lyrics-LANGUAGE"},
    TagField{"grouping", "WM/ContentGroupDescription", "work"},
    TagField{"subtitle", "WM/SubTitle", "tit3"},
    TagField{"disc subtitle", "WM/SetSubTitle", "discsubtitle, setsubtitle, tsst"},
    TagField{"compilation", "WM/IsCompilation", "tcmp"},
    TagField{"bpm", "WM/BeatsPerMinute", "tbpm"},
    TagField{"mood", "WM/Mood", "tmoo"},
    TagField{"initial key", "WM/InitialKey", "key, initialkey, tkey"},
    TagField{"isrc", "WM/ISRC", "tsrc"},
    TagField{"media", "WM/Media", "tmed"},
    TagField{"label", "WM/Publisher", "publisher, organization"},
    TagField{"catalog number", "WM/CatalogNo", "catalognumber"},
    TagField{"barcode", "WM/Barcode", "upc, ean"},
    TagField{"copyright", "Copyright", ""},
    TagField{"rating", "Rating", ""},
    TagField{"language", "WM/Language", ""},
    TagField{"script", "WM/Script", ""},
    TagField{"encoded by", "WM/EncodedBy", "encodedby, encoded_by, encoded-by"},
    TagField{"encoder settings", "WM/EncodingSettings", "encodersettings, encoder_settings"},
    TagField{"artist web page", "WM/AuthorURL", "website"},
    TagField{"file web page", "WM/AudioFileURL", ""},
    TagField{"artists", "WM/ARTISTS", ""},
    TagField{"album sort", "WM/AlbumSortOrder", "albumsort, album-sort, sort_album"},
    TagField{"album artist sort", "WM/AlbumArtistSortOrder",
             "albumartistsort, album_artist-sort, sort_album_artist, tso2"},
    TagField{"artist sort", "WM/ArtistSortOrder", "artistsort, artist-sort, sort_artist"},
    TagField{"title sort", "WM/TitleSortOrder", "titlesort, title-sort, sort_name"},
    TagField{"composer sort", "WM/ComposerSortOrder",
             "composersort, composer-sort, sort_composer, tsoc"},
    TagField{"musicbrainz_trackid", "MusicBrainz/Track Id", "musicbrainz track id"},
    TagField{"musicbrainz_releasetrackid", "MusicBrainz/Release Track Id",
             "musicbrainz release track id"},
    TagField{"musicbrainz_albumid", "MusicBrainz/Album Id", "musicbrainz album id"},
    TagField{"musicbrainz_artistid", "MusicBrainz/Artist Id", "musicbrainz artist id"},
    TagField{"musicbrainz_albumartistid", "MusicBrainz/Album Artist Id",
             "musicbrainz album artist id"},
    TagField{"musicbrainz_releasegroupid", "MusicBrainz/Release Group Id",
             "musicbrainz release group id"},
    TagField{"musicbrainz_workid", "MusicBrainz/Work Id", "musicbrainz work id"},
    TagField{"releasestatus", "MusicBrainz/Album Status",
             "musicbrainz album status, musicbrainz_albumstatus"},
    TagField{"releasetype", "MusicBrainz/Album Type",
             "musicbrainz album type, musicbrainz_albumtype"},
    TagField{"releasecountry", "MusicBrainz/Album Release Country",
             "musicbrainz album release country, musicbrainz_albumreleasecountry"},
    TagField{"acoustid_id", "Acoustid/Id", "acoustid id"},
    TagField{"acoustid_fingerprint", "Acoustid/Fingerprint", "acoustid fingerprint"},
    TagField{"asin", "ASIN", ""},
    TagField{"replaygain_track_gain", "replaygain_track_gain", ""},
    TagField{"replaygain_track_peak", "replaygain_track_peak", ""},
    TagField{"replaygain_album_gain", "replaygain_album_gain", ""},
    TagField{"replaygain_album_peak", "replaygain_album_peak", ""},
};

char fold(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool same_ignoring_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (fold(a[i]) != fold(b[i]))
            return false;
    return true;
}

// Calls visit(spelling, first) for each of the field's other spellings.
template <class Visit> bool any_spelling(const TagField& field, Visit visit) {
    std::string_view rest = field.spellings;
    bool first = true;
    while (!rest.empty()) {
        const std::size_t comma = rest.find(", ");
        const std::string_view spelling = rest.substr(0, comma);
        if (visit(spelling, first))
            return true;
        first = false;
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 2);
    }
    return false;
}

// The attribute name alone, without a note such as " (as 3/12)".
std::string_view bare_attribute(const TagField& field) {
    return field.attribute.substr(0, field.attribute.find(" ("));
}

} // namespace

std::span<const TagField> tag_fields() {
    return kFields;
}

const TagField* find_tag_field(std::string_view name) {
    // FFmpeg names unsynchronised lyrics "lyrics-" and their language.
    if (name.size() > 7 && same_ignoring_case(name.substr(0, 7), "lyrics-"))
        name = "lyrics";
    for (const TagField& field : kFields)
        if (same_ignoring_case(name, field.name))
            return &field;
    for (const TagField& field : kFields) {
        if (same_ignoring_case(name, bare_attribute(field)) ||
            any_spelling(field,
                         [&](std::string_view s, bool) { return same_ignoring_case(name, s); }))
            return &field;
    }
    return nullptr;
}

std::string field_name_of(std::string_view name) {
    if (const TagField* field = find_tag_field(name))
        return std::string(field->name);
    std::string lower(name);
    for (char& c : lower)
        c = fold(c);
    return lower;
}

bool restating_spelling(std::string_view name) {
    const TagField* field = find_tag_field(name);
    return field && field->first_spelling_restates &&
           any_spelling(*field, [&](std::string_view s, bool first) {
               return first && same_ignoring_case(name, s);
           });
}

std::string tag_field_listing() {
    std::string text = "Tag fields, the header attribute each becomes, and the other names it "
                       "is known by\n(in any case of their letters; any other name is kept as "
                       "it is):\n\n";
    for (const TagField& field : kFields) {
        std::string line = "  " + std::string(field.name);
        line.resize(std::max<std::size_t>(line.size() + 1, 30), ' ');
        line += std::string(field.attribute);
        if (!field.spellings.empty()) {
            line.resize(std::max<std::size_t>(line.size() + 1, 66), ' ');
            line += std::string(field.spellings);
        }
        text += line + "\n";
    }
    text += "\nOpus loudness (r128_track_gain, r128_album_gain) becomes ReplayGain when the "
            "source has\nno ReplayGain of its own. Every picture of the source, and the first "
            "of cover.*, folder.*\nand front.* (jpg, jpeg or png) beside a track without a "
            "front cover, becomes WM/Picture.\n";
    return text;
}

} // namespace vantrel
