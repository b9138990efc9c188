#!/usr/bin/env bash
# Builds the call-client double, starts it in a call under a private Xvfb and
# PulseAudio, and saves a screenshot of its call window into
# docs/screenshots/call-client-double.png: the far-side picture that the demo
# and the tests record.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${MURMURANT_BUILD_DIR:-$root/build}
"$root/scripts/setup-debian.sh"
"$root/scripts/build.sh"
out="$root/docs/screenshots"
mkdir -p "$out"

shoot() {
  set -euo pipefail
  local tmp; tmp=$(mktemp -d)
  "$build/tools/Skype.exe" --log "$tmp/client.log" --geometry 642x482+100+100 \
    --in-call --contact "Dana Farside" &
  local pid=$!
  for _ in $(seq 1 100); do
    grep -q 'playing on' "$tmp/client.log" 2>/dev/null && break
    sleep 0.1
  done
  # A few seconds into the call, and not during one of its white flashes.
  sleep 4
  for _ in $(seq 1 20); do
    /usr/bin/import -window root -crop 642x482+100+100 +repage "$tmp/shot.png"
    [ "$(convert "$tmp/shot.png" -format '%[fx:mean>0.8]' info:)" = 0 ] && break
    sleep 0.1
  done
  cp "$tmp/shot.png" "$out/call-client-double.png"
  kill "$pid"
  wait "$pid" 2>/dev/null || true
  rm -rf "$tmp"
}
export -f shoot
export build out
"$root/tests/harness/with-services.sh" bash -c shoot
echo "saved $out/call-client-double.png"
