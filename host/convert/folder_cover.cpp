#include "convert/folder_cover.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string_view>

#include "decode/picture_blocks.h"

namespace fs = std::filesystem;

namespace vantrel {
namespace {

constexpr std::array<std::string_view, 3> kNames{"cover", "folder", "front"};
constexpr std::array<std::string_view, 3> kExtensions{"jpg", "jpeg", "png"};
// Far above any cover, and below what a header attribute holds.
constexpr std::uintmax_t kMaxCoverBytes = 64u << 20;

std::string lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// The place of a file name in the order of preference; -1 when it is no cover.
int rank_of(const std::string& file_name) {
    const std::string name = lower(file_name);
    const auto dot = name.rfind('.');
    if (dot == std::string::npos)
        return -1;
    const std::string_view stem = std::string_view(name).substr(0, dot);
    const std::string_view extension = std::string_view(name).substr(dot + 1);
    for (std::size_t n = 0; n < kNames.size(); ++n)
        for (std::size_t e = 0; e < kExtensions.size(); ++e)
            if (stem == kNames[n] && extension == kExtensions[e])
                return static_cast<int>(n * kExtensions.size() + e);
    return -1;
}

} // namespace

std::optional<std::string> folder_cover_path(const std::string& track) {
    std::error_code ec;
    const fs::path folder = fs::path(track).parent_path();
    std::optional<std::string> best;
    int best_rank = -1;
    for (fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, ec), end;
         !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const int rank = rank_of(name);
        if (rank < 0 || (best && (rank > best_rank || (rank == best_rank && name > *best))))
            continue;
        std::error_code type_error;
        if (!it->is_regular_file(type_error)) // follows links
            continue;
        best = name;
        best_rank = rank;
    }
    if (!best)
        return std::nullopt;
    return (folder / *best).string();
}

std::optional<AttachedPicture> folder_cover(const std::string& track, std::string& warning) {
    warning.clear();
    const auto path = folder_cover_path(track);
    if (!path)
        return std::nullopt;
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(*path, ec);
    if (!ec && size > kMaxCoverBytes) {
        warning = *path + " is too large for a cover (" + std::to_string(size >> 20) + " MB)";
        return std::nullopt;
    }
    std::ifstream in(*path, std::ios::binary);
    AttachedPicture picture{kFrontCover, "", "", {}};
    if (!ec && in) {
        picture.data.resize(static_cast<std::size_t>(size));
        in.read(reinterpret_cast<char*>(picture.data.data()),
                static_cast<std::streamsize>(picture.data.size()));
    }
    if (ec || !in || in.gcount() != static_cast<std::streamsize>(picture.data.size())) {
        warning = *path + " cannot be read (" + (ec ? ec.message() : std::strerror(errno)) + ")";
        return std::nullopt;
    }
    if (!settle_picture_kind(picture)) {
        warning = *path + " is no image of a kind players show (PNG, JPEG, GIF, BMP, WebP, TIFF)";
        return std::nullopt;
    }
    return picture;
}

} // namespace vantrel
