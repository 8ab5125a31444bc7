#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and run.
# Quick when everything is already there: apt is only called for what is missing.
set -euo pipefail

packages=(cmake g++ make pkg-config libgtest-dev libgmock-dev libbenchmark-dev
          libavcodec-dev libavformat-dev libswresample-dev libavutil-dev
          libpugixml-dev libncurses-dev ffmpeg python3-mutagen python3-taglib kid3-cli tmux
          clang-format git man-db groff-base bsdextrautils)
if [ "${1:-}" = "--bench" ]; then
    packages+=(flac fluidsynth fluid-soundfont-gm espeak-ng sox hyperfine time
               python3-numpy python3-scipy)
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "setup: missing packages: ${missing[*]} (run as root to install them)" >&2
        exit 1
    fi
    echo "setup: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
