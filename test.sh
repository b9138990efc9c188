#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite under a private
# Xvfb and PulseAudio. Extra arguments go to ctest (e.g. -R Settings).
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
build=${MURMURANT_BUILD_DIR:-$root/build}
"$root/scripts/setup-debian.sh"
"$root/scripts/build.sh"
cd "$build"
exec "$root/tests/harness/with-services.sh" ctest --output-on-failure "$@"
