#include "attribute_names.h"

#include "utf16_text.h"

#include <algorithm>
#include <array>

namespace writer {
namespace {

struct NameMapping {
    std::u16string_view field;
    std::u16string_view attribute;
};

// The player's usual field names (lower case) and the attributes players and
// taggers read for them. Each attribute name also stands for itself, so a
// name given as "TITLE" or "wm/genre" is stored as "Title" or "WM/Genre".
constexpr std::array kNameMappings{
    // The content-description object.
    NameMapping{u"title", u"Title"},
    NameMapping{u"artist", u"Author"},
    NameMapping{u"copyright", u"Copyright"},
    NameMapping{u"comment", u"Description"},
    NameMapping{u"description", u"Description"},
    NameMapping{u"rating", u"Rating"},
    // Extended attributes.
    NameMapping{u"album", u"WM/AlbumTitle"},
    NameMapping{u"album artist", u"WM/AlbumArtist"},
    NameMapping{u"albumartist", u"WM/AlbumArtist"},
    NameMapping{u"composer", u"WM/Composer"},
    NameMapping{u"lyricist", u"WM/Writer"},
    NameMapping{u"conductor", u"WM/Conductor"},
    NameMapping{u"remixer", u"WM/ModifiedBy"},
    NameMapping{u"date", u"WM/Year"},
    NameMapping{u"year", u"WM/Year"},
    NameMapping{u"original album", u"WM/OriginalAlbumTitle"},
    NameMapping{u"original artist", u"WM/OriginalArtist"},
    NameMapping{u"original lyricist", u"WM/OriginalLyricist"},
    NameMapping{u"original date", u"WM/OriginalReleaseYear"},
    NameMapping{u"original filename", u"WM/OriginalFilename"},
    NameMapping{u"producer", u"WM/Producer"},
    NameMapping{u"work", u"WM/ContentGroupDescription"},
    NameMapping{u"grouping", u"WM/ContentGroupDescription"},
    NameMapping{u"subtitle", u"WM/SubTitle"},
    NameMapping{u"disc subtitle", u"WM/SetSubTitle"},
    NameMapping{u"tracknumber", u"WM/TrackNumber"},
    NameMapping{u"discnumber", u"WM/PartOfSet"},
    NameMapping{u"genre", u"WM/Genre"},
    NameMapping{u"bpm", u"WM/BeatsPerMinute"},
    NameMapping{u"mood", u"WM/Mood"},
    NameMapping{u"initial key", u"WM/InitialKey"},
    NameMapping{u"isrc", u"WM/ISRC"},
    NameMapping{u"lyrics", u"WM/Lyrics"},
    NameMapping{u"media", u"WM/Media"},
    NameMapping{u"label", u"WM/Publisher"},
    NameMapping{u"publisher", u"WM/Publisher"},
    NameMapping{u"organization", u"WM/Publisher"},
    NameMapping{u"catalog number", u"WM/CatalogNo"},
    NameMapping{u"barcode", u"WM/Barcode"},
    NameMapping{u"encoded by", u"WM/EncodedBy"},
    NameMapping{u"encoder settings", u"WM/EncodingSettings"},
    NameMapping{u"file web page", u"WM/AudioFileURL"},
    NameMapping{u"artist web page", u"WM/AuthorURL"},
    NameMapping{u"album sort", u"WM/AlbumSortOrder"},
    NameMapping{u"album artist sort", u"WM/AlbumArtistSortOrder"},
    NameMapping{u"artist sort", u"WM/ArtistSortOrder"},
    NameMapping{u"title sort", u"WM/TitleSortOrder"},
    NameMapping{u"language", u"WM/Language"},
    NameMapping{u"script", u"WM/Script"},
    NameMapping{u"artists", u"WM/ARTISTS"},
    NameMapping{u"musicbrainz_trackid", u"MusicBrainz/Track Id"},
    NameMapping{u"musicbrainz_artistid", u"MusicBrainz/Artist Id"},
    NameMapping{u"musicbrainz_albumid", u"MusicBrainz/Album Id"},
    NameMapping{u"musicbrainz_albumartistid", u"MusicBrainz/Album Artist Id"},
    NameMapping{u"musicbrainz_releasegroupid", u"MusicBrainz/Release Group Id"},
    NameMapping{u"musicbrainz_releasetrackid", u"MusicBrainz/Release Track Id"},
    NameMapping{u"musicbrainz_workid", u"MusicBrainz/Work Id"},
    NameMapping{u"releasestatus", u"MusicBrainz/Album Status"},
    NameMapping{u"releasetype", u"MusicBrainz/Album Type"},
    NameMapping{u"releasecountry", u"MusicBrainz/Album Release Country"},
    NameMapping{u"acoustid_id", u"Acoustid/Id"},
    NameMapping{u"acoustid_fingerprint", u"Acoustid/Fingerprint"},
    NameMapping{u"asin", u"ASIN"},
    NameMapping{u"compilation", u"WM/IsCompilation"},
    NameMapping{u"composer sort", u"WM/ComposerSortOrder"},
    // Readers of .wma files look for these under the same lower-case names.
    NameMapping{u"replaygain_track_gain", u"replaygain_track_gain"},
    NameMapping{u"replaygain_track_peak", u"replaygain_track_peak"},
    NameMapping{u"replaygain_album_gain", u"replaygain_album_gain"},
    NameMapping{u"replaygain_album_peak", u"replaygain_album_peak"},
    // Combined with the track and disc numbers into WM/TrackNumber and WM/PartOfSet.
    NameMapping{u"totaltracks", u"totaltracks"},
    NameMapping{u"tracktotal", u"totaltracks"},
    NameMapping{u"totaldiscs", u"totaldiscs"},
    NameMapping{u"disctotal", u"totaldiscs"},
    // The cover picture.
    NameMapping{u"WM/Picture", u"WM/Picture"},
};

char16_t FoldAscii(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

bool EqualIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](char16_t x, char16_t y) { return FoldAscii(x) == FoldAscii(y); });
}

} // namespace

std::u16string StandardAttributeName(std::u16string_view name) {
    for (const NameMapping& mapping : kNameMappings) {
        if (EqualIgnoringAsciiCase(name, mapping.field) ||
            EqualIgnoringAsciiCase(name, mapping.attribute)) {
            return std::u16string(mapping.attribute);
        }
    }
    return std::u16string(name);
}

namespace {

std::vector<HeaderAttribute> CombineWithTotal(std::vector<HeaderAttribute> attributes,
                                              std::u16string_view numberName,
                                              std::u16string_view totalName) {
    const auto isTotal = [&](const HeaderAttribute& a) {
        return a.name == totalName && a.type == WMT_TYPE_STRING && !TextOf(a).empty();
    };
    const auto total = std::find_if(attributes.begin(), attributes.end(), isTotal);
    if (total == attributes.end()) {
        return attributes;
    }
    const std::u16string count = TextOf(*total);
    bool combined = false;
    for (HeaderAttribute& attribute : attributes) {
        if (attribute.name != numberName || attribute.type != WMT_TYPE_STRING) {
            continue;
        }
        const std::u16string number = TextOf(attribute);
        if (!number.empty() && number.find(u'/') == std::u16string::npos) {
            attribute.value = StringValue(number + u"/" + count);
            combined = true;
        }
    }
    if (combined) {
        std::erase_if(attributes,
                      [&](const HeaderAttribute& a) { return isTotal(a) && TextOf(a) == count; });
    }
    return attributes;
}

} // namespace

std::vector<HeaderAttribute> CombineNumbersWithTotals(std::vector<HeaderAttribute> attributes) {
    return CombineWithTotal(
        CombineWithTotal(std::move(attributes), kTrackNumberName, kTotalTracksName), kPartOfSetName,
        kTotalDiscsName);
}

} // namespace writer
