#!/usr/bin/env bash
# Records a short call with the demo, plays it in the main window's preview
# panel and saves that screenshot into docs/screenshots/main-window-preview.png.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
MURMURANT_DEMO_OUT=$tmp "$root/scripts/demo-record-call.sh"
cp "$tmp/main-window-preview.png" "$root/docs/screenshots/main-window-preview.png"
echo "saved $root/docs/screenshots/main-window-preview.png"
