#!/usr/bin/env bash
# Makes a 1920 x 1080 recording like ours (MP43 pictures, PCM sound) and runs
# the playback benchmark on it under the test harness's X and sound servers.
#   bench/run_decode_bench.sh BUILD_DIR [seconds]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:?build folder}
seconds=${2:-10}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
ffmpeg -v error -f lavfi -i "testsrc2=size=1920x1080:rate=25" \
  -f lavfi -i "sine=frequency=1000:sample_rate=48000" -t "$seconds" -ac 2 \
  -c:v msmpeg4v3 -q:v 4 -g 25 -c:a pcm_s16le "$tmp/1080p.avi"
"$root/tests/harness/with-services.sh" "$build/bench/decode_bench" "$tmp/1080p.avi"
