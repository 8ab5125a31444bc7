#!/usr/bin/env bash
# Checks that every tracked C++ source and header is formatted as .clang-format says.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if clang-format --dry-run --Werror "${files[@]}"; then
    echo "format: ${#files[@]} files clean"
else
    echo "format: run clang-format -i on the files above" >&2
    exit 1
fi
