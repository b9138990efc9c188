#!/usr/bin/env bash
# The main job on a machine without a display: records a ten-second call.
# Starts a private X server and sound server, the call-client double in a call
# (its window shows the far side's face; once Murmurant has attached, its far
# side speaks into the loopback), a near-side voice into the microphone, then
# Murmurant; clicks "record fixed", stops with F9 after ten seconds, and prints
# the recording's path, its ffprobe summary and a screenshot of the main
# window with the new row; then opens the row's preview panel, plays the
# recording there and takes a screenshot of that.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${MURMURANT_BUILD_DIR:-$root/build}
"$root/scripts/setup-debian.sh"
"$root/scripts/build.sh"
out=${MURMURANT_DEMO_OUT:-$build/demo}
mkdir -p "$out"

demo() {
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
  # The double reports when its far side plays into the loopback device.
  for _ in $(seq 1 150); do
    grep -q 'playing on Speaker (Plovander Loopline)' "$tmp/client.log" && break
    sleep 0.1
  done
  espeak-ng -v en+f3 -w "$tmp/near.wav" "Yes, I hear you. This is the near side, speaking into the microphone of this machine."
  paplay --device="${MURMURANT_MIC_SINK:-mic_feed}" "$tmp/near.wav" &
  local near=$!
  xdotool mousemove 1200 1000 sleep 0.2 mousemove 37 55 sleep 0.3 click 1
  sleep 10
  xdotool key F9
  sleep 2
  xdotool mousemove 1200 1000
  sleep 0.5
  /usr/bin/import -window root -crop 510x620+0+0 +repage "$out/main-window-after-recording.png"
  kill "$near" 2>/dev/null || true
  # The row's menu (right click) unfolds the preview panel; play two seconds.
  xdotool mousemove 40 136 sleep 0.2 click 3 sleep 0.6 key Down sleep 0.2 key Return
  sleep 1.5
  xdotool mousemove 664 299 sleep 0.2 click 1 sleep 2.5 mousemove 1200 1000 sleep 0.3
  /usr/bin/import -window root -crop 838x620+0+0 +repage "$out/main-window-preview.png"
  local avi
  avi=$(ls -t "$HOME"/PlovanderOutput/*.avi | head -n 1)
  cp "$avi" "$out/"
  echo "recording: $avi"
  ffprobe -v error -show_entries format=duration:stream=codec_name,codec_tag_string,width,height,r_frame_rate,sample_rate,channels \
    -of default=noprint_wrappers=1 "$avi"
  echo "copied to: $out/$(basename "$avi")"
  echo "screenshot: $out/main-window-after-recording.png"
  echo "screenshot: $out/main-window-preview.png"
  kill "$recorder"
  wait "$recorder" 2>/dev/null || true
  kill "$client" 2>/dev/null || true
  rm -rf "$tmp"
}
export -f demo
export build out
"$root/tests/harness/with-services.sh" bash -c demo
