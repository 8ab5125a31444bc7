#include "decode/vorbis_comments.h"

#include <cstring>
#include <fstream>
#include <map>
#include <vector>

namespace vantrel {
namespace {

// Comment blocks with embedded cover art can be large, but not this large.
constexpr std::size_t kMaxBlockSize = 64u << 20;

std::uint32_t le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

bool read_exact(std::ifstream& in, void* buffer, std::size_t size) {
    in.read(static_cast<char*>(buffer), static_cast<std::streamsize>(size));
    return static_cast<std::size_t>(in.gcount()) == size;
}

// Skips an ID3v2 tag at the start of the stream, if there is one.
bool skip_id3v2(std::ifstream& in) {
    std::uint8_t header[10];
    if (!read_exact(in, header, sizeof header))
        return false;
    if (std::memcmp(header, "ID3", 3) != 0) {
        in.seekg(0);
        return true;
    }
    std::size_t size = (header[6] & 0x7F) << 21 | (header[7] & 0x7F) << 14 |
                       (header[8] & 0x7F) << 7 | (header[9] & 0x7F);
    if (header[5] & 0x10) // footer present
        size += 10;
    in.seekg(static_cast<std::streamoff>(10 + size));
    return static_cast<bool>(in);
}

bool starts_with(const std::vector<std::uint8_t>& packet, const char* prefix, std::size_t length) {
    return packet.size() >= length && std::memcmp(packet.data(), prefix, length) == 0;
}

bool is_header_of(const std::vector<std::uint8_t>& first_packet, OggCodec codec) {
    switch (codec) {
    case OggCodec::vorbis:
        return starts_with(first_packet, "\x01vorbis", 7);
    case OggCodec::opus:
        return starts_with(first_packet, "OpusHead", 8);
    case OggCodec::flac:
        return starts_with(first_packet,
                           "\x7F"
                           "FLAC",
                           5);
    case OggCodec::speex:
        return starts_with(first_packet, "Speex   ", 8);
    }
    return false;
}

std::optional<TagList> comments_from_packet(const std::vector<std::uint8_t>& packet,
                                            OggCodec codec) {
    std::size_t skip = 0;
    switch (codec) {
    case OggCodec::vorbis:
        if (!starts_with(packet, "\x03vorbis", 7))
            return std::nullopt;
        skip = 7;
        break;
    case OggCodec::opus:
        if (!starts_with(packet, "OpusTags", 8))
            return std::nullopt;
        skip = 8;
        break;
    case OggCodec::flac: // a FLAC metadata block header of type 4
        if (packet.size() < 4 || (packet[0] & 0x7F) != 4)
            return std::nullopt;
        skip = 4;
        break;
    case OggCodec::speex:
        break;
    }
    return parse_vorbis_comment_block(packet.data() + skip, packet.size() - skip);
}

} // namespace

std::optional<TagList> parse_vorbis_comment_block(const std::uint8_t* data, std::size_t size) {
    std::size_t at = 0;
    auto take_length = [&](std::uint32_t& value) {
        if (size - at < 4)
            return false;
        value = le32(data + at);
        at += 4;
        return true;
    };
    std::uint32_t vendor = 0, count = 0;
    if (!take_length(vendor) || vendor > size - at)
        return std::nullopt;
    at += vendor;
    if (!take_length(count))
        return std::nullopt;
    TagList tags;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t length = 0;
        if (!take_length(length) || length > size - at)
            return std::nullopt;
        std::string entry(reinterpret_cast<const char*>(data + at), length);
        at += length;
        auto equals = entry.find('=');
        if (equals == std::string::npos || equals == 0)
            continue; // not a field; skipped as readers do
        tags.push_back({entry.substr(0, equals), entry.substr(equals + 1)});
    }
    return tags;
}

std::optional<std::vector<std::vector<std::uint8_t>>> read_flac_blocks(const std::string& path,
                                                                       int wanted) {
    std::ifstream in(path, std::ios::binary);
    if (!in || !skip_id3v2(in))
        return std::nullopt;
    char magic[4];
    if (!read_exact(in, magic, 4) || std::memcmp(magic, "fLaC", 4) != 0)
        return std::nullopt;
    std::vector<std::vector<std::uint8_t>> blocks;
    std::size_t total = 0;
    for (;;) {
        std::uint8_t header[4];
        if (!read_exact(in, header, 4))
            return std::nullopt;
        bool last = header[0] & 0x80;
        int type = header[0] & 0x7F;
        std::size_t length = header[1] << 16 | header[2] << 8 | header[3];
        if (type == 127)
            return blocks; // not a metadata block: the audio begins
        if (type == wanted) {
            total += length;
            if (total > kMaxBlockSize)
                return std::nullopt;
            std::vector<std::uint8_t> block(length);
            if (!read_exact(in, block.data(), length))
                return std::nullopt;
            blocks.push_back(std::move(block));
        } else {
            in.seekg(static_cast<std::streamoff>(length), std::ios::cur);
        }
        if (last)
            return blocks;
    }
}

std::optional<TagList> read_flac_comments(const std::string& path) {
    const auto blocks = read_flac_blocks(path, kFlacCommentBlock);
    if (!blocks)
        return std::nullopt;
    if (blocks->empty())
        return TagList{}; // a FLAC file without comments
    return parse_vorbis_comment_block(blocks->front().data(), blocks->front().size());
}

std::optional<TagList> read_ogg_comments(const std::string& path, OggCodec codec) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    struct Stream {
        std::vector<std::uint8_t> packet; // packet being assembled
        int packets = 0;                  // complete packets so far
        bool wanted = false;
    };
    std::map<std::uint32_t, Stream> streams;
    std::size_t total = 0;
    for (;;) {
        std::uint8_t header[27];
        if (!read_exact(in, header, sizeof header) || std::memcmp(header, "OggS", 4) != 0)
            return std::nullopt;
        std::uint32_t serial = le32(header + 14);
        std::uint8_t lacing[255];
        int segments = header[26];
        if (!read_exact(in, lacing, static_cast<std::size_t>(segments)))
            return std::nullopt;
        std::size_t page_size = 0;
        for (int i = 0; i < segments; ++i)
            page_size += lacing[i];
        std::vector<std::uint8_t> body(page_size);
        if (!read_exact(in, body.data(), page_size))
            return std::nullopt;
        total += page_size;
        if (total > kMaxBlockSize)
            return std::nullopt;
        Stream& stream = streams[serial];
        std::size_t offset = 0;
        for (int i = 0; i < segments; ++i) {
            stream.packet.insert(stream.packet.end(), body.begin() + offset,
                                 body.begin() + offset + lacing[i]);
            offset += lacing[i];
            if (lacing[i] == 255)
                continue;
            ++stream.packets;
            if (stream.packets == 1)
                stream.wanted = is_header_of(stream.packet, codec);
            else if (stream.packets == 2 && stream.wanted)
                return comments_from_packet(stream.packet, codec);
            stream.packet.clear();
            if (stream.packets >= 2 && !stream.wanted && streams.size() == 1)
                return std::nullopt; // the only stream is of another codec
        }
    }
}

} // namespace vantrel
