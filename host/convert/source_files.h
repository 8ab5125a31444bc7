// The files a run takes as sources: each input file as given, and everything
// below each input folder, found in one walk with one look at each file.
#pragma once

#include <cstddef>
#include <ctime>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

#include "convert/skip_reason.h"

namespace vantrel {

// A file as one stat() saw it (links followed).
struct FileFacts {
    dev_t device = 0;
    ino_t inode = 0;
    mode_t type = 0; // the S_IFMT bits
    timespec modified{};
};

// A file's identity on this machine, whatever its names.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

struct FileIdentityHash {
    std::size_t operator()(const FileIdentity& id) const {
        return std::hash<unsigned long long>()(static_cast<unsigned long long>(id.inode) * 31 +
                                               static_cast<unsigned long long>(id.device));
    }
};

inline FileIdentity identity_of(const FileFacts& facts) {
    return {facts.device, facts.inode};
}

// One thing found: a source to read, a name passed over on purpose, or a path
// that could not be read.
struct SourceFile {
    std::string path;
    // Its folder relative to the folder it was found in ("A/one"); empty for a
    // file given by itself. An output folder mirrors this tree.
    std::string subfolder;
    bool named = false;                        // given on the command line
    FileFacts facts;                           // of a source
    std::string problem;                       // why it cannot be read; empty when it can
    SkipReason passed_over = SkipReason::none; // why it is not taken, when it is not
};

struct WalkRequest {
    std::string output_extension; // without the dot ("wma")
};

struct WalkResult {
    std::vector<SourceFile> found;
    std::vector<std::string> warnings; // inputs given twice
};

// Whether a file name has the extension of an audio format FFmpeg decodes
// (compared without case).
bool has_audio_extension(const std::string& name);

// Whether a file name has `extension` (without the dot, compared without case).
bool has_extension(const std::string& name, const std::string& extension);

// Walks the inputs. An input file is taken as it is, whatever its name; an
// input given twice is taken once, with a warning. Below an input folder,
// names starting with a dot and names without an audio extension are passed
// over, and every other file is a source: links to one file are each taken,
// under their own names. Each folder is searched once, so links that loop or
// fan out cost nothing; a link to a folder searched already is passed over.
// Links to folders are followed after the folder's own tree, so a folder is
// mirrored under its real name when the tree holds it. Within an input folder
// the results are in name order, folder by folder.
WalkResult expand_inputs(const std::vector<std::string>& inputs, const WalkRequest& request);

} // namespace vantrel
