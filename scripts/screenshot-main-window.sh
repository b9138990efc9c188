#!/usr/bin/env bash
# Builds Murmurant, starts it under a private Xvfb and PulseAudio, and saves
# screenshots of its main window into docs/screenshots/: at rest, and with the
# pointer over "record fixed" while the button is held down.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${MURMURANT_BUILD_DIR:-$root/build}
"$root/scripts/setup-debian.sh"
"$root/scripts/build.sh"
out="$root/docs/screenshots"
mkdir -p "$out"

shoot() {
  set -euo pipefail
  "$build/bin/murmurant" >/dev/null 2>&1 &
  local pid=$!
  for _ in $(seq 1 100); do
    xdotool search --name '^Murmurant$' >/dev/null 2>&1 && break
    sleep 0.1
  done
  sleep 1.5
  xdotool mousemove 1200 1000
  sleep 0.3
  /usr/bin/import -window root -crop 510x620+0+0 +repage "$out/main-window.png"
  xdotool mousemove 37 55 && sleep 0.3 && xdotool mousedown 1 && sleep 0.3
  /usr/bin/import -window root -crop 510x620+0+0 +repage "$out/main-window-pressed.png"
  xdotool mouseup 1
  kill "$pid"
  wait "$pid" 2>/dev/null || true
}
export -f shoot
export build out
"$root/tests/harness/with-services.sh" bash -c shoot
echo "saved $out/main-window.png and $out/main-window-pressed.png"
