#!/usr/bin/env bash
# Configures and builds one preset (default, asan or tsan) of the project.
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j "$(nproc)" 2>&1 | grep -v "^\[" || true
test "${PIPESTATUS[0]}" -eq 0
