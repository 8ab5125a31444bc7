#include "decode/mp4_items.h"

#include <array>
#include <cstring>
#include <fstream>
#include <string_view>

namespace vantrel {
namespace {

// Movie boxes with cover art can be large, but not this large.
constexpr std::uint64_t kMaxMovieBox = 64u << 20;
constexpr std::uint32_t kUtf8Data = 1;

std::uint32_t be32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
}

struct Box {
    std::string_view type;
    const std::uint8_t* body;
    std::size_t size;
};

// Calls visit(box) for each box in `data`; stops at the first that does not fit.
template <class Visit> void for_each_box(const std::uint8_t* data, std::size_t size, Visit visit) {
    std::size_t at = 0;
    while (size - at >= 8) {
        const std::size_t box = be32(data + at);
        if (box < 8 || box > size - at)
            return;
        visit(Box{std::string_view(reinterpret_cast<const char*>(data + at + 4), 4), data + at + 8,
                  box - 8});
        at += box;
    }
}

// The first child box of that type.
std::optional<Box> child(const Box& parent, std::string_view type, std::size_t skip = 0) {
    std::optional<Box> found;
    if (parent.size < skip)
        return found;
    for_each_box(parent.body + skip, parent.size - skip, [&](const Box& box) {
        if (!found && box.type == type)
            found = box;
    });
    return found;
}

// FFmpeg's keys of the item types that hold text.
std::string ffmpeg_key_of_item(std::string_view type) {
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 13> keys{{
        {"\xA9"
         "ART",
         "artist"},
        {"\xA9"
         "alb",
         "album"},
        {"aART", "album_artist"},
        {"\xA9"
         "wrt",
         "composer"},
        {"\xA9"
         "gen",
         "genre"},
        {"\xA9"
         "nam",
         "title"},
        {"\xA9"
         "cmt",
         "comment"},
        {"\xA9"
         "day",
         "date"},
        {"\xA9"
         "grp",
         "grouping"},
        {"\xA9"
         "lyr",
         "lyrics"},
        {"desc", "description"},
        {"cprt", "copyright"},
        {"\xA9"
         "too",
         "encoder"},
    }};
    for (const auto& [item, key] : keys)
        if (type == item)
            return std::string(key);
    return {};
}

} // namespace

Mp4TextItems parse_mp4_item_list(const std::uint8_t* data, std::size_t size) {
    Mp4TextItems items;
    for_each_box(data, size, [&](const Box& item) {
        std::string key = ffmpeg_key_of_item(item.type);
        std::vector<std::string> values;
        for_each_box(item.body, item.size, [&](const Box& box) {
            // A freeform item names itself; its key is that name.
            if (box.type == "name" && box.size >= 4)
                key.assign(reinterpret_cast<const char*>(box.body + 4), box.size - 4);
            // Type indicator (version and 24-bit type), locale, then the value.
            if (box.type == "data" && box.size >= 8 && (be32(box.body) & 0xFFFFFF) == kUtf8Data)
                values.emplace_back(reinterpret_cast<const char*>(box.body + 8), box.size - 8);
        });
        if (!key.empty() && !values.empty()) {
            auto& stored = items[key];
            stored.insert(stored.end(), values.begin(), values.end());
        }
    });
    return items;
}

std::vector<AttachedPicture> parse_mp4_covers(const std::uint8_t* data, std::size_t size) {
    std::vector<AttachedPicture> pictures;
    for_each_box(data, size, [&](const Box& item) {
        if (item.type != "covr")
            return;
        for_each_box(item.body, item.size, [&](const Box& box) {
            if (box.type != "data" || box.size < 8)
                return;
            // The type says JPEG (13), PNG (14) or BMP (27); the bytes say it too.
            pictures.push_back({kFrontCover, "", "",
                                std::vector<std::uint8_t>(box.body + 8, box.body + box.size)});
        });
    });
    return pictures;
}

std::optional<std::vector<std::uint8_t>> read_mp4_item_list(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::uint8_t header[16];
    while (in.read(reinterpret_cast<char*>(header), 8)) {
        std::uint64_t size = be32(header);
        std::uint64_t header_size = 8;
        if (size == 1) { // a 64-bit size follows
            if (!in.read(reinterpret_cast<char*>(header + 8), 8))
                return std::nullopt;
            size = static_cast<std::uint64_t>(be32(header + 8)) << 32 | be32(header + 12);
            header_size = 16;
        }
        if (size < header_size)
            return std::nullopt; // a box to the end of the file, or damage: no movie box before it
        if (std::memcmp(header + 4, "moov", 4) != 0) {
            in.seekg(static_cast<std::streamoff>(size - header_size), std::ios::cur);
            continue;
        }
        if (size > kMaxMovieBox)
            return std::nullopt;
        std::vector<std::uint8_t> movie(size - header_size);
        if (!in.read(reinterpret_cast<char*>(movie.data()),
                     static_cast<std::streamsize>(movie.size())))
            return std::nullopt;
        const Box moov{"moov", movie.data(), movie.size()};
        const auto udta = child(moov, "udta");
        // "meta" is a full box: version and flags come before its children.
        const auto meta = udta ? child(*udta, "meta") : std::nullopt;
        const auto ilst = meta ? child(*meta, "ilst", 4) : std::nullopt;
        if (!ilst)
            return std::vector<std::uint8_t>{};
        return std::vector<std::uint8_t>(ilst->body, ilst->body + ilst->size);
    }
    return std::nullopt;
}

std::optional<Mp4TextItems> read_mp4_text_items(const std::string& path) {
    const auto list = read_mp4_item_list(path);
    if (!list)
        return std::nullopt;
    return parse_mp4_item_list(list->data(), list->size());
}

} // namespace vantrel
