#!/usr/bin/env bash
# Installs the Debian packages velmo 08 builds, runs and tests with. Does nothing when all are present.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libsdl2-dev libepoxy-dev libgl-dev libegl-dev libgl1-mesa-dri libegl-mesa0 libglu1-mesa-dev
  libmpg123-dev libmp3lame-dev libfftw3-dev
  libfreetype-dev libfontconfig-dev fonts-dejavu-core
  libstb-dev libassimp-dev glslang-tools
  python3-fonttools fonts-league-spartan fonts-dancingscript
  libgtest-dev libgmock-dev libbenchmark-dev
  libx11-dev xvfb xdotool x11-apps imagemagick sox openbox
  xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
