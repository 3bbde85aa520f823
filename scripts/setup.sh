#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build, run and test Pellarin.
# Safe to run again: it installs only missing packages.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang-format
  libx11-dev libxfixes-dev libxrandr-dev libgl-dev libglu1-mesa-dev libgl1-mesa-dri mesa-utils
  libturbojpeg0-dev libgtk-3-dev fonts-ipafont-gothic
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-ugly gstreamer1.0-tools
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth x11-utils xdotool imagemagick procps
  libpng-dev
  libxtst-dev
  xscreensaver libxml2-utils
  openbox
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine wine64
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
