// The names under which attributes are stored in a file's header: the names
// that players and taggers read. A name given in the player's usual field
// spelling ("album artist", "comment", "discnumber") becomes its standard
// attribute name; the content-description names (Title, Author, Copyright,
// Description, Rating) are found whatever the case; any other name is kept as
// given. The whole table is in attribute_names.cpp.
#pragma once

#include "header_attributes.h"

#include <string>
#include <string_view>
#include <vector>

namespace writer {

inline constexpr std::u16string_view kPartOfSetName = u"WM/PartOfSet";
inline constexpr std::u16string_view kTotalDiscsName = u"totaldiscs";
inline constexpr std::u16string_view kTrackNumberName = u"WM/TrackNumber";
inline constexpr std::u16string_view kTotalTracksName = u"totaltracks";
// Stored as a BOOL when its text is 1/0, true/false or yes/no.
inline constexpr std::u16string_view kCompilationName = u"WM/IsCompilation";

// The stored name of `name`. Field and attribute names are compared ignoring
// the case of ASCII letters only.
std::u16string StandardAttributeName(std::u16string_view name);

// A number and its total share one attribute, which readers show as "3 of 12":
// WM/TrackNumber "3/12" and WM/PartOfSet "1/2". Every text WM/TrackNumber
// (WM/PartOfSet) without a total gains the first totaltracks (totaldiscs)
// value, which is then no attribute of its own. Without a number (or when
// every one already has its total) the total stays as it is.
std::vector<HeaderAttribute> CombineNumbersWithTotals(std::vector<HeaderAttribute> attributes);

} // namespace writer
