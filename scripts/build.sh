#!/usr/bin/env bash
# Configures and builds into build/ (or $MURMURANT_BUILD_DIR).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${MURMURANT_BUILD_DIR:-$root/build}
type=${MURMURANT_BUILD_TYPE:-RelWithDebInfo}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE="$type" ${MURMURANT_CMAKE_ARGS:-} >/dev/null
cmake --build "$build" -j"$(nproc)"
