#include "cli/suggestion.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <numeric>

#include "vantrel/wma_config_block.h"

namespace vantrel {
namespace {

std::string lower(std::string_view text) {
    std::string folded(text);
    for (char& c : folded)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return folded;
}

std::size_t letters(std::string_view name) {
    return name.size() - std::min(name.find_first_not_of('-'), name.size());
}

} // namespace

std::size_t edit_distance(std::string_view a, std::string_view b) {
    // Three rows of the table suffice: swaps look two rows back.
    std::vector<std::size_t> before(b.size() + 1), previous(b.size() + 1), row(b.size() + 1);
    std::iota(previous.begin(), previous.end(), std::size_t{0});
    for (std::size_t i = 1; i <= a.size(); ++i) {
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
            row[j] = std::min({previous[j] + 1, row[j - 1] + 1, previous[j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                row[j] = std::min(row[j], before[j - 2] + 1);
        }
        std::swap(before, previous);
        std::swap(previous, row);
    }
    return previous[b.size()];
}

std::string closest_name(std::string_view typed, const std::vector<std::string_view>& candidates) {
    std::string_view best;
    std::size_t best_distance = 0;
    for (std::string_view candidate : candidates) {
        const std::size_t distance = edit_distance(typed, candidate);
        const std::size_t shorter = std::min(letters(typed), letters(candidate));
        if (distance == 0 || distance * 3 > shorter)
            continue;
        if (best.empty() || distance < best_distance) {
            best = candidate;
            best_distance = distance;
        }
    }
    return std::string(best);
}

std::optional<int> preset_meant(std::string_view text) {
    const std::string word = lower(text);
    if (word == "lossless" || word == "wmal" || word == "wma-lossless")
        return wma_config::lossless_preset_index;
    int kilobits = 0;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), kilobits);
    const std::string_view unit(end, static_cast<std::size_t>(word.data() + word.size() - end));
    if (error != std::errc() || !(unit.empty() || unit == "k" || unit == "kb" || unit == "kbps" ||
                                  unit == "kbit" || unit == "kb/s" || unit == "kbit/s"))
        return std::nullopt;
    for (int i = 0; i < wma_config::preset_count; ++i)
        if (wma_config::preset_kilobits[i] == kilobits && kilobits > 0)
            return i;
    return std::nullopt;
}

} // namespace vantrel
