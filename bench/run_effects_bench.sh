#!/usr/bin/env bash
# Makes a 1920 x 1080 recording like ours (MP43 pictures) and times the edit
# dialogs' picture hooks on its pictures against the filter library.
#   bench/run_effects_bench.sh BUILD_DIR
set -euo pipefail
build=${1:?build folder}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
ffmpeg -v error -f lavfi -i "testsrc2=size=1920x1080:rate=25" -t 2 \
  -c:v msmpeg4v3 -q:v 4 -g 25 "$tmp/1080p.avi"
"$build/bench/effects_bench" "$tmp/1080p.avi"
