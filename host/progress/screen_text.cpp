#include "progress/screen_text.h"

#include <algorithm>
#include <vector>

#include "platform/unicode.h"
#include "progress/char_width_table.h"

namespace vantrel {
namespace {

constexpr char kEllipsis[] = "\xE2\x80\xA6"; // "…", one column
constexpr char32_t kZeroWidthJoiner = 0x200D;

bool in_ranges(char32_t code, const CodeRange* ranges, std::size_t count) {
    const CodeRange* end = ranges + count;
    const CodeRange* it = std::upper_bound(
        ranges, end, code, [](char32_t c, const CodeRange& range) { return c < range.first; });
    return it != ranges && code <= (it - 1)->last;
}

// One character as drawn: a base with the marks that follow it, and what a
// zero-width joiner ties to it (the parts of a composed emoji).
struct Cluster {
    std::size_t begin, end; // bytes
    std::size_t width;      // columns
};

std::vector<Cluster> clusters(std::string_view text) {
    std::vector<Cluster> found;
    bool joined = false;
    for (std::size_t offset = 0; offset < text.size();) {
        const std::size_t begin = offset;
        char32_t code = unicode::kReplacementCharacter;
        if (!unicode::DecodeUtf8(text, offset, code))
            code = unicode::kReplacementCharacter;
        const int width = char_width(code);
        if (found.empty() || (width > 0 && !joined))
            found.push_back({begin, offset, 0});
        found.back().end = offset;
        found.back().width += static_cast<std::size_t>(width);
        joined = code == kZeroWidthJoiner;
    }
    return found;
}

} // namespace

int char_width(char32_t code) {
    if (in_ranges(code, kZeroWidth, kZeroWidthCount))
        return 0;
    return in_ranges(code, kDoubleWidth, kDoubleWidthCount) ? 2 : 1;
}

std::string printable(std::string_view text) {
    std::string shown;
    shown.reserve(text.size());
    for (std::size_t offset = 0; offset < text.size();) {
        char32_t code = 0;
        if (!unicode::DecodeUtf8(text, offset, code))
            code = unicode::kReplacementCharacter;
        if (code < 0x20 || (code >= 0x7F && code < 0xA0))
            code = '?';
        unicode::AppendUtf8(shown, code);
    }
    return shown;
}

std::size_t text_width(std::string_view text) {
    std::size_t width = 0;
    for (const Cluster& cluster : clusters(text))
        width += cluster.width;
    return width;
}

std::string fit_middle(std::string_view text, std::size_t columns) {
    const std::vector<Cluster> parts = clusters(text);
    std::size_t total = 0;
    for (const Cluster& cluster : parts)
        total += cluster.width;
    if (total <= columns)
        return std::string(text);
    if (columns == 0)
        return {};
    const std::size_t room = columns - 1; // beside the ellipsis
    const std::size_t head_room = room / 2;
    std::size_t head = 0, head_width = 0;
    while (head < parts.size() && head_width + parts[head].width <= head_room)
        head_width += parts[head++].width;
    std::size_t tail = parts.size(), tail_width = 0;
    while (tail > head && head_width + tail_width + parts[tail - 1].width <= room)
        tail_width += parts[--tail].width;
    while (head < tail && head_width + tail_width + parts[head].width <= room)
        head_width += parts[head++].width;
    std::string fitted(text.substr(0, head ? parts[head - 1].end : 0));
    fitted += kEllipsis;
    if (tail < parts.size())
        fitted += text.substr(parts[tail].begin);
    return fitted;
}

std::string fit_path(std::string_view path, std::size_t columns) {
    if (text_width(path) <= columns)
        return std::string(path);
    // The longest run of trailing path components that fits behind "…/".
    const std::size_t last_slash = path.find_last_of('/');
    if (last_slash != std::string_view::npos && columns > 2) {
        std::size_t keep = last_slash;
        for (std::size_t slash = last_slash; slash != std::string_view::npos && slash > 0;) {
            if (text_width(path.substr(slash)) + 1 > columns)
                break;
            keep = slash;
            slash = path.find_last_of('/', slash - 1);
        }
        const std::string_view kept = path.substr(keep);
        if (text_width(kept) + 1 <= columns)
            return kEllipsis + std::string(kept);
    }
    const std::string_view name =
        last_slash == std::string_view::npos ? path : path.substr(last_slash + 1);
    return fit_middle(name, columns);
}

std::string pad_to(std::string text, std::size_t columns) {
    const std::size_t width = text_width(text);
    if (width < columns)
        text.append(columns - width, ' ');
    return text;
}

} // namespace vantrel
