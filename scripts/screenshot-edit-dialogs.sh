#!/usr/bin/env bash
# Records a short call with the real program, then opens each edit tool from
# the recording's row menu and saves a screenshot of it into docs/screenshots/:
# trim.png, crop.png (with "Cut off all" chosen), effects.png and settings.png.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${MURMURANT_BUILD_DIR:-$root/build}
"$root/scripts/setup-debian.sh"
"$root/scripts/build.sh"
out=${MURMURANT_SCREENSHOT_OUT:-$root/docs/screenshots}
mkdir -p "$out"

shoot() {
  set -euo pipefail
  local tmp; tmp=$(mktemp -d)
  "$build/tools/Skype.exe" --log "$tmp/client.log" --geometry 642x482+560+120 \
    --in-call --contact "Dana Farside" &
  local client=$!
  "$build/bin/murmurant" >"$tmp/murmurant.log" 2>&1 &
  local recorder=$!
  for _ in $(seq 1 150); do
    xdotool search --name '^Murmurant$' >/dev/null 2>&1 && break
    sleep 0.1
  done
  for _ in $(seq 1 150); do
    grep -q 'playing on Speaker' "$tmp/client.log" && break
    sleep 0.1
  done
  # A six-second recording of the call window.
  xdotool mousemove 1200 1000 sleep 0.2 mousemove 37 55 sleep 0.3 click 1
  sleep 6
  xdotool key F9
  sleep 2
  kill "$client" 2>/dev/null || true

  # Opens the row menu's item `downs` places down, waits for the dialog
  # titled $2, lets `prepare` act on it, saves it as $3 and presses Cancel.
  dialog() {
    local downs=$1 title=$2 file=$3 prepare=${4:-}
    xdotool mousemove 40 136 sleep 0.2 click 3 sleep 0.8
    for _ in $(seq 1 "$downs"); do xdotool key Down sleep 0.1; done
    xdotool key Return
    local id=""
    for _ in $(seq 1 100); do
      id=$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -n 1) && [ -n "$id" ] && break
      sleep 0.1
    done
    [ -n "$id" ] || { echo "no $title dialog" >&2; return 1; }
    eval "$(xdotool getwindowgeometry --shell "$id")"
    sleep 2.5  # the preview has started and shows pictures
    [ -n "$prepare" ] && "$prepare" "$X" "$Y"
    xdotool mousemove 1200 1000 sleep 0.5
    /usr/bin/import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out/$file"
    echo "screenshot: $out/$file"
    local cancel_x=$((X + 538)) cancel_y=$((Y + 421))
    [ "$title" = Settings ] && cancel_x=$((X + 418)) && cancel_y=$((Y + 265))
    for _ in $(seq 1 20); do
      xdotool mousemove "$cancel_x" "$cancel_y" sleep 0.1 click 1 sleep 0.4
      xdotool search --onlyvisible --name "^$title\$" >/dev/null 2>&1 || break
    done
  }
  cut_off_all() {  # the crop list, second entry
    xdotool mousemove $(($1 + 505)) $(($2 + 127)) sleep 0.2 click 1 sleep 0.6 key Down sleep 0.2 key Return sleep 0.8
  }
  negative() {  # the effect list, third entry; brightness up a little
    xdotool mousemove $(($1 + 460)) $(($2 + 75)) sleep 0.2 click 1 sleep 0.6 key Down sleep 0.1 key Down sleep 0.2 key Return sleep 0.8
  }
  dialog 2 Trim trim.png
  dialog 3 Crop crop.png cut_off_all
  dialog 4 Effects effects.png negative
  dialog 5 Settings settings.png
  kill "$recorder"
  wait "$recorder" 2>/dev/null || true
  rm -rf "$tmp"
}
export -f shoot
export build out
"$root/tests/harness/with-services.sh" bash -c shoot
