#include "decode/picture_blocks.h"

#include <array>
#include <cstring>

#include "platform/unicode.h"

namespace vantrel {
namespace {

std::uint32_t be32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

bool starts_with(const std::vector<std::uint8_t>& data, std::string_view signature,
                 std::size_t at = 0) {
    return data.size() >= at + signature.size() &&
           std::memcmp(data.data() + at, signature.data(), signature.size()) == 0;
}

char fold(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// `name` against a lower-case name, ignoring the case of ASCII letters.
bool is_named(std::string_view name, std::string_view lower) {
    if (name.size() != lower.size())
        return false;
    for (std::size_t i = 0; i < name.size(); ++i)
        if (fold(name[i]) != lower[i])
            return false;
    return true;
}

int base64_digit(char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+' || c == '-')
        return 62;
    if (c == '/' || c == '_')
        return 63;
    return -1;
}

} // namespace

std::string image_mime_of(const std::vector<std::uint8_t>& data) {
    if (starts_with(data, "\x89PNG\r\n\x1A\n"))
        return "image/png";
    if (starts_with(data, "\xFF\xD8\xFF"))
        return "image/jpeg";
    if (starts_with(data, "GIF87a") || starts_with(data, "GIF89a"))
        return "image/gif";
    if (starts_with(data, "BM") && data.size() >= 14)
        return "image/bmp";
    if (starts_with(data, "RIFF") && starts_with(data, "WEBP", 8))
        return "image/webp";
    if (starts_with(data, std::string_view("II*\0", 4)) ||
        starts_with(data, std::string_view("MM\0*", 4)))
        return "image/tiff";
    return "";
}

bool settle_picture_kind(AttachedPicture& picture) {
    std::string mime = image_mime_of(picture.data);
    if (mime.empty())
        return false;
    picture.mime = std::move(mime);
    return true;
}

std::optional<AttachedPicture> parse_flac_picture(const std::uint8_t* data, std::size_t size) {
    std::size_t at = 0;
    auto number = [&](std::uint32_t& value) {
        if (size - at < 4)
            return false;
        value = be32(data + at);
        at += 4;
        return true;
    };
    auto text = [&](std::string& value) {
        std::uint32_t length = 0;
        if (!number(length) || length > size - at)
            return false;
        value.assign(reinterpret_cast<const char*>(data + at), length);
        at += length;
        return true;
    };
    AttachedPicture picture;
    std::uint32_t type = 0, figure = 0, length = 0;
    if (!number(type) || !text(picture.mime) || !text(picture.description))
        return std::nullopt;
    for (int i = 0; i < 4; ++i) // width, height, depth, colours
        if (!number(figure))
            return std::nullopt;
    if (!number(length) || length > size - at)
        return std::nullopt;
    picture.type = type <= 0xFF ? static_cast<int>(type) : 0;
    picture.description = unicode::ValidUtf8(picture.description);
    picture.data.assign(data + at, data + at + length);
    return picture;
}

std::optional<std::vector<std::uint8_t>> decode_base64(std::string_view text) {
    while (!text.empty() && (text.back() == '=' || text.back() == '\n' || text.back() == '\r'))
        text.remove_suffix(1);
    std::vector<std::uint8_t> out;
    out.reserve(text.size() * 3 / 4);
    std::uint32_t bits = 0;
    int count = 0;
    for (const char c : text) {
        const int digit = base64_digit(c);
        if (digit < 0)
            return std::nullopt;
        bits = bits << 6 | static_cast<std::uint32_t>(digit);
        count += 6;
        if (count >= 8) {
            count -= 8;
            out.push_back(static_cast<std::uint8_t>(bits >> count));
        }
    }
    if (count >= 6)
        return std::nullopt; // one digit too many: not whole bytes
    return out;
}

std::vector<AttachedPicture> pictures_of_comments(const TagList& comments, int& unreadable) {
    std::vector<AttachedPicture> pictures;
    std::string cover_mime;
    for (const Tag& tag : comments)
        if (is_named(tag.name, "coverartmime"))
            cover_mime = tag.value;
    for (const Tag& tag : comments) {
        const bool block = is_named(tag.name, "metadata_block_picture");
        if (!block && !is_named(tag.name, "coverart"))
            continue;
        const auto bytes = decode_base64(tag.value);
        std::optional<AttachedPicture> picture;
        if (bytes && block)
            picture = parse_flac_picture(bytes->data(), bytes->size());
        else if (bytes)
            picture = AttachedPicture{kFrontCover, cover_mime, "", *bytes};
        if (picture)
            pictures.push_back(std::move(*picture));
        else
            ++unreadable;
    }
    return pictures;
}

} // namespace vantrel
