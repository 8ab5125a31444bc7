#include "settings/profile_file.h"
#include "settings/regular_file.h"

#include "platform/unicode.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

namespace vantrel {
namespace {

// Profiles are a few kilobytes of XML.
constexpr std::size_t kMaxProfileBytes = 4 << 20;

std::string utf16_to_utf8(const std::string& bytes, std::size_t start, bool big_endian) {
    if ((bytes.size() - start) % 2 != 0)
        throw ProfileFileError("odd number of bytes in UTF-16 text");
    std::u16string units;
    units.reserve((bytes.size() - start) / 2);
    for (std::size_t i = start; i < bytes.size(); i += 2) {
        const auto a = static_cast<unsigned char>(bytes[i]);
        const auto b = static_cast<unsigned char>(bytes[i + 1]);
        const auto unit = static_cast<char16_t>(big_endian ? (a << 8 | b) : (b << 8 | a));
        if (unit == 0) // a trailing terminator some editors write
            break;
        units.push_back(unit);
    }
    auto text = unicode::Utf16ToUtf8(units);
    if (!text)
        throw ProfileFileError("broken UTF-16 surrogate pair");
    return *text;
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
    if (!unicode::IsValidUtf8(text))
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
    std::string bytes;
    try {
        bytes = read_regular_file(path, kMaxProfileBytes, "profile");
    } catch (const RegularFileError& e) {
        throw ProfileFileError(e.what());
    }
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
