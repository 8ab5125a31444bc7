// Suggestions for what a person meant to type: the known name closest to a
// mistyped one, and the preset behind a bit rate or a word.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

// Edits (insert, delete, replace, swap two neighbours) from `a` to `b`.
std::size_t edit_distance(std::string_view a, std::string_view b);

// The candidate within a few edits of `typed` (fewer than a third of its
// letters), the closest first; empty when none is that close.
std::string closest_name(std::string_view typed, const std::vector<std::string_view>& candidates);

// The preset a person may have meant by "128", "128k", "128kbps" or
// "lossless"; nothing when the text names none.
std::optional<int> preset_meant(std::string_view text);

} // namespace vantrel
