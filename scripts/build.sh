#!/usr/bin/env bash
# Configures and builds Corvel into a build folder (default: build).
#   scripts/build.sh [BUILD_DIR] [extra cmake options...]
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
shift || true
# The configure step's progress lines ("-- ...") are dropped; warnings and errors show.
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" | { grep -v '^-- ' || true; }
cmake --build "$dir" -j "$(nproc)"
