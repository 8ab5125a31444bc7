// The files a run converts: each input file as given, and every audio file
// below each input folder, in a stable sorted order.
#pragma once

#include <string>
#include <vector>

namespace vantrel {

struct SourceFile {
    std::string path;
    // Its folder relative to the folder it was found in ("A/one"); empty for a
    // file given by itself. An output folder mirrors this tree.
    std::string subfolder;
};

// Whether a file name has the extension of an audio format FFmpeg decodes
// (compared without case).
bool has_audio_extension(const std::string& name);

// Expands the inputs. Folders are searched recursively: hidden files and
// folders are passed over, files without an audio extension or with
// `skip_extension` (the output format, so earlier results are not taken as
// sources) are left out quietly, and a link to a folder already being searched
// is not followed again. A path that does not exist is kept as given, so that
// the conversion names it. `problems` receives folders that could not be read.
std::vector<SourceFile> expand_inputs(const std::vector<std::string>& inputs,
                                      const std::string& skip_extension,
                                      std::vector<std::string>& problems);

} // namespace vantrel
