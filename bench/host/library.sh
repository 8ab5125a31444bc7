#!/usr/bin/env bash
# A whole library through `vantrel convert`, measured side by side in one run.
#
#   1. planning: `--dry-run -d out LIB` of a generated tree of FILES files (default 20,000:
#      artist / album / ten tracks and a cover picture) against a tree of a quarter of them,
#      runs alternated: CPU time, files per second, peak memory; 4x the files may cost at
#      most 4.5x the time;
#   2. converting TRACKS one-second FLAC tracks (default 5,000) in such a tree: `-j 2` against
#      `-j 1`; peak memory against a run of a quarter of the tracks (memory stays flat); and
#      on a sample of SAMPLE tracks (default 500) of the same kind, `-j 2` against one ffmpeg
#      process per track (`ffmpeg -i x.flac -c:a wmav2 -b:a 128k x.wma`, the way a shell loop
#      converts a library; a process per track costs the same for any number of them).
#
# Every real run's outputs are counted and spot-checked with ffprobe before its time counts.
# CPU times (user + sys, children included) stay meaningful on a loaded machine; wall-clock
# figures (the -j 2 speed-up) do not, so the load average is printed beside them.
#
# usage: bench/host/library.sh [build folder]      (default: build, configured if missing)
# Environment: FILES (20000), TRACKS (5000), SAMPLE (500), REPEATS (3) runs of each dry run.
# Needs: ffmpeg, ffprobe, python3, GNU time (scripts/setup.sh --bench).
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build="${1:-$root/build}"
files="${FILES:-20000}"
tracks="${TRACKS:-5000}"
sample="${SAMPLE:-500}"
repeats="${REPEATS:-3}"

for tool in ffmpeg ffprobe python3 awk; do
    command -v "$tool" >/dev/null || { echo "library.sh: $tool is missing (scripts/setup.sh --bench)" >&2; exit 1; }
done
[ -x /usr/bin/time ] || { echo "library.sh: /usr/bin/time is missing (package time)" >&2; exit 1; }

if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
build="$(cd "$build" && pwd)"
cmake --build "$build" --target vantrel ostrel -j2 >/dev/null
if [ -n "$(sed -n 's/^SANITIZE:STRING=//p' "$build/CMakeCache.txt")" ]; then
    echo "library.sh: $build is a sanitizer build; its times mean nothing" >&2
    exit 1
fi
vantrel="$build/bin/vantrel"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config" # the user's saved settings must not count
mkdir -p "$XDG_CONFIG_HOME"
load() { cut -d' ' -f1-3 /proc/loadavg; }
echo "machine: $(nproc) cores, load average $(load); build: $build"

# make_tree FOLDER COUNT TEMPLATE: COUNT tracks in FOLDER/Artist NNN/Album NN/NN Track.flac,
# ten to an album with a cover.jpg beside them; a track is a copy of TEMPLATE, or an empty
# file when TEMPLATE is empty (planning reads no track).
make_tree() {
    python3 - "$1" "$2" "$3" <<'EOF'
import os, shutil, sys
folder, count, template = sys.argv[1], int(sys.argv[2]), sys.argv[3]
for n in range(count):
    album = os.path.join(folder, "Artist %03d" % (n // 100), "Album %02d" % (n // 10 % 10))
    if n % 10 == 0:
        os.makedirs(album)
        open(os.path.join(album, "cover.jpg"), "wb").write(b"\xff\xd8 not a picture")
    path = os.path.join(album, "%02d Track.flac" % (n % 10 + 1))
    if template:
        shutil.copyfile(template, path)
    else:
        open(path, "wb").close()
EOF
}

# measure NAME COMMAND...: appends "wall user+sys maxrss_kib" to $work/NAME.times.
measure() {
    local name=$1
    shift
    if ! /usr/bin/time -f '%e %U %S %M' -o "$work/time.out" "$@" >"$work/command.log" 2>&1; then
        echo "library.sh: failed: $*" >&2
        tail -20 "$work/command.log" >&2
        exit 1
    fi
    awk '{ print $1, $2 + $3, $4 }' "$work/time.out" >>"$work/$name.times"
}

# median NAME COLUMN (1 wall, 2 CPU, 3 max RSS)
median() {
    awk -v c="$2" '{ print $c }' "$work/$1.times" | sort -g |
        awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# check_outputs FOLDER COUNT: COUNT .wma files, and every 997th of them WMA 2.
check_outputs() {
    local found wrong
    found=$(find "$1" -name '*.wma' | wc -l)
    [ "$found" -eq "$2" ] || { echo "library.sh: $1 holds $found outputs, not $2" >&2; exit 1; }
    wrong=$(find "$1" -name '*.wma' | sort | awk 'NR % 997 == 1' | while read -r f; do
        codec=$(ffprobe -v error -select_streams a:0 -show_entries stream=codec_name -of csv=p=0 "$f")
        [ "$codec" = wmav2 ] || echo "$f ($codec)"
    done)
    [ -z "$wrong" ] || { echo "library.sh: not WMA 2: $wrong" >&2; exit 1; }
}

# --- 1. planning ---------------------------------------------------------------------------
quarter=$((files / 4))
echo "1/2 planning: dry runs of $quarter and $files files, $repeats runs each ..."
make_tree "$work/plan_small" "$quarter" ""
make_tree "$work/plan_large" "$files" ""
for ((r = 1; r <= repeats; r++)); do
    order=(small large)
    ((r % 2 == 0)) && order=(large small)
    for size in "${order[@]}"; do
        measure "plan_$size" "$vantrel" convert -q --dry-run -d "$work/plan_out" "$work/plan_$size"
        [ ! -e "$work/plan_out" ] || { echo "library.sh: the dry run made its output folder" >&2; exit 1; }
    done
done
planned=$("$vantrel" convert -q --dry-run -d "$work/plan_out" "$work/plan_large" | grep -c ' -> ' || true)
rm -rf "$work/plan_small" "$work/plan_large"

# --- 2. converting -------------------------------------------------------------------------
echo "2/2 converting $tracks one-second tracks with -j 1 and -j 2; $sample against ffmpeg ..."
ffmpeg -nostdin -hide_banner -loglevel error -y \
    -f lavfi -i "aevalsrc=exprs=0.3*sin(2*PI*440*t)+0.1*sin(2*PI*660*t)|0.3*sin(2*PI*550*t):s=44100:d=1" \
    -f lavfi -i "anoisesrc=color=pink:amplitude=0.05:d=1:r=44100" \
    -filter_complex "[1]pan=stereo|c0=c0|c1=c0[n];[0][n]amix=inputs=2:normalize=0,aformat=sample_fmts=s16" \
    "$work/template.flac"
make_tree "$work/lib" "$tracks" "$work/template.flac"
make_tree "$work/lib_quarter" $((tracks / 4)) "$work/template.flac"
make_tree "$work/lib_sample" "$sample" "$work/template.flac"
cat "$work/template.flac" >/dev/null

measure convert_j1 "$vantrel" convert -q -f --preset 5 -j 1 -d "$work/out_j1" "$work/lib"
check_outputs "$work/out_j1" "$tracks"
rm -rf "$work/out_j1"
measure convert_j2 "$vantrel" convert -q -f --preset 5 -j 2 -d "$work/out_j2" "$work/lib"
check_outputs "$work/out_j2" "$tracks"
rm -rf "$work/out_j2"
measure convert_quarter "$vantrel" convert -q -f --preset 5 -j 1 -d "$work/out_q" "$work/lib_quarter"
check_outputs "$work/out_q" $((tracks / 4))
rm -rf "$work/out_q"

# The usual shell loop over a library: one ffmpeg process per track, the tree mirrored.
cat >"$work/per_track.sh" <<'EOF'
cd "$1" || exit 1
find . -name '*.flac' | while read -r f; do
    out="$2/${f%.flac}.wma"
    mkdir -p "$(dirname "$out")"
    ffmpeg -nostdin -hide_banner -loglevel error -y -i "$f" -c:a wmav2 -b:a 128k "$out" || exit 1
done
EOF
measure sample_j2 "$vantrel" convert -q -f --preset 5 -j 2 -d "$work/out_sample" "$work/lib_sample"
check_outputs "$work/out_sample" "$sample"
measure per_track bash "$work/per_track.sh" "$work/lib_sample" "$work/out_ffmpeg"
check_outputs "$work/out_ffmpeg" "$sample"

# --- report --------------------------------------------------------------------------------
echo
echo "load average after the runs: $(load)"
echo "planning: medians of $repeats runs; converting: one run each (seconds; memory = max RSS)"
awk -v n="$files" -v q="$quarter" -v planned="$planned" -v t="$tracks" \
    -v sc="$(median plan_small 2)" -v lc="$(median plan_large 2)" -v lw="$(median plan_large 1)" \
    -v lm="$(median plan_large 3)" \
    -v j1w="$(median convert_j1 1)" -v j2w="$(median convert_j2 1)" \
    -v j1c="$(median convert_j1 2)" -v j2c="$(median convert_j2 2)" \
    -v j1m="$(median convert_j1 3)" -v qm="$(median convert_quarter 3)" \
    -v s="$sample" -v sw="$(median sample_j2 1)" -v sc2="$(median sample_j2 2)" \
    -v fw="$(median per_track 1)" -v fc="$(median per_track 2)" '
    function row(what, value, goal, verdict) { printf "%-46s %-34s %-10s %s\n", what, value, goal, verdict }
    function check(ok) { return ok ? "met" : "MISSED" }
    BEGIN {
        row("figure", "measured", "goal", "")
        row(sprintf("dry run, %d files: CPU time", n), sprintf("%.2f s (%.0f files/s)", lc, n / lc), "< 2 s", check(lc < 2))
        row(sprintf("dry run, %d files: wall", n), sprintf("%.2f s (%d planned)", lw, planned), "", "")
        row(sprintf("dry run: CPU %d files / %d files", n, q), sprintf("%.2fx (%.2f s / %.2f s)", lc / sc, lc, sc), "<= 4.5x", check(lc / sc <= 4.5))
        row(sprintf("dry run, %d files: peak RSS", n), sprintf("%.1f MiB", lm / 1024), "< 64 MiB", check(lm / 1024 < 64))
        row(sprintf("%d tracks: -j 2 / -j 1 speed (wall)", t), sprintf("%.2fx (%.1f s / %.1f s)", j1w / j2w, j1w, j2w), ">= 1.8x", check(j1w / j2w >= 1.8))
        row(sprintf("%d tracks: CPU -j 2 / -j 1", t), sprintf("%.2fx (%.1f s / %.1f s)", j2c / j1c, j2c, j1c), "", "")
        row(sprintf("%d tracks: ffmpeg per track / -j 2, wall", s), sprintf("%.1fx (%.1f s / %.1f s)", fw / sw, fw, sw), ">= 20x", check(fw / sw >= 20))
        row(sprintf("%d tracks: ffmpeg per track / -j 2, CPU", s), sprintf("%.1fx (%.1f s / %.1f s)", fc / sc2, fc, sc2), "", "")
        row(sprintf("%d tracks: %.0f files/s (-j 2)", t, t / j2w), "", "", "")
        row(sprintf("peak RSS: %d tracks / %d tracks", t, t / 4), sprintf("%.3fx (%.1f / %.1f MiB)", j1m / qm, j1m / 1024, qm / 1024), "<= 1.10x", check(j1m / qm <= 1.10))
    }'
