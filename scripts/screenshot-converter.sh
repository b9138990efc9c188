#!/usr/bin/env bash
# Starts the converter without arguments over an output folder holding two
# recordings, presses Convert with real keys and saves the window mid-way
# through the conversion as docs/screenshots/converter.png.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${MURMURANT_BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target murmurant-convert >/dev/null
out=${MURMURANT_SCREENSHOT_OUT:-$root/docs/screenshots}
mkdir -p "$out"

shoot() {
  set -euo pipefail
  local tmp; tmp=$(mktemp -d)
  export HOME=$tmp XDG_CONFIG_HOME=$tmp/.config XDG_DATA_HOME=$tmp/.local/share
  mkdir -p "$HOME/PlovanderOutput"
  for name in "Dana Farside 2024-05-02 10-14-03" "Sam Nearby 2024-05-03 16-40-55"; do
    ffmpeg -v error -y -f lavfi -i testsrc=size=640x480:rate=15 -f lavfi -i sine=frequency=440 \
      -ac 2 -t 40 -c:v mjpeg -c:a pcm_s16le "$HOME/PlovanderOutput/$name.avi"
  done
  "$build/bin/murmurant-convert" >"$tmp/convert.log" 2>&1 &
  local converter=$!
  local id=""
  for _ in $(seq 1 150); do
    id=$(xdotool search --onlyvisible --name '^Murmurant Converter$' 2>/dev/null | head -n 1) && [ -n "$id" ] && break
    sleep 0.1
  done
  [ -n "$id" ] || { echo "no converter window" >&2; cat "$tmp/convert.log" >&2; return 1; }
  sleep 0.5
  # A click on the first recording, down to the second, then Tab to Convert.
  xdotool mousemove --window "$id" 60 48 sleep 0.2 click 1 sleep 0.3
  xdotool key Down sleep 0.2 key Tab sleep 0.2 key space
  for _ in $(seq 1 100); do
    ls "$HOME/PlovanderOutput/"*.part >/dev/null 2>&1 && break
    sleep 0.1
  done
  sleep 1.5  # the bar has moved visibly
  eval "$(xdotool getwindowgeometry --shell "$id")"
  /usr/bin/import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out/converter.png"
  echo "screenshot: $out/converter.png"
  kill "$converter"
  wait "$converter" 2>/dev/null || true
  rm -rf "$tmp"
}
export -f shoot
export build out
"$root/tests/harness/with-services.sh" bash -c shoot
