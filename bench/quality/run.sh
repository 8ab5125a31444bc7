#!/usr/bin/env bash
# Sound quality of the WMA 2 encoder against libavcodec's wmav2 encoder and LAME (MP3), side by
# side on one corpus at the bit rates of presets 0 to 7.
#
# Makes a corpus of 30-second excerpts (rendered music in two styles, speech, synthetic
# chords, applause-like noise bursts, castanets-like clicks; 44.1 kHz stereo, plus a 48 kHz
# file and a mono file), encodes every file with `vantrel convert --preset N`, with
# `ffmpeg -c:a wmav2` and with `ffmpeg -c:a libmp3lame` at the same bit rates (all three writing
# the presets' 44.1 kHz stereo), decodes everything with FFmpeg and scores it with the
# noise-to-mask measure of nmr_score.py.
# Prints a table per material, the means, each encoder's CPU time, and the goals.
#
# usage: bench/quality/run.sh [build folder] [--reference NMR.PY]
#   --reference: also score a few files with another implementation of the measure and
#                show the differences.
# Needs: ffmpeg, fluidsynth, fluid-soundfont-gm, espeak-ng, python3-numpy, python3-scipy
# (scripts/setup.sh --bench).
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build="$root/build"
reference=()
while [ $# -gt 0 ]; do
    case "$1" in
    --reference) reference=(--reference "$2"); shift 2 ;;
    *) build="$1"; shift ;;
    esac
done
soundfont=/usr/share/sounds/sf2/FluidR3_GM.sf2
python=/usr/bin/python3

for tool in ffmpeg ffprobe fluidsynth espeak-ng; do
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

corpus="$build/bench-corpus/quality"
if [ ! -f "$corpus/.complete" ]; then
    echo "making the corpus in $corpus ..."
    mkdir -p "$corpus"
    "$python" "$here/make_corpus.py" "$corpus" "$soundfont"
    touch "$corpus/.complete"
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# The user's saved encoder settings must not change what is measured.
export XDG_CONFIG_HOME="$work/config"
mkdir -p "$XDG_CONFIG_HOME"

echo "machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
"$python" "$here/quality_bench.py" --vantrel "$build/bin/vantrel" --corpus "$corpus" \
    --work "$work" "${reference[@]}"
