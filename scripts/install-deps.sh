#!/usr/bin/env bash
# Installs the Debian 12 packages Tolvek needs, but only those missing.
#   install-deps.sh        build and run the program (make build, make run, make demo)
#   install-deps.sh test   the same plus what the tests need (make test)
#   install-deps.sh fuzz   the same plus clang for the libFuzzer targets (make fuzz)
#   install-deps.sh package  the build plus what CPack needs for the .deb (make package)
#   install-deps.sh screenshots  the build plus Xvfb and the tools that drive it (make screenshots)
# When the packages cannot be installed (no network, no sudo), it stops with one line that names
# them, so that the caller never goes on into a CMake error about a missing file.
set -euo pipefail
group=${1:-run}

# Compiler, build tools and the development files of every library the program links. OpenCV's
# module packages carry the headers and libraries the build locates itself (no OpenCVConfig.cmake,
# whose libopencv-dev would add some 85 packages, VTK among them).
packages=(
  g++ make cmake pkg-config
  qt6-base-dev qt6-serialport-dev libgl-dev
  libopencv-core-dev libopencv-imgproc-dev libopencv-videoio-dev
  libtag1-dev
  libavformat-dev libavcodec-dev libswscale-dev libavutil-dev
  ffmpeg
  # A font for every script of the interface's 13 languages: Latin and Cyrillic (DejaVu),
  # Japanese, Chinese and Korean (Noto CJK), Devanagari and Arabic (Noto UI).
  fonts-dejavu-core fonts-noto-cjk fonts-noto-ui-core
)
case "$group" in
  run) ;;
  # pdftotext (poppler-utils) reads the text of the PDF reports the tests write.
  test) packages+=(libgtest-dev git clang-format poppler-utils) ;;
  fuzz) packages+=(libgtest-dev git clang-format clang libclang-rt-14-dev) ;;
  # dpkg-shlibdeps (dpkg-dev) derives the package's library dependencies; CPack looks for file.
  package) packages+=(dpkg-dev file) ;;
  # A private X display, a window manager, and the tools that drive and grab it (make screenshots).
  screenshots) packages+=(xvfb openbox xdotool x11-utils imagemagick) ;;
  *) echo "install-deps.sh: unknown group '$group' (run, test, fuzz, package or screenshots)" >&2; exit 2 ;;
esac

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

fail() {
  echo "Tolvek cannot install the Debian packages it needs ($1); have an administrator run" \
       "'apt-get install ${missing[*]}', then run make again." >&2
  exit 1
}
sudo=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || fail "not root and no sudo"
  sudo=(sudo)
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if ! "${sudo[@]}" apt-get update -qq >"$log" 2>&1; then
  cat "$log" >&2
  fail "apt-get update failed: no permission, or no access to the package archive"
fi
# A dry run first: without the archive (no network) apt knows none of them, and the user gets the
# one line of fail() instead of a page of apt errors.
if ! apt-get install -s -qq --no-install-recommends "${missing[@]}" >"$log" 2>&1; then
  fail "the package archive cannot be reached or does not have them"
fi
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" || fail "apt-get install failed"
still=()
for p in "${missing[@]}"; do installed "$p" || still+=("$p"); done
[ ${#still[@]} -eq 0 ] || { missing=("${still[@]}"); fail "not installed after apt-get"; }
echo "Installed ${#missing[@]} packages."
