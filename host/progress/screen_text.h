// Text as a terminal draws it: how many columns it takes (the wcwidth rules:
// combining marks take none, East Asian wide characters and emoji take two),
// and fitting it into a number of columns without splitting a character from
// its marks.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vantrel {

// Columns the code point takes: 0, 1 or 2.
int char_width(char32_t code);

// The text with what a terminal cannot show as it is replaced: bytes that are
// not UTF-8 by U+FFFD, control characters (a newline in a file name) by '?'.
std::string printable(std::string_view text);

// Columns taken by printable UTF-8 text.
std::size_t text_width(std::string_view text);

// The text cut in the middle to at most `columns`, "…" standing for what was
// left out; the end keeps the larger half, as it tells similar names apart.
std::string fit_middle(std::string_view text, std::size_t columns);

// A file's path in at most `columns`: leading folders give way first
// ("…/Album/01 Song.flac"), then the file name is cut in its middle.
std::string fit_path(std::string_view path, std::size_t columns);

// The text followed by spaces up to `columns`.
std::string pad_to(std::string text, std::size_t columns);

} // namespace vantrel
