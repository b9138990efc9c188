#!/usr/bin/env bash
# Installs what is missing, builds, and starts Murmurant on the current $DISPLAY.
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
"$root/scripts/setup-debian.sh"
"$root/scripts/build.sh"
exec "${MURMURANT_BUILD_DIR:-$root/build}/bin/murmurant" "$@"
