#!/usr/bin/env bash
# Builds the fuzz targets with clang into OUT and writes their seeds into
# OUT/seeds with the seed program of the main build:
#   build-targets.sh OUT SEEDS_PROGRAM
# The targets are: notification copy_data settings avi_triage.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$1
seeds=$2
if ! command -v clang++ >/dev/null; then
  echo "fuzz: clang++ is missing; scripts/setup-debian.sh installs clang and libclang-rt-14-dev" >&2
  exit 1
fi
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$here/targets" -B "$out" -DCMAKE_CXX_COMPILER=clang++ "${launcher[@]}" >/dev/null
cmake --build "$out" -j2 >/dev/null || { cmake --build "$out" -j1; exit 1; }
rm -rf "$out/seeds"
"$seeds" "$out/seeds" >/dev/null
