#!/usr/bin/env bash
# Sound quality of the WMA 2 encoder against LAME (MP3), Opus (CBR) and libavcodec's wmav2
# encoder, side by side on one corpus at the bit rates of presets 0 to 7.
#
# Makes a corpus (make_corpus.py: rendered music, speech of several voices and languages,
# solo deep bass, a dry drum loop, dry guitar and piano, synthetic chords, applause- and
# castanets-like noise, and short probes for the ends of tracks), encodes every file with
# `vantrel convert --preset N`, `ffmpeg -c:a libmp3lame`, `ffmpeg -c:a libopus -vbr off` and
# `ffmpeg -c:a wmav2` at the same bit rates, decodes everything with FFmpeg and measures it:
#   PEAQ  objective difference grades (basic and advanced version) from an external `peaq`
#         program (GstPEAQ's command line), found through the PEAQ variable or on PATH; the
#         bench runs without it and says so;
#   NMR   the noise-to-mask measure of nmr_score.py;
#   bass  SNR of the 20-80 Hz band, which neither of the two above looks at;
#   end   SNR of the track's last 1,024 samples against the SNR of its body.
# Prints tables per material and rate, the means per preset, each encoder's CPU time and the
# goals.
#
# usage: bench/quality/run.sh [build folder] [--quick] [--presets 2,5] [--files a.wav,b.wav]
#                             [--reference NMR.PY]
#   --quick:     six files at presets 2, 5 and 7, for trying a change (the full run measures
#                every file at every preset; with PEAQ that takes hours on two cores)
#   --presets, --files: only these presets and corpus files
#   --rivals-from SAVED.json: the other encoders' measures from an earlier run (saved by
#                every run in the build folder; copy it first), so that trying a change
#                measures only ours
# The means are also shown apart for the materials the encoder is tuned on and for a few held
# out from tuning (report.HELD_OUT).
#   --reference: also score a few files with another implementation of the NMR measure and
#                show the differences.
#   PEAQ=/path/to/peaq bench/quality/run.sh  uses that program as the judge.
# Every figure also goes to bench-quality.json in the build folder; its tables are printed
# again by `python3 bench/quality/quality_bench.py --saved build/bench-quality.json`.
# Needs: ffmpeg, fluidsynth, fluid-soundfont-gm, espeak-ng, sox, python3-numpy, python3-scipy
# (scripts/setup.sh --bench).
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build="$root/build"
options=()
while [ $# -gt 0 ]; do
    case "$1" in
    --reference) options+=(--reference "$2"); shift 2 ;;
    --quick) options+=(--quick); shift ;;
    --presets | --files | --rivals-from) options+=("$1" "$2"); shift 2 ;;
    *) build="$1"; shift ;;
    esac
done
soundfont=/usr/share/sounds/sf2/FluidR3_GM.sf2
python=/usr/bin/python3

for tool in ffmpeg ffprobe fluidsynth espeak-ng sox; do
    command -v "$tool" >/dev/null || { echo "run.sh: $tool is missing (scripts/setup.sh --bench)" >&2; exit 1; }
done
"$python" -c "import numpy, scipy" 2>/dev/null ||
    { echo "run.sh: python3-numpy and python3-scipy are missing (scripts/setup.sh --bench)" >&2; exit 1; }
[ -f "$soundfont" ] || { echo "run.sh: $soundfont is missing (fluid-soundfont-gm)" >&2; exit 1; }

if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
build="$(cd "$build" && pwd)"
cmake --build "$build" --target vantrel ostrel -j2 >/dev/null
sanitize=$(sed -n 's/^SANITIZE:STRING=//p' "$build/CMakeCache.txt")
if [ -n "$sanitize" ]; then
    echo "run.sh: $build is a sanitizer build ($sanitize); its times mean nothing" >&2
    exit 1
fi

# The corpus is made again whenever the scripts that make it change.
corpus="$build/bench-corpus/quality"
version=$(cat "$here/make_corpus.py" "$here/materials.py" "$root/bench/wmalossless/make_midi.py" |
    sha1sum | cut -c1-12)
if [ "$(cat "$corpus/.complete" 2>/dev/null)" != "$version" ]; then
    echo "making the corpus in $corpus ..."
    rm -rf "$corpus"
    mkdir -p "$corpus"
    "$python" "$here/make_corpus.py" "$corpus" "$soundfont"
    echo "$version" >"$corpus/.complete"
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# The user's saved encoder settings must not change what is measured.
export XDG_CONFIG_HOME="$work/config"
mkdir -p "$XDG_CONFIG_HOME"

echo "machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
"$python" "$here/quality_bench.py" --vantrel "$build/bin/vantrel" --corpus "$corpus" \
    --work "$work" --json "$build/bench-quality.json" "${options[@]}"
