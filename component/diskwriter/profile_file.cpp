#include "diskwriter/profile_file.h"

#include "entry/host_calls.h"
#include "sdk/utf_coders.h"
#include "vantrel/host_api.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <new>
#include <stdexcept>
#include <vector>

namespace {

constexpr char16_t kByteOrderMark = 0xFEFF;
constexpr std::uint32_t kReplacementCharacter = 0xFFFD;

bool IsSurrogate(std::uint32_t codePoint) {
    return codePoint >= 0xD800 && codePoint <= 0xDFFF;
}

// Gives the file back however the read ends.
class OpenedFile {
public:
    explicit OpenedFile(file_object* file) : file_(file) {}
    OpenedFile(const OpenedFile&) = delete;
    OpenedFile& operator=(const OpenedFile&) = delete;
    ~OpenedFile() {
        if (file_ != nullptr)
            file_->release();
    }
    file_object* get() const { return file_; }

private:
    file_object* file_;
};

} // namespace

std::string Utf8FromProfileUnits(const char16_t* units, std::size_t count) {
    std::string text;
    std::size_t offset = 0;
    if (count > 0 && units[0] == kByteOrderMark)
        offset = 1;
    while (offset < count && units[offset] != 0) {
        std::uint32_t codePoint = 0;
        const auto remaining = static_cast<std::uint32_t>(
            std::min<std::size_t>(count - offset, std::numeric_limits<std::uint32_t>::max() - 1));
        std::uint32_t used = utf16_decode_char(units + offset, &codePoint, remaining);
        if (used == 0)
            break;
        if (IsSurrogate(codePoint))
            codePoint = kReplacementCharacter;
        char encoded[6];
        const std::uint32_t length = utf8_encode_char(codePoint, encoded);
        text.append(encoded, length);
        offset += used;
    }
    return text;
}

namespace {

std::string Utf8FromUtf8Bytes(const unsigned char* bytes, std::size_t size) {
    if (size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
        bytes += 3;
        size -= 3;
    }
    std::string text;
    text.reserve(size);
    const char* cursor = reinterpret_cast<const char*>(bytes);
    std::size_t left = size;
    while (left > 0 && *cursor != 0) {
        std::uint32_t codePoint = 0;
        const auto available = static_cast<std::uint32_t>(std::min<std::size_t>(left, 0xFFFFFFF0u));
        std::uint32_t used = utf8_decode_char(cursor, &codePoint, available);
        if (used == 0) { // a malformed byte stands for one replacement character
            codePoint = kReplacementCharacter;
            used = 1;
        }
        char encoded[6];
        text.append(encoded, utf8_encode_char(codePoint, encoded));
        cursor += used;
        left -= used;
    }
    return text;
}

} // namespace

std::string Utf8FromProfileBytes(const unsigned char* bytes, std::size_t size) {
    const bool littleMark = size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE;
    const bool bigMark = size >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF;
    const bool littleText = size >= 2 && bytes[0] != 0 && bytes[1] == 0;
    const bool bigText = size >= 2 && bytes[0] == 0 && bytes[1] != 0;
    if (!littleMark && !bigMark && !littleText && !bigText)
        return Utf8FromUtf8Bytes(bytes, size);
    const bool big = bigMark || bigText;
    std::vector<char16_t> units(size / 2);
    for (std::size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>(big ? bytes[2 * i] << 8 | bytes[2 * i + 1]
                                             : bytes[2 * i + 1] << 8 | bytes[2 * i]);
    return Utf8FromProfileUnits(units.data(), units.size());
}

bool ReadProfileFile(const char* path, std::string& out) {
    const OpenedFile file(HostOpenFileForReading(path));
    if (file.get() == nullptr)
        return false;
    const auto size = static_cast<std::int64_t>(file.get()->get_size());
    if (size < 0)
        return false;
    std::vector<unsigned char> bytes;
    try {
        bytes.assign(static_cast<std::size_t>(size), 0);
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        const std::uint64_t got = file.get()->read(bytes.data() + filled, bytes.size() - filled);
        if (got == 0 || got > bytes.size() - filled)
            break;
        filled += static_cast<std::size_t>(got);
    }
    try {
        out = Utf8FromProfileBytes(bytes.data(), filled);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}
