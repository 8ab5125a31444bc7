#!/usr/bin/env bash
# Speed and memory of `vantrel convert`, measured side by side with a reference in one run.
#
#   1. one 10-minute track at preset 5 (128 kbps wmav2): `vantrel convert -j 1` against
#      `ffmpeg -i in.wav -c:a wmav2 -b:a 128k out.wma`, runs alternated, medians compared;
#   2. eight 2-minute tracks: throughput of `-j 2` against `-j 1`;
#   3. peak memory (max RSS) converting a 60-minute track against a 1-minute track.
#
# The inputs are 44.1 kHz stereo 16-bit WAV files made here with ffmpeg: a chord progression
# with a plucked melody over pink noise. Every output is checked with ffprobe (codec, bit rate,
# duration) before its time counts. Prints a table of the figures and their goals.
#
# usage: bench/host/run.sh [build folder]      (default: build, configured if missing)
# Environment: REPEATS (default 5) runs of each timed command.
# Needs: ffmpeg, GNU time (scripts/setup.sh --bench).
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build="${1:-$root/build}"
repeats="${REPEATS:-5}"

for tool in ffmpeg ffprobe awk; do
    command -v "$tool" >/dev/null || { echo "run.sh: $tool is missing (scripts/setup.sh --bench)" >&2; exit 1; }
done
[ -x /usr/bin/time ] || { echo "run.sh: /usr/bin/time is missing (package time)" >&2; exit 1; }

if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
build="$(cd "$build" && pwd)"
cmake --build "$build" --target vantrel ostrel -j2 >/dev/null
# An empty build type is RelWithDebInfo (the project's default).
build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:STRING=//p' "$build/CMakeCache.txt")
build_type=${build_type:-RelWithDebInfo}
sanitize=$(sed -n 's/^SANITIZE:STRING=//p' "$build/CMakeCache.txt")
if [ -n "$sanitize" ]; then
    echo "run.sh: $build is a sanitizer build ($sanitize); its times mean nothing" >&2
    exit 1
fi
vantrel="$build/bin/vantrel"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# The user's saved encoder settings must not change what is measured.
export XDG_CONFIG_HOME="$work/config"
mkdir -p "$XDG_CONFIG_HOME" "$work/in" "$work/out"

load() { cut -d' ' -f1-3 /proc/loadavg; }
echo "machine: $(nproc) cores, load average $(load); build: $build ($build_type)"

# --- inputs --------------------------------------------------------------------------------
# Two minutes of music-like sound: four chords of two seconds each, a melody of short plucked
# notes with a little FM brightness, slightly different left and right, and pink noise under it.
make_base() {
    local n='mod(floor(t/2),4)'
    local chord="110*pow(2,(if(eq($n,1),5,0)+if(eq($n,2),7,0)+if(eq($n,3),-3,0))/12)"
    local pluck='exp(-3*mod(t,0.25))'
    local note="440*pow(2,mod(floor(t*4)*5,12)/12)"
    local third="0.12*sin(2*PI*$chord*1.2599*t)"
    local left="0.18*sin(2*PI*$chord*t)+$third+0.10*sin(2*PI*$chord*1.4983*t)"
    left+="+0.2*$pluck*sin(2*PI*$note*t+0.8*sin(2*PI*2*$note*t))"
    local right="0.18*sin(2*PI*$chord*t+0.3)+$third+0.10*sin(2*PI*$chord*1.4983*t+0.2)"
    right+="+0.2*$pluck*sin(2*PI*$note*1.002*t)"
    ffmpeg -nostdin -hide_banner -loglevel error -y \
        -f lavfi -i "aevalsrc=exprs='$left|$right':s=44100:d=120" \
        -f lavfi -i "anoisesrc=color=pink:amplitude=0.08:d=120:r=44100" \
        -filter_complex "[1]pan=stereo|c0=c0|c1=c0[noise];[0][noise]amix=inputs=2:normalize=0,aformat=sample_fmts=s16:channel_layouts=stereo" \
        -c:a pcm_s16le "$1"
}
# loop_wav IN OUT TIMES: IN played TIMES times in a row.
loop_wav() {
    ffmpeg -nostdin -hide_banner -loglevel error -y -stream_loop $(($3 - 1)) -i "$1" -c copy "$2"
}

echo "making the inputs in $work/in ..."
base="$work/in/base.wav"
make_base "$base"
loop_wav "$base" "$work/in/ten_minutes.wav" 5
for i in 1 2 3 4 5 6 7 8; do cp "$base" "$work/in/track$i.wav"; done
ffmpeg -nostdin -hide_banner -loglevel error -y -i "$base" -t 60 -c copy "$work/in/one_minute.wav"
loop_wav "$base" "$work/in/sixty_minutes.wav" 30

# --- measuring -----------------------------------------------------------------------------
# measure NAME COMMAND...: runs COMMAND under GNU time and appends
# "wall user sys maxrss_kib voluntary_context_switches" to $work/NAME.times.
measure() {
    local name=$1
    shift
    if ! /usr/bin/time -f '%e %U %S %M %w' -o "$work/time.out" "$@" >"$work/command.log" 2>&1; then
        echo "run.sh: failed: $*" >&2
        cat "$work/command.log" >&2
        exit 1
    fi
    cat "$work/time.out" >>"$work/$name.times"
}

# check_wma FILE SECONDS: the output is 128 kbps WMA version 2 of the expected length.
check_wma() {
    local facts
    facts=$(ffprobe -v error -select_streams a:0 -show_entries stream=codec_name,bit_rate:format=duration \
        -of default=noprint_wrappers=1 "$1" 2>&1) || { echo "run.sh: $1 is unreadable: $facts" >&2; exit 1; }
    local codec rate duration
    codec=$(sed -n 's/^codec_name=//p' <<<"$facts")
    rate=$(sed -n 's/^bit_rate=//p' <<<"$facts")
    duration=$(sed -n 's/^duration=//p' <<<"$facts")
    # The container may state the codec's exact rate, a little off the nominal one.
    if [ "$codec" != wmav2 ] ||
        ! awk -v r="${rate:-0}" -v d="${duration:-0}" -v e="$2" \
            'BEGIN { exit !(r > 127000 && r < 129000 && d > e - 0.5 && d < e + 0.5) }'; then
        echo "run.sh: $1 is not $2 s of 128 kbps wmav2 (codec=$codec bit_rate=$rate duration=$duration)" >&2
        exit 1
    fi
}

# median NAME COLUMN: median of one column of NAME.times (1 wall, 2 user, 3 sys, 4 max RSS,
# 5 voluntary context switches; 0 is user + sys).
median() {
    awk -v c="$2" '{ v = (c == 0) ? $2 + $3 : $c; print v }' "$work/$1.times" | sort -g |
        awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

vantrel_convert=("$vantrel" convert -q -f --preset 5)

cat "$work"/in/*.wav >/dev/null # start every run with the inputs in the page cache

echo "1/3 one 10-minute track: vantrel -j 1 against ffmpeg, $repeats runs each ..."
ten="$work/in/ten_minutes.wav"
for ((r = 1; r <= repeats; r++)); do
    # Alternate which one goes first so neither always follows the other.
    order=(vantrel ffmpeg)
    ((r % 2 == 0)) && order=(ffmpeg vantrel)
    for who in "${order[@]}"; do
        rm -f "$work/out/ten.wma"
        if [ "$who" = vantrel ]; then
            measure single_vantrel "${vantrel_convert[@]}" -j 1 -o "$work/out/ten.wma" "$ten"
        else
            measure single_ffmpeg ffmpeg -nostdin -hide_banner -loglevel error -y -i "$ten" \
                -c:a wmav2 -b:a 128k "$work/out/ten.wma"
        fi
        check_wma "$work/out/ten.wma" 600
    done
done

echo "2/3 eight 2-minute tracks: -j 2 against -j 1, $repeats runs each ..."
tracks=("$work"/in/track?.wav)
for ((r = 1; r <= repeats; r++)); do
    order=(1 2)
    ((r % 2 == 0)) && order=(2 1)
    for jobs in "${order[@]}"; do
        rm -rf "$work/out/tracks"
        mkdir -p "$work/out/tracks"
        measure "tracks_j$jobs" "${vantrel_convert[@]}" -j "$jobs" -d "$work/out/tracks" "${tracks[@]}"
        for t in "${tracks[@]}"; do check_wma "$work/out/tracks/$(basename "$t" .wav).wma" 120; done
    done
done
rm -rf "$work/out/tracks"

echo "3/3 peak memory: a 60-minute track against a 1-minute track ..."
measure memory_short "${vantrel_convert[@]}" -j 1 -o "$work/out/one.wma" "$work/in/one_minute.wav"
check_wma "$work/out/one.wma" 60
measure memory_long "${vantrel_convert[@]}" -j 1 -o "$work/out/sixty.wma" "$work/in/sixty_minutes.wav"
check_wma "$work/out/sixty.wma" 3600

# --- report --------------------------------------------------------------------------------
v_wall=$(median single_vantrel 1)
f_wall=$(median single_ffmpeg 1)
v_cpu=$(median single_vantrel 0)
f_cpu=$(median single_ffmpeg 0)
j1_wall=$(median tracks_j1 1)
j2_wall=$(median tracks_j2 1)
j1_cpu=$(median tracks_j1 0)
j2_cpu=$(median tracks_j2 0)
rss_short=$(median memory_short 4)
rss_long=$(median memory_long 4)
v_rss=$(median single_vantrel 4)
f_rss=$(median single_ffmpeg 4)
v_switches=$(median single_vantrel 5)
f_switches=$(median single_ffmpeg 5)

echo
echo "load average after the runs: $(load)"
echo "medians of $repeats runs (wall and CPU = user + sys, seconds; memory = max RSS):"
awk -v vw="$v_wall" -v fw="$f_wall" -v vc="$v_cpu" -v fc="$f_cpu" \
    -v j1w="$j1_wall" -v j2w="$j2_wall" -v j1c="$j1_cpu" -v j2c="$j2_cpu" \
    -v rs="$rss_short" -v rl="$rss_long" -v vr="$v_rss" -v fr="$f_rss" \
    -v vs="$v_switches" -v fs="$f_switches" '
    function row(what, value, goal, verdict) { printf "%-44s %-30s %-9s %s\n", what, value, goal, verdict }
    function check(ok) { return ok ? "met" : "MISSED" }
    BEGIN {
        row("figure", "measured", "goal", "")
        row("10 min, 128k: vantrel -j 1 / ffmpeg, wall", sprintf("%.3fx (%.2f s / %.2f s)", vw / fw, vw, fw), "<= 1.05x", check(vw / fw <= 1.05))
        row("10 min, 128k: vantrel -j 1 / ffmpeg, CPU", sprintf("%.3fx (%.2f s / %.2f s)", vc / fc, vc, fc), "", "")
        row("10 min: voluntary context switches", sprintf("%d / %d", vs, fs), "", "")
        row("8 x 2 min: throughput -j 2 / -j 1 (wall)", sprintf("%.3fx (%.2f s / %.2f s)", j1w / j2w, j1w, j2w), ">= 1.70x", check(j1w / j2w >= 1.70))
        row("8 x 2 min: CPU -j 2 / -j 1", sprintf("%.3fx (%.2f s / %.2f s)", j2c / j1c, j2c, j1c), "", "")
        row("peak RSS: 60 min / 1 min", sprintf("%.3fx (%.1f / %.1f MiB)", rl / rs, rl / 1024, rs / 1024), "<= 1.10x", check(rl / rs <= 1.10))
        row("peak RSS: 60 min", sprintf("%.1f MiB", rl / 1024), "< 64 MiB", check(rl / 1024 < 64))
        row("peak RSS, 10 min: vantrel / ffmpeg", sprintf("%.1f / %.1f MiB", vr / 1024, fr / 1024), "", "")
    }'
