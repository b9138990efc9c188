#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite under a private
# Xvfb and sound server; then the sound tests (ctest label "sound") again on each
# further sound server. Extra arguments go to ctest (e.g. -R Settings).
# MURMURANT_SOUND_SERVERS lists the servers, the first running everything
# (default: "pulseaudio pipewire").
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
build=${MURMURANT_BUILD_DIR:-$root/build}
"$root/scripts/setup-debian.sh"
"$root/scripts/build.sh"
cd "$build"
status=0
only=()
for server in ${MURMURANT_SOUND_SERVERS:-pulseaudio pipewire}; do
  echo "== tests on $server${only[*]:+ (${only[*]})}"
  MURMURANT_SOUND_SERVER=$server "$root/tests/harness/with-services.sh" \
    ctest --output-on-failure "${only[@]}" "$@" || status=1
  only=(-L sound)
done
exit $status
