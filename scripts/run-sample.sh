#!/usr/bin/env bash
# The main job: builds the project, makes a short tagged sample track, converts
# it to Windows Media Audio with the host and the plug-in, and shows what an
# independent reader finds in the result.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh default

out=out/sample
mkdir -p "$out"
input="$out/sample.flac"
output="$out/sample.wma"

# Twelve seconds of a C major chord that swells and fades, stereo 44100 Hz.
ffmpeg -hide_banner -loglevel error -y -f lavfi \
    -i "aevalsrc=0.25*sin(PI*t/12)*(sin(2*PI*261.63*t)+sin(2*PI*329.63*t)+sin(2*PI*392*t))|0.25*sin(PI*t/12)*(sin(2*PI*261.63*t+1)+sin(2*PI*329.63*t+1)+sin(2*PI*392*t+1)):s=44100:d=12" \
    -metadata artist="The Sample Players" -metadata title="Chord in C" \
    -metadata album="Built-in Samples" -metadata date="2026" -metadata genre="Ambient" \
    -metadata tracknumber="1" -metadata comment="Made on the spot by run-sample.sh" \
    -c:a flac "$input"

echo "== vantrel convert -f --preset 5 $input"
build/bin/vantrel convert -f --preset 5 -o "$output" "$input"

echo
echo "== ffprobe $output"
ffprobe -hide_banner -loglevel error -show_entries \
    format=duration,bit_rate:stream=codec_name,sample_rate,channels -of default=noprint_wrappers=1 \
    "$output"
echo
echo "== tags read back by mutagen"
/usr/bin/python3 - "$output" <<'PY'
import sys
from mutagen.asf import ASF
f = ASF(sys.argv[1])
print(f"length: {f.info.length:.2f} s, bitrate: {f.info.bitrate} bps")
for name, values in sorted(f.tags.items()):
    print(f"{name}: {', '.join(str(v) for v in values)}")
PY
