#include "settings/profile_file.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

namespace vantrel {
namespace {

void append_utf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string utf16_to_utf8(const std::string& bytes, std::size_t start, bool big_endian) {
    if ((bytes.size() - start) % 2 != 0)
        throw ProfileFileError("odd number of bytes in UTF-16 text");
    auto unit = [&](std::size_t i) {
        auto a = static_cast<unsigned char>(bytes[i]);
        auto b = static_cast<unsigned char>(bytes[i + 1]);
        return static_cast<char16_t>(big_endian ? (a << 8 | b) : (b << 8 | a));
    };
    std::string out;
    out.reserve((bytes.size() - start) / 2);
    for (std::size_t i = start; i < bytes.size(); i += 2) {
        char32_t c = unit(i);
        if (c >= 0xD800 && c < 0xDC00) {
            if (i + 3 >= bytes.size() || unit(i + 2) < 0xDC00 || unit(i + 2) >= 0xE000)
                throw ProfileFileError("broken UTF-16 surrogate pair");
            c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
            i += 2;
        } else if (c >= 0xDC00 && c < 0xE000) {
            throw ProfileFileError("broken UTF-16 surrogate pair");
        }
        if (c == 0) // a trailing terminator some editors write
            break;
        append_utf8(out, c);
    }
    return out;
}

bool valid_utf8(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size()) {
        auto c = static_cast<unsigned char>(text[i]);
        std::size_t length = c < 0x80             ? 1
                             : (c & 0xE0) == 0xC0 ? 2
                             : (c & 0xF0) == 0xE0 ? 3
                             : (c & 0xF8) == 0xF0 ? 4
                                                  : 0;
        if (length == 0 || i + length > text.size())
            return false;
        for (std::size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        i += length;
    }
    return true;
}

} // namespace

std::string profile_text_to_utf8(const std::string& bytes) {
    auto at = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    if (bytes.size() >= 2 && at(0) == 0xFF && at(1) == 0xFE)
        return utf16_to_utf8(bytes, 2, false);
    if (bytes.size() >= 2 && at(0) == 0xFE && at(1) == 0xFF)
        return utf16_to_utf8(bytes, 2, true);
    if (bytes.size() >= 2 && at(0) == '<' && at(1) == 0)
        return utf16_to_utf8(bytes, 0, false);
    if (bytes.size() >= 2 && at(0) == 0 && at(1) == '<')
        return utf16_to_utf8(bytes, 0, true);
    std::string text = bytes;
    if (text.size() >= 3 && at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF)
        text.erase(0, 3);
    if (!valid_utf8(text))
        throw ProfileFileError("not UTF-8 or UTF-16 text");
    // The block's text ends at its first zero byte; cut trailing ones here.
    auto nul = text.find('\0');
    if (nul != std::string::npos) {
        if (text.find_first_not_of('\0', nul) != std::string::npos)
            throw ProfileFileError("contains NUL bytes");
        text.erase(nul);
    }
    return text;
}

std::string read_profile_file(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw ProfileFileError("cannot read profile " + path + ": " + std::strerror(errno));
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad())
        throw ProfileFileError("cannot read profile " + path + ": read error");
    std::string text;
    try {
        text = profile_text_to_utf8(bytes);
    } catch (const ProfileFileError& e) {
        throw ProfileFileError("profile " + path + " is not a text file (" + e.what() + ")");
    }
    std::string lower = text;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (lower.find("<profile") == std::string::npos)
        throw ProfileFileError("profile " + path +
                               " is not a Windows Media profile (no <profile> element)");
    return text;
}

} // namespace vantrel
