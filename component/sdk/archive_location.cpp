#include "sdk/archive_location.h"

#include "sdk/text_format.h"

#include <cstring>

namespace {

constexpr char kPrefix[] = "unpack://";
constexpr std::size_t kPrefixLength = sizeof kPrefix - 1;

} // namespace

bool make_archive_location(string_base& out, const char* type, const char* archive_path,
                           const char* inner_path) {
    type = type != nullptr ? type : "";
    archive_path = archive_path != nullptr ? archive_path : "";
    if (std::strchr(type, '|') != nullptr) {
        return false;
    }
    char length[24];
    format_unsigned(std::strlen(archive_path), 10, length);
    return out.assign_text(kPrefix) != nullptr && out.append_text(type) != nullptr &&
           out.append_text("|") != nullptr && out.append_text(length) != nullptr &&
           out.append_text("|") != nullptr && out.append_text(archive_path) != nullptr &&
           out.append_text("|") != nullptr && out.append_text(inner_path) != nullptr;
}

bool is_archive_location_of(const char* path, const char* type) {
    if (path == nullptr || type == nullptr || std::strncmp(path, kPrefix, kPrefixLength) != 0) {
        return false;
    }
    const std::size_t type_length = std::strlen(type);
    return std::strncmp(path + kPrefixLength, type, type_length) == 0 &&
           path[kPrefixLength + type_length] == '|';
}

bool split_archive_location(const char* path, string_base& archive_path, string_base& inner_path) {
    if (path == nullptr) {
        return false;
    }
    const char* bar = std::strchr(path, '|');
    if (bar == nullptr) {
        return false;
    }
    const char* p = bar + 1;
    std::uint64_t length = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        length = length * 10 + static_cast<std::uint64_t>(*p - '0');
        if (length > 0x7FFFFFFF) {
            return false;
        }
    }
    if (length == 0 || *p != '|') {
        return false;
    }
    const char* archive = p + 1;
    if (std::strlen(archive) < length || archive[length] != '|') {
        return false;
    }
    return archive_path.assign_bytes(archive, static_cast<std::uint32_t>(length)) != nullptr &&
           inner_path.assign_text(archive + length + 1) != nullptr;
}
