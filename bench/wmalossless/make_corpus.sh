#!/usr/bin/env bash
# Makes the WMA Lossless benchmark's corpus: WAV files of many kinds of sound in two sets.
#
#   tuning/   what the encoder's choices were tuned on: General MIDI songs rendered with
#             fluidsynth (a band, a harpsichord, a mastered pop mix), speech from espeak-ng in
#             stereo and mono, synthetic square/saw chords, applause, castanets, a sine sweep;
#             and the kinds added later: band-passed noise bursts (0.8-12 kHz, unrelated
#             channels), sparse clicks over a floor a few 16-bit steps high, a clipped loud
#             master, quiet classical music with long decays, mono in stereo, a DC offset,
#             8-bit material in a 16-bit file, long digital silence inside music and a 24-bit
#             recording with a real noise floor.
#   heldout/  the same kinds made with other songs, instruments, voices, seeds and parameters,
#             never used for tuning: they show whether the choices carry over.
#
# Every sound is made at 32-bit float and converted with dither to <kind>_16.wav and, where the
# kind exists at that depth, <kind>_24.wav, so the 24-bit files carry real 24-bit detail. The
# files are repeatable: sox seeds its dither with a fixed number and the generators theirs.
#
# usage: bench/wmalossless/make_corpus.sh <corpus folder>
# Needs: fluidsynth fluid-soundfont-gm espeak-ng sox python3 (scripts/setup.sh --bench).
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
corpus="$1"
soundfont=/usr/share/sounds/sf2/FluidR3_GM.sf2
for tool in fluidsynth espeak-ng sox python3; do
    command -v "$tool" >/dev/null || { echo "make_corpus.sh: $tool is missing (scripts/setup.sh --bench)" >&2; exit 1; }
done
[ -f "$soundfont" ] || { echo "make_corpus.sh: $soundfont is missing (fluid-soundfont-gm)" >&2; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
sox() { command sox -R -V1 "$@"; }
float=(-e floating-point -b 32)
out=""

# depth <source> <name> <bits> [effects...]: one depth of a float source, dithered.
depth() {
    local source=$1 name=$2 bits=$3
    shift 3
    sox "$source" -b "$bits" "$out/${name}_${bits}.wav" "$@" dither
}
# both_depths <source> <name> [effects...]
both_depths() {
    depth "$1" "$2" 16 "${@:3}"
    depth "$1" "$2" 24 "${@:3}"
}

# render <song>: the song's MIDI file rendered at 44.1 kHz float, its silent tail trimmed.
render() {
    fluidsynth -ni -q -T wav -O float -F "$work/$1.raw.wav" -r 44100 -g 0.5 "$soundfont" \
        "$work/$1.mid" >/dev/null 2>&1
    sox "$work/$1.raw.wav" "$work/$1.wav" reverse silence 1 0.05 0.1% reverse
}

# speech <name> <voice 1> <voice 2> <reverb> <text>: two speakers at two places in a room,
# one after the other, in stereo at 44.1 kHz; and the second alone in mono at 48 kHz.
speech() {
    local name=$1
    espeak-ng -v "$2" -s 150 -w "$work/voice1.wav" "$5"
    espeak-ng -v "$3" -s 190 -p 70 -w "$work/voice2.wav" "$5"
    sox "$work/voice1.wav" "${float[@]}" "$work/left.wav" remix 1v0.85 1v0.45
    sox "$work/voice2.wav" "${float[@]}" "$work/right.wav" remix 1v0.4 1v0.9
    sox "$work/left.wav" "$work/right.wav" "${float[@]}" "$work/stereo.wav" rate -v 44100 reverb "$4"
    both_depths "$work/stereo.wav" "${name}_stereo" gain -n -1
    sox "$work/voice2.wav" "${float[@]}" "$work/mono.wav" rate -v 48000
    both_depths "$work/mono.wav" "${name}_mono" gain -n -1
}

# synthetic <set>: the generated sounds of make_synthetic.py, as float WAV files.
synthetic() {
    python3 "$here/make_synthetic.py" "$work" "$1"
    for raw in "$work"/*.f32; do
        sox -t f32 -r 44100 -c 2 "$raw" "${float[@]}" "${raw%.f32}.wav"
    done
}

# The kinds made from a song, with parameters per set.
# clipped <song> <dB over full scale>: compressed and driven into hard clipping, as loud
# masters are.
clipped() {
    both_depths "$work/$1.wav" clipped compand 0.005,0.1 6:-54,-90,-36,-36,-24,-24,0,-12 0 -90 0.1 \
        gain -n "$2"
}
# quiet <song> <peak dB>: soft, with the room's long decay, far below full scale.
quiet() {
    both_depths "$work/$1.wav" quiet reverb 40 50 100 gain -n "$2"
}
# mono_in_stereo <song>: one channel copied exactly into both.
mono_in_stereo() {
    sox "$work/$1.wav" "${float[@]}" "$work/mono_mix.wav" remix 1,2 gain -n -1
    for bits in 16 24; do
        sox "$work/mono_mix.wav" -b "$bits" "$work/mono_$bits.wav" dither
        sox "$work/mono_$bits.wav" "$out/mono_in_stereo_$bits.wav" remix 1 1
    done
}
# dc_offset <song> <offset>: a constant offset (fraction of full scale) added to the music.
dc_offset() {
    both_depths "$work/$1.wav" dc_offset gain -n -4 dcshift "$2"
}
# eight_bit <song>: 8-bit samples stored in a 16-bit file.
eight_bit() {
    sox "$work/$1.wav" -b 8 "$work/eight.wav" gain -n -1 dither
    sox "$work/eight.wav" -b 16 "$out/eight_bit_16.wav"
}
# silence_gaps <song> <gap seconds> <gap seconds>: the music cut in three, with stretches of
# digital silence between the parts.
silence_gaps() {
    local song=$1 gap1=$2 gap2=$3 bits
    for bits in 16 24; do
        sox "$work/$song.wav" -b "$bits" "$work/gap_music.wav" gain -n -1 dither
        sox "$work/gap_music.wav" "$work/part1.wav" trim 0 9
        sox "$work/gap_music.wav" "$work/part2.wav" trim 9 9
        sox "$work/gap_music.wav" "$work/part3.wav" trim 18
        sox -n -r 44100 -c 2 -b "$bits" "$work/gap1.wav" trim 0 "$gap1"
        sox -n -r 44100 -c 2 -b "$bits" "$work/gap2.wav" trim 0 "$gap2"
        sox "$work/part1.wav" "$work/gap1.wav" "$work/part2.wav" "$work/gap2.wav" \
            "$work/part3.wav" "$out/silence_gaps_$bits.wav"
    done
}
# noise_floor <song> <noise dB> <lowpass Hz>: a 24-bit recording whose quiet passages show the
# hiss of the microphones and preamps (independent in each channel, somewhat darker than white).
noise_floor() {
    local song=$1 level=$2 corner=$3 seconds
    seconds=$(soxi -D "$work/$song.wav")
    sox "$work/hiss.wav" "${float[@]}" "$work/hiss_cut.wav" trim 0 "$seconds" \
        lowpass -1 "$corner" gain -n "$level"
    sox "$work/$song.wav" "${float[@]}" "$work/music_level.wav" gain -n -3
    sox -m -v 1 "$work/music_level.wav" -v 1 "$work/hiss_cut.wav" "${float[@]}" "$work/recorded.wav"
    depth "$work/recorded.wav" noise_floor 24
}

text_a="Lossless compression keeps every sample of the original recording. The decoder \
rebuilds the exact waveform, bit for bit, so nothing that was recorded is lost. Speech is a \
good test: it has pauses, voiced vowels with a clear pitch, and noisy consonants such as s, \
f and sh. A predictor that adapts quickly does well on the vowels, and the entropy coder must \
cope with the sudden bursts of the consonants."
text_b="The archive keeps the tapes in a cool room below the library. Each reel is copied \
twice, checked against the first copy, and only then is the old tape allowed to rest. Ask \
the clerk for the list of shelves; she will show you which boxes were moved last spring and \
why the labels changed colour."

make_tuning() {
    out="$corpus/tuning"
    mkdir -p "$out"
    python3 "$here/make_midi.py" "$work" tuning
    for song in band harpsichord pop nocturne; do render "$song"; done
    both_depths "$work/band.wav" music_band gain -n -1
    both_depths "$work/harpsichord.wav" music_harpsichord gain -n -1
    # The pop mix is compressed and made loud, as mastered pop music is.
    both_depths "$work/pop.wav" music_pop compand 0.005,0.1 6:-54,-90,-36,-36,-24,-24,0,-12 0 -90 0.1 \
        gain -n -1
    speech speech en-us en-gb+f3 20 "$text_a"
    synthetic tuning
    for name in chords applause castanets; do both_depths "$work/$name.wav" "$name" gain -n -1; done
    both_depths "$work/bursts.wav" noise_bursts sinc 800-12000 gain -n -1
    both_depths "$work/clicks.wav" sparse_clicks
    sox -n -r 44100 -c 1 "${float[@]}" "$work/sweep.wav" synth 30 sine 20:20000 gain -3
    both_depths "$work/sweep.wav" sweep
    clipped pop 6
    quiet nocturne -20
    mono_in_stereo band
    dc_offset harpsichord 0.03
    eight_bit pop
    silence_gaps band 5 3
    noise_floor harpsichord -80 9000
}

make_heldout() {
    out="$corpus/heldout"
    mkdir -p "$out"
    rm -f "$work"/*.wav "$work"/*.f32 "$work"/*.mid
    python3 "$here/make_midi.py" "$work" heldout
    for song in band2 harpsichord2 pop2 strings; do render "$song"; done
    both_depths "$work/band2.wav" music_band gain -n -1
    both_depths "$work/harpsichord2.wav" music_harpsichord gain -n -1
    speech speech en-gb-x-rp en-us+f2 45 "$text_b"
    synthetic heldout
    both_depths "$work/chords.wav" chords gain -n -1
    both_depths "$work/bursts.wav" noise_bursts sinc 800-12000 gain -n -2
    both_depths "$work/clicks.wav" sparse_clicks
    clipped pop2 4
    quiet strings -26
    mono_in_stereo pop2
    dc_offset band2 -0.02
    eight_bit harpsichord2
    silence_gaps pop2 3 7
    noise_floor band2 -86 14000
}

echo "making the corpus in $corpus ..."
rm -rf "$corpus/tuning" "$corpus/heldout"
make_tuning
make_heldout
