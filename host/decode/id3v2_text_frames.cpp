#include "decode/id3v2_text_frames.h"

#include "platform/unicode.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <string_view>

namespace vantrel {
namespace {

// Comment blocks with cover art can be large, but not this large.
constexpr std::size_t kMaxTagSize = 64u << 20;

std::uint32_t syncsafe(const std::uint8_t* p) {
    return (p[0] & 0x7Fu) << 21 | (p[1] & 0x7Fu) << 14 | (p[2] & 0x7Fu) << 7 | (p[3] & 0x7Fu);
}

std::uint32_t big_endian(const std::uint8_t* p, int bytes) {
    std::uint32_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value = value << 8 | p[i];
    return value;
}

// Undoes unsynchronisation: every 0xFF 0x00 pair loses its 0x00.
std::vector<std::uint8_t> resynchronise(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> out;
    out.reserve(size);
    for (std::size_t i = 0; i < size; ++i) {
        out.push_back(data[i]);
        if (data[i] == 0xFF && i + 1 < size && data[i + 1] == 0x00)
            ++i;
    }
    return out;
}

// Splits a text frame's body (after its encoding byte) into its values: each
// ends at a zero character, and a last one without a terminator counts too.
// UTF-16 values may each start with their own byte-order mark.
std::vector<std::string> decode_strings(int encoding, const std::uint8_t* p, std::size_t size) {
    std::vector<std::string> values;
    if (encoding == 0 || encoding == 3) {
        const std::string_view body(reinterpret_cast<const char*>(p), size);
        std::size_t begin = 0;
        while (begin < body.size()) {
            const std::size_t end = std::min(body.find('\0', begin), body.size());
            const std::string_view value = body.substr(begin, end - begin);
            values.push_back(encoding == 0 ? unicode::Latin1ToUtf8(value)
                                           : unicode::ValidUtf8(value));
            begin = end + 1;
        }
        return values;
    }
    std::u16string current;
    bool big = encoding == 2;
    auto finish = [&] {
        values.push_back(*unicode::Utf16ToUtf8(current, false));
        current.clear();
        big = encoding == 2;
    };
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        const auto unit = static_cast<char16_t>(big ? p[i] << 8 | p[i + 1] : p[i + 1] << 8 | p[i]);
        if (unit == 0xFEFF && current.empty())
            continue;
        if (unit == 0xFFFE && current.empty())
            big = !big;
        else if (unit == 0)
            finish();
        else
            current.push_back(unit);
    }
    if (!current.empty())
        finish();
    return values;
}

} // namespace

namespace {

// Calls visit(id, body) for each frame of a whole tag, with the frame's flags
// undone (v2.2 ids as v2.3 ones for TXX); compressed and encrypted frames are
// passed over. False for a damaged tag.
template <class Visit>
bool for_each_frame(const std::uint8_t* data, std::size_t size, Visit visit) {
    if (size < 10 || std::string_view(reinterpret_cast<const char*>(data), 3) != "ID3")
        return false;
    int version = data[3];
    std::uint8_t flags = data[5];
    std::size_t tag_size = syncsafe(data + 6);
    if (version < 2 || version > 4 || tag_size > size - 10)
        return false;
    std::vector<std::uint8_t> body(data + 10, data + 10 + tag_size);
    if ((flags & 0x80) && version < 4)
        body = resynchronise(body.data(), body.size());
    std::size_t at = 0;
    if ((flags & 0x40) && version >= 3) { // extended header
        if (body.size() < 4)
            return false;
        at = version == 3 ? 4 + big_endian(body.data(), 4) : syncsafe(body.data());
    }
    const int id_size = version == 2 ? 3 : 4;
    const int header_size = version == 2 ? 6 : 10;
    while (at + static_cast<std::size_t>(header_size) <= body.size()) {
        const std::uint8_t* header = body.data() + at;
        if (header[0] == 0)
            break; // padding
        std::string id(reinterpret_cast<const char*>(header), static_cast<std::size_t>(id_size));
        std::size_t frame_size = version == 2   ? big_endian(header + 3, 3)
                                 : version == 3 ? big_endian(header + 4, 4)
                                                : syncsafe(header + 4);
        std::uint8_t format = version == 2 ? 0 : header[9];
        at += static_cast<std::size_t>(header_size);
        if (frame_size > body.size() - at)
            return false;
        std::vector<std::uint8_t> frame(body.begin() + static_cast<long>(at),
                                        body.begin() + static_cast<long>(at + frame_size));
        at += frame_size;
        bool compressed_or_encrypted = version == 3 ? (format & 0xC0) : (format & 0x0C);
        if (compressed_or_encrypted)
            continue;
        std::size_t skip = 0;
        if (version == 4) {
            if (format & 0x40)
                skip += 1; // group
            if (format & 0x01)
                skip += 4; // data length
            if (format & 0x02 || flags & 0x80)
                frame = resynchronise(frame.data(), frame.size());
        } else if (version == 3 && (format & 0x20)) {
            skip += 1;
        }
        if (frame.size() <= skip)
            continue;
        frame.erase(frame.begin(), frame.begin() + static_cast<long>(skip));
        visit(version == 2 && id == "TXX" ? std::string("TXXX") : id, frame);
    }
    return true;
}

// The length of the first value of a text in `encoding` at `p`, and of its
// terminator (0 when the text runs to the end).
std::pair<std::size_t, std::size_t> first_value(int encoding, const std::uint8_t* p,
                                                std::size_t size) {
    const std::size_t unit = encoding == 1 || encoding == 2 ? 2 : 1;
    for (std::size_t i = 0; i + unit <= size; i += unit)
        if (p[i] == 0 && (unit == 1 || p[i + 1] == 0))
            return {i, unit};
    return {size, 0};
}

// An APIC (v2.3, v2.4) or PIC (v2.2) frame: encoding, MIME type (PIC: a
// three-letter image format), picture type, description, data.
std::optional<AttachedPicture> parse_picture_frame(const std::string& id,
                                                   const std::vector<std::uint8_t>& frame) {
    const std::uint8_t* p = frame.data();
    std::size_t size = frame.size();
    if (size < 2 || p[0] > 3)
        return std::nullopt;
    const int encoding = p[0];
    AttachedPicture picture;
    std::size_t at = 1;
    if (id == "PIC") {
        if (size < 5)
            return std::nullopt;
        const std::string format(reinterpret_cast<const char*>(p + 1), 3);
        picture.mime = format == "JPG" ? "image/jpeg" : "image/" + format;
        at = 4;
    } else {
        const auto [length, terminator] = first_value(0, p + at, size - at);
        if (terminator == 0)
            return std::nullopt;
        picture.mime =
            unicode::Latin1ToUtf8(std::string_view(reinterpret_cast<const char*>(p + at), length));
        at += length + terminator;
    }
    if (at >= size)
        return std::nullopt;
    picture.type = p[at++];
    const auto [length, terminator] = first_value(encoding, p + at, size - at);
    if (terminator == 0)
        return std::nullopt;
    const auto values = decode_strings(encoding, p + at, length);
    picture.description = values.empty() ? "" : values.front();
    at += length + terminator;
    picture.data.assign(p + at, p + size);
    return picture;
}

} // namespace

std::optional<Id3TextFrames> parse_id3v2_text_frames(const std::uint8_t* data, std::size_t size) {
    Id3TextFrames frames;
    const bool whole =
        for_each_frame(data, size, [&](std::string id, const std::vector<std::uint8_t>& frame) {
            if (id[0] != 'T' || frame.empty() || frame[0] > 3)
                return;
            std::vector<std::string> values =
                decode_strings(frame[0], frame.data() + 1, frame.size() - 1);
            if (id == "TXXX") {
                if (values.empty())
                    return;
                id += ":" + values.front();
                values.erase(values.begin());
            }
            auto& stored = frames[id];
            stored.insert(stored.end(), values.begin(), values.end());
        });
    if (!whole)
        return std::nullopt;
    return frames;
}

std::optional<std::vector<AttachedPicture>>
parse_id3v2_pictures(const std::uint8_t* data, std::size_t size, int& unreadable) {
    std::vector<AttachedPicture> pictures;
    const bool whole = for_each_frame(
        data, size, [&](const std::string& id, const std::vector<std::uint8_t>& frame) {
            if (id != "APIC" && id != "PIC")
                return;
            if (auto picture = parse_picture_frame(id, frame))
                pictures.push_back(std::move(*picture));
            else
                ++unreadable;
        });
    if (!whole)
        return std::nullopt;
    return pictures;
}

std::optional<std::vector<std::uint8_t>> read_id3v2_tag(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::uint8_t header[10];
    if (!in.read(reinterpret_cast<char*>(header), 10) ||
        std::string_view(reinterpret_cast<const char*>(header), 3) != "ID3")
        return std::nullopt;
    std::size_t size = syncsafe(header + 6);
    if (size > kMaxTagSize)
        return std::nullopt;
    std::vector<std::uint8_t> tag(10 + size);
    std::copy(header, header + 10, tag.begin());
    if (!in.read(reinterpret_cast<char*>(tag.data() + 10), static_cast<std::streamsize>(size)))
        return std::nullopt;
    return tag;
}

std::optional<std::vector<std::uint8_t>> read_chunk_id3v2_tag(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::uint8_t header[12];
    if (!in.read(reinterpret_cast<char*>(header), 12))
        return std::nullopt;
    const std::string_view form(reinterpret_cast<const char*>(header), 4);
    const std::string_view kind(reinterpret_cast<const char*>(header + 8), 4);
    const bool riff = form == "RIFF" && kind == "WAVE";
    if (!riff && !(form == "FORM" && (kind == "AIFF" || kind == "AIFC")))
        return std::nullopt;
    std::uint8_t chunk[8];
    while (in.read(reinterpret_cast<char*>(chunk), 8)) {
        const std::string_view id(reinterpret_cast<const char*>(chunk), 4);
        const std::uint32_t size = riff ? static_cast<std::uint32_t>(chunk[4]) | chunk[5] << 8 |
                                              chunk[6] << 16 |
                                              static_cast<std::uint32_t>(chunk[7]) << 24
                                        : big_endian(chunk + 4, 4);
        if (id == "id3 " || id == "ID3 ") {
            if (size > kMaxTagSize)
                return std::nullopt;
            std::vector<std::uint8_t> tag(size);
            if (!in.read(reinterpret_cast<char*>(tag.data()), static_cast<std::streamsize>(size)))
                return std::nullopt;
            return tag;
        }
        in.seekg(static_cast<std::streamoff>(size + (size & 1)), std::ios::cur); // chunks are even
    }
    return std::nullopt;
}

std::optional<Id3TextFrames> read_id3v2_text_frames(const std::string& path) {
    const auto tag = read_id3v2_tag(path);
    return tag ? parse_id3v2_text_frames(tag->data(), tag->size()) : std::nullopt;
}

std::optional<Id3TextFrames> read_wav_id3v2_text_frames(const std::string& path) {
    const auto tag = read_chunk_id3v2_tag(path);
    return tag ? parse_id3v2_text_frames(tag->data(), tag->size()) : std::nullopt;
}

std::string ffmpeg_key_of_frame(const std::string& frame_id) {
    if (frame_id.starts_with("TXXX:"))
        return frame_id.substr(5);
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 24> keys{{
        {"TALB", "album"},       {"TCOM", "composer"},   {"TCON", "genre"},
        {"TCOP", "copyright"},   {"TENC", "encoded_by"}, {"TIT2", "title"},
        {"TLAN", "language"},    {"TPE1", "artist"},     {"TPE2", "album_artist"},
        {"TPE3", "performer"},   {"TPOS", "disc"},       {"TPUB", "publisher"},
        {"TRCK", "track"},       {"TSSE", "encoder"},    {"TSOA", "album-sort"},
        {"TSOP", "artist-sort"}, {"TSOT", "title-sort"}, {"TIT1", "grouping"},
        {"TDRC", "date"},        {"TYER", "date"},       {"TT2", "title"},
        {"TP1", "artist"},       {"TAL", "album"},       {"TCO", "genre"},
    }};
    for (const auto& [id, key] : keys)
        if (frame_id == id)
            return std::string(key);
    return {};
}

} // namespace vantrel
