#!/usr/bin/env bash
# WMA Lossless encoder against `flac -8`, side by side on one corpus, one core each.
#
# Builds a corpus of 16-bit and 24-bit WAV files of several kinds of sound (General MIDI songs
# rendered with fluidsynth: a band, a harpsichord, a mastered pop mix; speech from espeak-ng in
# stereo and mono; synthetic square/saw chords, applause-like noise bursts and castanets-like
# clicks; a sine sweep). Every file is made at 32-bit float first and converted to each depth
# with dither, so the 24-bit files carry real 24-bit detail. Encodes every file with both
# encoders, checks that the WMA files decode to the exact input through FFmpeg's libraries, and
# prints the size and CPU time of each file relative to flac, and the totals.
#
# usage: bench/wmalossless/run.sh [build folder]     (default: build)
# Needs: flac fluidsynth fluid-soundfont-gm espeak-ng sox (scripts/setup.sh --bench).
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
bench_bin="$build/bin/wmal_bench"
soundfont=/usr/share/sounds/sf2/FluidR3_GM.sf2

for tool in flac fluidsynth espeak-ng sox python3; do
    command -v "$tool" >/dev/null || { echo "run.sh: $tool is missing (scripts/setup.sh --bench)" >&2; exit 1; }
done
[ -f "$soundfont" ] || { echo "run.sh: $soundfont is missing (fluid-soundfont-gm)" >&2; exit 1; }
if [ ! -x "$bench_bin" ]; then
    cmake --build "$build" --target wmal_bench -j2 >/dev/null
fi

corpus="$build/bench-corpus/wmalossless"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$corpus"

# --- corpus (made once, kept in the build folder) ---------------------------------------
# Repeatable: sox seeds its dither with a fixed number, so every build makes the same files.
sox() { command sox -R "$@"; }
# Converts a 32-bit float source to <name>_16.wav and <name>_24.wav; extra sox effects apply
# before the dither.
both_depths() {
    local source=$1 name=$2
    shift 2
    sox "$source" -b 16 "$corpus/${name}_16.wav" "$@" dither
    sox "$source" -b 24 "$corpus/${name}_24.wav" "$@" dither
}
float=(-e floating-point -b 32)
if [ ! -f "$corpus/.complete-3" ]; then
    echo "making the corpus in $corpus ..."
    rm -f "$corpus"/*.wav
    python3 "$here/make_midi.py" "$work"
    for mid in "$work"/*.mid; do
        name="$(basename "$mid" .mid)"
        fluidsynth -ni -q -T wav -O float -F "$work/$name.wav" -r 44100 -g 0.5 "$soundfont" "$mid" \
            >/dev/null 2>&1
        # Trim the silent tail the synthesizer leaves.
        effects=(reverse silence 1 0.05 0.1% reverse)
        # The pop mix is compressed and made loud, as mastered pop music is.
        [ "$name" = pop ] && effects+=(compand 0.005,0.1 6:-54,-90,-36,-36,-24,-24,0,-12 0 -90 0.1)
        both_depths "$work/$name.wav" "music_$name" "${effects[@]}" gain -n -1
    done
    text="Lossless compression keeps every sample of the original recording. The decoder \
rebuilds the exact waveform, bit for bit, so nothing that was recorded is lost. Speech is a \
good test: it has pauses, voiced vowels with a clear pitch, and noisy consonants such as s, \
f and sh. A predictor that adapts quickly does well on the vowels, and the entropy coder must \
cope with the sudden bursts of the consonants."
    espeak-ng -v en-us -s 150 -w "$work/voice1.wav" "$text"
    espeak-ng -v en-gb+f3 -s 190 -p 70 -w "$work/voice2.wav" "$text"
    # Stereo: two speakers at different places in a small room, one after the other.
    sox "$work/voice1.wav" "${float[@]}" "$work/left.wav" remix 1v0.85 1v0.45
    sox "$work/voice2.wav" "${float[@]}" "$work/right.wav" remix 1v0.4 1v0.9
    sox "$work/left.wav" "$work/right.wav" "${float[@]}" "$work/stereo.wav" rate -v 44100 reverb 20
    both_depths "$work/stereo.wav" speech_stereo gain -n -1
    # Mono: one close speaker at 48 kHz, with the pauses of the synthesizer left silent.
    sox "$work/voice2.wav" "${float[@]}" "$work/mono.wav" rate -v 48000
    both_depths "$work/mono.wav" speech_mono gain -n -1
    python3 "$here/make_synthetic.py" "$work"
    for name in chords applause castanets; do
        sox -t f32 -r 44100 -c 2 "$work/$name.f32" "${float[@]}" "$work/$name.wav"
        both_depths "$work/$name.wav" "$name" gain -n -1
    done
    sox -n -r 44100 -c 1 "${float[@]}" "$work/sweep.wav" synth 30 sine 20:20000 gain -3
    both_depths "$work/sweep.wav" sweep
    touch "$corpus/.complete-3"
fi
files=("$corpus"/*.wav)

# Runs a command and prints the CPU seconds (user + system) of the processes it started.
# Only what the command itself used counts: a launcher in front of the interpreter (a
# version-manager shim, say) runs helper processes whose time the interpreter inherits.
cpu_of() {
    python3 - "$@" <<'PY'
import resource, subprocess, sys
def spent():
    r = resource.getrusage(resource.RUSAGE_CHILDREN)
    return r.ru_utime + r.ru_stime
before = spent()
subprocess.run(sys.argv[1:], check=True, stdout=subprocess.DEVNULL)
print(f"{spent() - before:.6f}")
PY
}

# --- flac -8, one file at a time: bytes and CPU seconds -----------------------------------
: >"$work/flac.txt"
for f in "${files[@]}"; do
    name="$(basename "$f" .wav)"
    seconds=$(cpu_of flac -8 -s -f -o "$work/$name.flac" "$f" 2>/dev/null)
    echo "$name $(stat -c %s "$work/$name.flac") $seconds" >>"$work/flac.txt"
done

# --- WMA Lossless: a timed run (read, encode, write), then a verifying run ----------------
wmal_process_seconds=$(cpu_of "$bench_bin" --no-verify --list "$work/wmal.txt" "$work" "${files[@]}")
"$bench_bin" "$work" "${files[@]}" >"$work/wmal-verified.txt"

echo
printf "%-22s %7s %11s %11s %8s %8s\n" file seconds flac_bytes wma_bytes size cpu
printf "%-22s %7s %11s %11s %8s %8s\n" "" "" "" "" "/flac" "/flac"
join <(sort "$work/flac.txt") <(sed 's/\.wav / /' "$work/wmal.txt" | sort) |
    awk '{ printf "%-22s %7.1f %11d %11d %8.4f %8.3f\n", $1, $4, $2, $7, $7 / $2, $8 / $3 }'

join <(sort "$work/flac.txt") <(sed 's/\.wav / /' "$work/wmal.txt" | sort) |
    awk -v proc="$wmal_process_seconds" '
    { audio += $4; pcm += $5; flac += $2; fcpu += $3; wma += $7; wcpu += $8
      d = ($1 ~ /_24$/) ? 24 : 16; f[d] += $2; w[d] += $7
      r = $7 / $2; if (r > worst) { worst = r; worst_name = $1 } }
    END {
        printf "\ncorpus: %.1f s of audio (%.2f min), %d PCM bytes\n", audio, audio / 60, pcm
        printf "flac -8:        %11d bytes (%.4f of PCM), %.3f s CPU, %.0fx real time\n", flac, flac / pcm, fcpu, audio / fcpu
        printf "WMA Lossless:   %11d bytes in .wma files (%.4f of PCM)\n", wma, wma / pcm
        printf "size vs flac:   %.4f over the corpus (16-bit %.4f, 24-bit %.4f); worst file %s %.4f  [goal: every file <= 1, corpus <= 0.95]\n", wma / flac, w[16] / f[16], w[24] / f[24], worst_name, worst
        printf "CPU vs flac:    %.3f for the whole program (read, encode, write: %.3f s), %.3f for the encoder alone (%.3f s, %.0fx real time)  [goal <= 1]\n", proc / fcpu, proc, wcpu / fcpu, wcpu, audio / wcpu
    }'
verified=$(grep -c " verified$" "$work/wmal-verified.txt" || true)
echo "verified bit-exact through libavformat + libavcodec: $verified of ${#files[@]} files"
[ "$verified" -eq "${#files[@]}" ]
