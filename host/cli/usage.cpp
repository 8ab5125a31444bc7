#include "cli/options.h"

namespace vantrel {

std::string usage_text() {
    return R"(Usage: vantrel COMMAND [OPTIONS]

Converts music to Windows Media Audio through the player's encoder components.

Commands:
  convert [OPTIONS] INPUT...  convert audio files (anything FFmpeg decodes)
  components                  list the loaded components
  settings                    change the saved encoder settings in a dialog
  settings --show             show the saved encoder settings and the presets
  settings --preset N         save preset N (0 to 8) as the setting
  settings --profile FILE     save a custom profile (.prx) as the setting
  settings --reset            go back to the encoder's default setting
  --help, --version

Options of convert:
  -o, --output FILE       output file (only with one input)
  -d, --output-dir DIR    output folder (default: beside each input)
  --preset N              encode with preset N (0 to 8) in this run only
  --profile FILE          encode with a custom profile (.prx) in this run only
  -t, --tag NAME=VALUE    set a tag field, replacing the track's own; repeat for
                          several values; an empty VALUE removes the field
  -j, --jobs N            convert N tracks at once (default: number of cores)
  -q, --quiet             print errors only
  --no-cover              leave out the cover picture

Shared option:
  --components DIR        load components from DIR (default: the folder
                          "components" beside the program, or $VANTREL_COMPONENTS)

Settings are kept in $XDG_CONFIG_HOME/vantrel (else ~/.config/vantrel).
Exit status: 0 when every track was written, 1 when any failed, 2 for a usage error.
)";
}

} // namespace vantrel
