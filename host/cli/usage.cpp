#include "cli/options.h"

#include "vantrel/wma_config_block.h"

namespace vantrel {

std::string preset_list(const std::string& indent, int marked) {
    std::string list;
    for (int i = 0; i < wma_config::preset_count; ++i) {
        const bool current = i == marked;
        list += (current ? "* " : indent) + std::to_string(i) + "  " +
                wma_config::preset_summary(i) + (current ? "  (current)" : "") + "\n";
    }
    return list;
}

std::string usage_text() {
    return R"(Usage: vantrel COMMAND [OPTIONS]

Converts music to Windows Media Audio through the player's encoder components.

Commands:
  convert [OPTIONS] INPUT...  convert audio files (anything FFmpeg decodes), and
                              every audio file below each folder given
  components                  list the loaded components
  settings                    change the saved encoder settings in a dialog
  settings --show             show the saved encoder settings and the presets
  settings --preset N         save preset N (0 to 8) as the setting
  settings --profile FILE     save a custom profile (.prx) as the setting
  settings --reset            go back to the encoder's default setting
  tags                        list the tag fields and the attributes they become
  --help, --version

Options of convert:
  -o, --output FILE       output file (only with one input)
  -d, --output-dir DIR    output folder, made when missing; folders given as
                          inputs are mirrored below it (default: beside each input)
  -n, --skip-existing     leave outputs that exist untouched, counted as skipped
                          (the default)
  -u, --update            convert a source again only when it is newer than its
                          output; outputs that are up to date are skipped
  -f, --force             replace outputs that exist
  --safe-names            names of files and folders the run makes fit FAT and
                          exFAT devices: \ : * ? " < > | and trailing dots and
                          spaces become _, names are cut to 255 bytes
  --reencode-wma          encode .wma sources again (default: copy them unchanged)
  --dry-run               show each input and its output; write nothing
  --preset N              encode with preset N (0 to 8) in this run only
  --profile FILE          encode with a custom profile (.prx) in this run only
  -t, --tag NAME=VALUE    set a tag field, replacing the track's own under any
                          of its names (year, date); repeat for several values;
                          an empty VALUE removes the field; 'vantrel tags'
                          lists the fields
  -j, --jobs N            convert N tracks at once (default: number of cores)
  -q, --quiet             print errors and warnings only
  -v, --verbose           also print the encoder's own lines (its time per track)
                          and each output kept because it exists or is up to date
  --no-cover              leave out the pictures, the track's own and the
                          folder's (cover.jpg, folder.jpg, front.jpg, ...)

Presets:
)" + preset_list("  ") +
           R"(
Shared option:
  --components DIR        load components from DIR (default: the folder
                          "components" beside the program, or $VANTREL_COMPONENTS)

Settings are kept in $XDG_CONFIG_HOME/vantrel (else ~/.config/vantrel).
Exit status: 0 when every track was written, copied or skipped on purpose; 1 when
anything asked for was not (a track failed, a folder or file could not be read, a
path was too long); 2 for a usage error; 128 + the signal's number when
interrupted (130 for Ctrl-C).
)";
}

} // namespace vantrel
