#!/usr/bin/env bash
# WMA Lossless encoder against `flac -8`, side by side on one corpus, one core each.
#
# Builds a corpus of 44.1 kHz stereo 16-bit WAV files (General MIDI songs rendered with
# fluidsynth, speech from espeak-ng, a noisy and a quiet signal from sox), encodes every file
# with both encoders, checks that the WMA files decode to the exact input, and prints sizes,
# speed (times real time) and the ratios to flac.
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
if [ ! -f "$corpus/.complete" ]; then
    echo "making the corpus in $corpus ..."
    python3 "$here/make_midi.py" "$work"
    for mid in "$work"/*.mid; do
        name="$(basename "$mid" .mid)"
        fluidsynth -ni -q -F "$work/$name.raw.wav" -r 44100 -g 0.6 "$soundfont" "$mid" >/dev/null 2>&1
        # Trim the silent tail the synthesizer leaves and store plain 16-bit stereo.
        sox "$work/$name.raw.wav" -r 44100 -c 2 -b 16 "$corpus/music_$name.wav" reverse silence 1 0.05 0.1% reverse
    done
    text="Lossless compression keeps every sample of the original recording. The decoder \
rebuilds the exact waveform, bit for bit, so nothing that was recorded is lost. Speech is a \
good test: it has pauses, voiced vowels with a clear pitch, and noisy consonants such as s, \
f and sh. A predictor that adapts quickly does well on the vowels, and the entropy coder must \
cope with the sudden bursts of the consonants. This paragraph is read twice, once slowly and \
once quickly, in two different voices, to give about a minute of varied speech."
    espeak-ng -v en-us -s 150 -w "$work/speech1.wav" "$text"
    espeak-ng -v en-gb+f3 -s 190 -p 70 -w "$work/speech2.wav" "$text"
    sox "$work/speech1.wav" "$work/speech2.wav" -r 44100 -c 2 -b 16 "$corpus/speech.wav"
    # Noisy: pink noise with a slow tremolo under a chord, at a high level.
    sox -n -r 44100 -c 2 -b 16 "$corpus/noisy.wav" synth 30 pinknoise synth 30 sine mix 220 \
        tremolo 0.3 60 vol 0.7
    # Quiet: a soft two-tone hum with a little brown noise, at about -50 dBFS.
    sox -n -r 44100 -c 2 -b 16 "$corpus/quiet.wav" synth 30 sine 110 synth 30 brownnoise mix \
        vol 0.004 dither
    touch "$corpus/.complete"
fi
files=("$corpus"/*.wav)

now() { date +%s.%N; }
calc() { awk "BEGIN { printf \"%.9f\", $* }"; }

# --- flac -8 (CPU time of the flac processes, like the encoder's own CPU time) -------------
flac_seconds=$(python3 - "$work" "${files[@]}" <<'PY'
import os, resource, subprocess, sys
out = sys.argv[1]
for f in sys.argv[2:]:
    name = os.path.splitext(os.path.basename(f))[0]
    subprocess.run(["flac", "-8", "-s", "-f", "-o", f"{out}/{name}.flac", f], check=True)
r = resource.getrusage(resource.RUSAGE_CHILDREN)
print(f"{r.ru_utime + r.ru_stime:.6f}")
PY
)
flac_bytes=0
for f in "${files[@]}"; do
    flac_bytes=$((flac_bytes + $(stat -c %s "$work/$(basename "$f" .wav).flac")))
done

# --- WMA Lossless: timed run (encode and write), then a verifying run ---------------------
t0=$(now)
"$bench_bin" --no-verify "$work" "${files[@]}" >"$work/wmal.txt"
t1=$(now)
wmal_process_seconds=$(calc "$t1 - $t0")
"$bench_bin" "$work" "${files[@]}" >"$work/wmal-verified.txt"

echo
printf "%-24s %8s %12s %12s %12s %8s %9s\n" file seconds pcm_bytes flac_bytes wma_bytes wma/flac x_realtime_cpu
while read -r name audio pcm packets file secs _wall _; do
    fb=$(stat -c %s "$work/${name%.wav}.flac")
    printf "%-24s %8.1f %12d %12d %12d %8.4f %9.0f\n" "$name" "$audio" "$pcm" "$fb" "$file" \
        "$(calc "$file / $fb")" "$(calc "$audio / $secs")"
done <"$work/wmal.txt"

awk -v flac_bytes="$flac_bytes" -v flac_seconds="$flac_seconds" -v proc="$wmal_process_seconds" '
    { audio += $2; pcm += $3; packets += $4; file += $5; secs += $6; wall += $7 }
    END {
        printf "\ncorpus: %.1f s of audio (%.2f min), %d PCM bytes\n", audio, audio / 60, pcm
        printf "flac -8:        %12d bytes (%.4f of PCM), %.3f s CPU, %.0fx real time\n", flac_bytes, flac_bytes / pcm, flac_seconds, audio / flac_seconds
        printf "WMA Lossless:   %12d bytes in .wma files (%.4f of PCM), %d bytes of packets\n", file, file / pcm, packets
        printf "size vs flac:   %.4f (files), %.4f (packets)  [goal <= 1.0, target 0.98]\n", file / flac_bytes, packets / flac_bytes
        printf "encode time:    %.3f s CPU in the encoder = %.0fx real time (%.3f s wall-clock); %.3f s wall-clock for the whole program (read, encode, write)\n", secs, audio / secs, wall, proc
        printf "time vs flac:   %.3f (encoder CPU / flac CPU)\n", secs / flac_seconds
    }' "$work/wmal.txt"
verified=$(grep -c " verified$" "$work/wmal-verified.txt" || true)
echo "verified bit-exact through libavformat + libavcodec: $verified of ${#files[@]} files"
[ "$verified" -eq "${#files[@]}" ]
