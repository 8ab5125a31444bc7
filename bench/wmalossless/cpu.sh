#!/usr/bin/env bash
# Whole-process CPU time of `vantrel convert --preset 8` (WMA Lossless) against `flac -8` on
# three-minute files of several kinds of sound, run side by side: the two alternate, file by
# file and round by round, so that a busy machine slows both alike. Prints, per file, the sum
# of user + system seconds of each over the rounds and their ratio, then the ratio over all.
#
# The files are the corpus's 30-second files (run.sh makes the corpus) repeated to three
# minutes and more: 16-bit and 24-bit music, speech, noise bursts, sparse clicks, a noise
# floor, from both sets.
#
# usage: bench/wmalossless/cpu.sh [rounds] [build folder]      (default: 3, build)
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
rounds="${1:-3}"
build="$(cd "${2:-$root/build}" && pwd)"
vantrel="$build/bin/vantrel"
corpus="$build/bench-corpus/wmalossless"
[ -x "$vantrel" ] || { echo "cpu.sh: $vantrel is missing (bash scripts/build.sh default)" >&2; exit 1; }
[ -f "$corpus/.complete-4" ] || { echo "cpu.sh: no corpus in $corpus (run bench/wmalossless/run.sh first)" >&2; exit 1; }

kinds=(tuning/music_band_16 tuning/music_pop_24 tuning/speech_stereo_16 tuning/noise_bursts_16
    tuning/sparse_clicks_16 tuning/noise_floor_24 heldout/music_band_16 heldout/noise_bursts_24
    heldout/quiet_16 heldout/chords_16)
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
for kind in "${kinds[@]}"; do
    sox "$corpus/$kind.wav" "$work/${kind/\//_}.wav" repeat 5
done

# cpu <command...>: the CPU seconds (user + system) of the command and its children.
cpu() {
    python3 "$here/cpu_time.py" "$@" 2>/dev/null
}

: >"$work/times.txt"
for round in $(seq "$rounds"); do
    for kind in "${kinds[@]}"; do
        name="${kind/\//_}"
        # Alternate which of the two goes first from round to round.
        if [ $((round % 2)) -eq 1 ]; then
            ours=$(cpu "$vantrel" convert --preset 8 -f -o "$work/$name.wma" "$work/$name.wav")
            theirs=$(cpu flac -8 -s -f -o "$work/$name.flac" "$work/$name.wav")
        else
            theirs=$(cpu flac -8 -s -f -o "$work/$name.flac" "$work/$name.wav")
            ours=$(cpu "$vantrel" convert --preset 8 -f -o "$work/$name.wma" "$work/$name.wav")
        fi
        echo "$kind $ours $theirs" >>"$work/times.txt"
    done
done
seconds=$(soxi -D "$work/${kinds[0]/\//_}.wav")
echo "CPU seconds over $rounds rounds, files of ${seconds%.*} s (vantrel convert --preset 8 / flac -8):"
awk '{ ours[$1] += $2; theirs[$1] += $3; all_ours += $2; all_theirs += $3; if (!($1 in seen)) { seen[$1] = 1; order[n++] = $1 } }
    END {
        for (i = 0; i < n; ++i) { k = order[i]; printf "%-26s %8.2f %8.2f %7.3f\n", k, ours[k], theirs[k], ours[k] / theirs[k] }
        printf "%-26s %8.2f %8.2f %7.3f  [goal <= 1]\n", "all", all_ours, all_theirs, all_ours / all_theirs
    }' "$work/times.txt"
