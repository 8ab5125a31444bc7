#!/usr/bin/env bash
# Builds the project and runs its main job.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh default
echo "The host is not built yet; the platform library is at build/bin/libplatform.so."
