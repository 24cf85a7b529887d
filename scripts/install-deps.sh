#!/usr/bin/env bash
# Installs the Debian 12 packages Tolvek needs to build, run and test, but only those missing.
set -euo pipefail
packages=(
  build-essential cmake pkg-config git
  qt6-base-dev qt6-base-dev-tools qt6-serialport-dev libgl-dev
  libopencv-core-dev libopencv-imgproc-dev libopencv-videoio-dev libopencv-imgcodecs-dev
  libtag1-dev ffmpeg
  libavformat-dev libavcodec-dev libswscale-dev libavutil-dev
  libgtest-dev
  clang libclang-rt-14-dev
  fonts-noto-cjk
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y --no-install-recommends "${missing[@]}"
