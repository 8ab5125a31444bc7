#!/usr/bin/env bash
# Configures and builds one preset (default, asan or tsan) of the project.
# Fails when the configuration or the build fails, whatever the build printed.
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"
cmake --preset "$preset" >/dev/null
log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
cmake --build --preset "$preset" -j "$(nproc)" >"$log" 2>&1 || status=$?
# Progress lines ("[ 42%] Building ...") are noise; everything else is shown.
grep -v '^\[' "$log" || true
exit "$status"
