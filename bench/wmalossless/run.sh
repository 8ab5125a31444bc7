#!/usr/bin/env bash
# WMA Lossless encoder against `flac -8`, side by side on one corpus, one core each.
#
# The corpus (make_corpus.sh, made once and kept in the build folder) has a tuning set and a
# held-out set of many kinds of sound, in 16 and 24 bits. For each file of the chosen sets this
# encodes with both encoders, checks that the WMA file decodes to the exact input through
# FFmpeg's libraries, and prints the size and encoding CPU time relative to flac, per file and
# per set. It also compares the two frame by frame: for every flac frame, the bits our frames
# spend on the same samples (report.py).
#
# usage: bench/wmalossless/run.sh [--set tuning|heldout|all] [build folder]   (default: all, build)
# Needs: flac fluidsynth fluid-soundfont-gm espeak-ng sox (scripts/setup.sh --bench).
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
sets=(tuning heldout)
if [ "${1:-}" = --set ]; then
    case "${2:-}" in
    tuning | heldout) sets=("$2") ;;
    all) ;;
    *) echo "run.sh: --set takes tuning, heldout or all" >&2; exit 2 ;;
    esac
    shift 2
fi
build="$(cd "${1:-$root/build}" && pwd)"
bench_bin="$build/bin/wmal_bench"

command -v flac >/dev/null || { echo "run.sh: flac is missing (scripts/setup.sh --bench)" >&2; exit 1; }
if [ ! -x "$bench_bin" ]; then
    cmake --build "$build" --target wmal_bench -j2 >/dev/null
fi

corpus="$build/bench-corpus/wmalossless"
if [ ! -f "$corpus/.complete-4" ]; then
    rm -rf "$corpus"
    bash "$here/make_corpus.sh" "$corpus"
    touch "$corpus/.complete-4"
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Runs a command and prints the CPU seconds (user + system) of the processes it started.
cpu_of() {
    python3 "$here/cpu_time.py" "$@"
}

status=0
for set in "${sets[@]}"; do
    files=("$corpus/$set"/*.wav)
    out="$work/$set"
    mkdir -p "$out"
    # flac -8, one file at a time: bytes and CPU seconds; then its frames (flac -a).
    : >"$out/flac.txt"
    for f in "${files[@]}"; do
        name="$(basename "$f" .wav)"
        seconds=$(cpu_of flac -8 -s -f -o "$out/$name.flac" "$f" 2>/dev/null)
        echo "$name $(stat -c %s "$out/$name.flac") $seconds" >>"$out/flac.txt"
        flac -a -s -f -o "$out/$name.ana" "$out/$name.flac"
    done
    # WMA Lossless: a timed run (read, encode, write), then a verifying run that also lists
    # the frames.
    process_seconds=$(cpu_of "$bench_bin" --no-verify --list "$out/wmal.txt" "$out" "${files[@]}")
    "$bench_bin" --frames "$out" "${files[@]}" >"$out/wmal-verified.txt" || status=1
    echo
    echo "=== $set set ($corpus/$set)"
    python3 "$here/report.py" "$out" "$process_seconds" "${#files[@]}" || status=1
done
exit "$status"
