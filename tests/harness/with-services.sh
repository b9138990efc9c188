#!/usr/bin/env bash
# Runs a command with a private X server (Xvfb) and a private PulseAudio daemon,
# both started here and stopped when the command ends, whatever happens to it.
# Everything lives in one temporary folder that doubles as HOME, so the tests
# never touch the user's own session, settings or sound server.
#
#   tests/harness/with-services.sh COMMAND [ARGS...]
#
# The command sees DISPLAY, PULSE_SERVER, HOME, XDG_* set to the private ones and
# MURMURANT_MIC_SINK naming the sink whose monitor is the private microphone:
# play into that sink to speak into the microphone.
set -uo pipefail

work=$(mktemp -d /tmp/murmurant-services.XXXXXX)
xvfb_pid=""
pulse_pid=""
keeper_pid=""

cleanup() {
  [ -n "$keeper_pid" ] && kill "$keeper_pid" 2>/dev/null
  [ -n "$pulse_pid" ] && kill "$pulse_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

export HOME="$work/home"
export XDG_RUNTIME_DIR="$work/run"
export XDG_CONFIG_HOME="$HOME/.config"
export XDG_DATA_HOME="$HOME/.local/share"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME"
chmod 700 "$XDG_RUNTIME_DIR"

# --- X server -------------------------------------------------------------
# The server picks a free display number itself and reports it when it is
# ready: harnesses started at the same moment, picking numbers by looking for
# free lock files, would otherwise end up sharing one server.
# -noreset: between tests every client leaves; a reset then would race the
# next program's connection.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -ac -noreset \
  3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 1 100); do
  grep -q '[0-9]' "$work/display" 2>/dev/null && break
  kill -0 "$xvfb_pid" 2>/dev/null || break
  sleep 0.1
done
display=$(tr -dc '0-9' <"$work/display" 2>/dev/null)
if [ -z "$display" ] || ! kill -0 "$xvfb_pid" 2>/dev/null; then
  echo "harness: Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1
fi
export DISPLAY=":$display"
if ! xdpyinfo >/dev/null 2>&1; then
  echo "harness: Xvfb does not answer on $DISPLAY" >&2; cat "$work/xvfb.log" >&2; exit 1
fi

# --- PulseAudio -------------------------------------------------------------
# A null sink stands for the speakers; another null sink's monitor, remapped as
# a source described "Microphone", is the microphone the tests speak into.
export PULSE_RUNTIME_PATH="$XDG_RUNTIME_DIR/pulse"
export PULSE_STATE_PATH="$work/pulse-state"
mkdir -p "$PULSE_RUNTIME_PATH" "$PULSE_STATE_PATH"
cat >"$work/default.pa" <<'PA'
load-module module-native-protocol-unix
load-module module-null-sink sink_name=speakers sink_properties=device.description=Speakers
load-module module-null-sink sink_name=mic_feed sink_properties=device.description=Microphone-feed
load-module module-remap-source source_name=microphone master=mic_feed.monitor source_properties=device.description=Microphone
set-default-sink speakers
set-default-source microphone
PA
pulseaudio -n -F "$work/default.pa" --daemonize=no --exit-idle-time=-1 \
  --use-pid-file=no --disable-shm=no --log-target=file:"$work/pulse.log" \
  >"$work/pulse.out" 2>&1 &
pulse_pid=$!
export PULSE_SERVER="unix:$PULSE_RUNTIME_PATH/native"
export MURMURANT_MIC_SINK=mic_feed
for _ in $(seq 1 100); do
  pactl info >/dev/null 2>&1 && break
  sleep 0.1
done
if ! pactl info >/dev/null 2>&1; then
  echo "harness: PulseAudio did not start" >&2; cat "$work/pulse.out" "$work/pulse.log" >&2; exit 1
fi
# A real microphone delivers as soon as it is opened; the null sink behind
# this one renders in two-second blocks while nobody listens closely, so a
# reader with short blocks keeps it as prompt as a real device for the run.
# Once it listens, the sink is restarted so the short blocks count from now.
parec --device=mic_feed.monitor --latency-msec=20 >/dev/null 2>&1 &
keeper_pid=$!
for _ in $(seq 1 50); do
  pactl list sinks | grep -A12 'Name: mic_feed' | grep -q 'configured 20000 usec' && break
  sleep 0.1
done
pactl suspend-sink mic_feed 1 && pactl suspend-sink mic_feed 0

"$@"
