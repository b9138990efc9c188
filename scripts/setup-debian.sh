#!/usr/bin/env bash
# Installs every Debian package Murmurant needs to build, run, test and regenerate
# its skins. Quiet and quick when everything is already there.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libwxgtk3.2-dev libgtk-3-dev
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libswresample-dev libavfilter-dev
  libsdl1.2-dev
  libpulse-dev pulseaudio pulseaudio-utils
  pipewire pipewire-bin pipewire-pulse wireplumber dbus-daemon
  libx11-dev libxext-dev libxfixes-dev libxtst-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xdotool x11-utils xauth openbox
  fonts-liberation fonts-dejavu-core fonts-urw-base35
  imagemagick ffmpeg sox espeak-ng
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "setup: installing ${missing[*]}"
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
