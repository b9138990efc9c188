#!/usr/bin/env bash
# Runs a command with a private X server (Xvfb) and a private sound server,
# both started here and stopped when the command ends, whatever happens to it.
# Everything lives in one temporary folder that doubles as HOME, so the tests
# never touch the user's own session, settings or sound server.
#
#   tests/harness/with-services.sh COMMAND [ARGS...]
#
# MURMURANT_SOUND_SERVER picks the sound server: "pulseaudio" (the default)
# or "pipewire" (PipeWire with its PulseAudio layer and WirePlumber, on a
# private D-Bus session bus, as most desktops now run it). Both serve the
# same devices to the tests.
#
# The command sees DISPLAY, PULSE_SERVER, HOME, XDG_* set to the private ones and
# MURMURANT_MIC_SINK naming the sink whose monitor is the private microphone:
# play into that sink to speak into the microphone. MURMURANT_WM_DISPLAY names
# a second private X server on which a window manager (openbox) runs.
set -uo pipefail

work=$(mktemp -d /tmp/murmurant-services.XXXXXX)
xvfb_pid=""
wm_xvfb_pid=""
wm_pid=""
pulse_pid=""
sound_pids=()
keeper_pids=()
sound_server=${MURMURANT_SOUND_SERVER:-pulseaudio}

cleanup() {
  for pid in "${keeper_pids[@]}"; do kill "$pid" 2>/dev/null; done
  [ -n "$pulse_pid" ] && kill "$pulse_pid" 2>/dev/null
  # The PipeWire services, the session bus last.
  for (( i=${#sound_pids[@]}-1; i>=0; i-- )); do kill "${sound_pids[$i]}" 2>/dev/null; done
  [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null
  [ -n "$wm_xvfb_pid" ] && kill "$wm_xvfb_pid" 2>/dev/null
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

# --- X servers ------------------------------------------------------------
# Each server picks a free display number itself and reports it when it is
# ready: harnesses started at the same moment, picking numbers by looking for
# free lock files, would otherwise end up sharing one server.
# -noreset: between tests every client leaves; a reset then would race the
# next program's connection.
# start_xvfb NAME: starts a server, logs into $work/NAME.log, sets $started_pid
# and $started_display.
start_xvfb() {
  local name=$1
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -ac -noreset \
    3>"$work/$name.display" >"$work/$name.log" 2>&1 &
  started_pid=$!
  for _ in $(seq 1 100); do
    grep -q '[0-9]' "$work/$name.display" 2>/dev/null && break
    kill -0 "$started_pid" 2>/dev/null || break
    sleep 0.1
  done
  started_display=":$(tr -dc '0-9' <"$work/$name.display" 2>/dev/null)"
  if [ "$started_display" = ":" ] || ! kill -0 "$started_pid" 2>/dev/null; then
    echo "harness: Xvfb ($name) did not start" >&2; cat "$work/$name.log" >&2; exit 1
  fi
  if ! DISPLAY=$started_display xdpyinfo >/dev/null 2>&1; then
    echo "harness: Xvfb ($name) does not answer on $started_display" >&2
    cat "$work/$name.log" >&2; exit 1
  fi
}

# The everyday server: no window manager, so windows stay exactly where and
# how the program puts them.
start_xvfb xvfb
xvfb_pid=$started_pid
export DISPLAY=$started_display

# A second server with a real window manager, for the tests whose subject is
# what a window manager does: stacking, minimising, close requests. It is kept
# apart so the many tests that place windows and click at fixed points never
# meet decorations, focus rules or placement policies.
start_xvfb xvfb-wm
wm_xvfb_pid=$started_pid
export MURMURANT_WM_DISPLAY=$started_display
openbox_config="$work/openbox"
mkdir -p "$openbox_config"
DISPLAY=$MURMURANT_WM_DISPLAY XDG_CONFIG_HOME="$openbox_config" \
  openbox --sm-disable >"$work/openbox.log" 2>&1 &
wm_pid=$!
# The manager is ready once it has announced itself on the root window.
for _ in $(seq 1 100); do
  DISPLAY=$MURMURANT_WM_DISPLAY xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null \
    | grep -q 'window id' && break
  kill -0 "$wm_pid" 2>/dev/null || break
  sleep 0.1
done
if ! DISPLAY=$MURMURANT_WM_DISPLAY xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null \
    | grep -q 'window id'; then
  echo "harness: the window manager did not start on $MURMURANT_WM_DISPLAY" >&2
  cat "$work/openbox.log" >&2; exit 1
fi

# --- Sound server -------------------------------------------------------------
# A null sink stands for the speakers; another null sink's monitor, remapped as
# a source described "Microphone", is the microphone the tests speak into.
export PULSE_RUNTIME_PATH="$XDG_RUNTIME_DIR/pulse"
export PULSE_STATE_PATH="$work/pulse-state"
mkdir -p "$PULSE_RUNTIME_PATH" "$PULSE_STATE_PATH"
export PULSE_SERVER="unix:$PULSE_RUNTIME_PATH/native"
export MURMURANT_MIC_SINK=mic_feed
devices=(
  "module-null-sink sink_name=speakers sink_properties=device.description=Speakers"
  "module-null-sink sink_name=mic_feed sink_properties=device.description=Microphone-feed"
  "module-remap-source source_name=microphone master=mic_feed.monitor source_properties=device.description=Microphone"
)

wait_for_pulse_layer() {
  for _ in $(seq 1 100); do
    pactl info >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "harness: the sound server ($sound_server) did not start" >&2
  cat "$work"/*.out "$work"/pulse.log 2>/dev/null >&2
  exit 1
}

case "$sound_server" in
pulseaudio)
  {
    echo "load-module module-native-protocol-unix"
    for d in "${devices[@]}"; do echo "load-module $d"; done
    echo "set-default-sink speakers"
    echo "set-default-source microphone"
  } >"$work/default.pa"
  pulseaudio -n -F "$work/default.pa" --daemonize=no --exit-idle-time=-1 \
    --use-pid-file=no --disable-shm=no --log-target=file:"$work/pulse.log" \
    >"$work/pulse.out" 2>&1 &
  pulse_pid=$!
  wait_for_pulse_layer
  ;;
pipewire)
  # The session manager keeps its state on a session bus; without one it
  # cannot set a default device.
  export XDG_STATE_HOME="$HOME/.local/state"
  dbus-daemon --session --nofork --nopidfile --address="unix:path=$work/bus" \
    >"$work/dbus.out" 2>&1 &
  sound_pids+=($!)
  export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/bus"
  for _ in $(seq 1 50); do [ -S "$work/bus" ] && break; sleep 0.1; done
  pipewire >"$work/pipewire.out" 2>&1 &
  sound_pids+=($!)
  for _ in $(seq 1 50); do [ -S "$XDG_RUNTIME_DIR/pipewire-0" ] && break; sleep 0.1; done
  wireplumber >"$work/wireplumber.out" 2>&1 &
  sound_pids+=($!)
  pipewire-pulse >"$work/pipewire-pulse.out" 2>&1 &
  sound_pids+=($!)
  wait_for_pulse_layer
  for d in "${devices[@]}"; do
    # shellcheck disable=SC2086 # the module's arguments are words
    pactl load-module $d >/dev/null
  done
  # The defaults stick once the session manager has seen the new devices.
  for _ in $(seq 1 50); do
    pactl set-default-sink speakers 2>/dev/null && pactl set-default-source microphone 2>/dev/null
    info=$(pactl info 2>/dev/null)
    grep -q 'Default Sink: speakers$' <<<"$info" && grep -q 'Default Source: microphone$' <<<"$info" && break
    sleep 0.1
  done
  if ! pactl info | grep -q 'Default Sink: speakers$'; then
    echo "harness: PipeWire did not take the speakers as its default" >&2
    cat "$work/wireplumber.out" >&2; exit 1
  fi
  ;;
*)
  echo "harness: unknown MURMURANT_SOUND_SERVER \"$sound_server\" (pulseaudio or pipewire)" >&2
  exit 2
  ;;
esac
export MURMURANT_SOUND_SERVER=$sound_server

# Real devices answer as soon as a stream opens; PulseAudio's null sink
# renders in two-second blocks while nobody listens closely. A reader with
# short blocks on each keeps the fake speakers and microphone as prompt as real
# ones for the run, and a restart of each sink makes the short blocks count
# from now. PipeWire runs its null sinks on its own short period.
keeper_pids=()
if [ "$sound_server" = pulseaudio ]; then
  for sink in speakers mic_feed; do
    parec --device=$sink.monitor --latency-msec=20 >/dev/null 2>&1 &
    keeper_pids+=($!)
    for _ in $(seq 1 50); do
      pactl list sinks | grep -A12 "Name: $sink\$" | grep -q 'configured 20000 usec' && break
      sleep 0.1
    done
    pactl suspend-sink $sink 1 && pactl suspend-sink $sink 0
  done
fi

"$@"
