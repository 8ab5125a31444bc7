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

bool ReadProfileFile(const char* path, std::string& out) {
    const OpenedFile file(HostOpenFileForReading(path));
    if (file.get() == nullptr)
        return false;
    const auto size = static_cast<std::int64_t>(file.get()->get_size());
    if (size < 0)
        return false;
    const auto unitCount = static_cast<std::size_t>(size / 2);
    std::vector<char16_t> units;
    try {
        // One more zero unit ends the text whatever the file holds.
        units.assign(unitCount + 1, 0);
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
    auto* cursor = reinterpret_cast<unsigned char*>(units.data());
    std::uint64_t wanted = std::uint64_t{unitCount} * 2;
    while (wanted > 0) {
        const std::uint64_t got = file.get()->read(cursor, wanted);
        if (got == 0 || got > wanted)
            break;
        cursor += got;
        wanted -= got;
    }
    try {
        out = Utf8FromProfileUnits(units.data(), unitCount);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}
