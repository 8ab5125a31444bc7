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

// The stored name of `name`. Field and attribute names are compared ignoring
// the case of ASCII letters only.
std::u16string StandardAttributeName(std::u16string_view name);

// The disc number and the number of discs share one attribute, WM/PartOfSet
// "1/2": every text WM/PartOfSet without a total gains the first totaldiscs
// value, which is then no attribute of its own. Without WM/PartOfSet (or when
// every one already has its total) totaldiscs stays as it is.
std::vector<HeaderAttribute> CombinePartOfSet(std::vector<HeaderAttribute> attributes);

} // namespace writer
