#!/usr/bin/env bash
# Installs every Debian package kvx needs to build, test and play a show.
# Packages that are already installed are skipped, so the script is cheap to
# run before every build. Works as root or through sudo.
set -euo pipefail

packages=(
  build-essential cmake pkg-config git clang-format
  libsdl2-dev libgl-dev libglu1-mesa-dev libegl-dev libgl1-mesa-dri libegl-mesa0 libglx-mesa0
  zlib1g-dev libfreetype-dev libpng-dev fonts-dejavu-core
  libcli11-dev libgtest-dev libgmock-dev libbenchmark-dev
  libimgui-dev libtinyobjloader-dev libdeflate-dev
  xvfb xauth
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

echo "setup: installing ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
