// Folder art: the picture a music folder keeps beside its tracks, which
// players show for tracks that carry no front cover of their own.
#pragma once

#include <optional>
#include <string>

#include "decode/attached_picture.h"

namespace vantrel {

// The first of cover.*, folder.* and front.* (jpg, jpeg or png, in that order;
// names and extensions in any case) that is a regular file in the folder of
// `track`; nothing when there is none.
std::optional<std::string> folder_cover_path(const std::string& track);

// That file as a front cover without a description. Nothing when there is
// none, or with `warning` set when it cannot be read or is not an image of a
// known kind.
std::optional<AttachedPicture> folder_cover(const std::string& track, std::string& warning);

} // namespace vantrel
