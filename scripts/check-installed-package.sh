#!/usr/bin/env bash
# Checks a Tolvek package the way a clinic PC gets it: installed with apt into a Debian 12 root
# that has no build tools, then started. Run it as root inside a brand-new root, for example
#
#   mkdir /tmp/pkg && cp build/tolvek_*.deb /tmp/pkg/
#   TOLVEK_ROOT_IN=/tmp/pkg scripts/fresh-root-test.sh \
#     scripts/check-installed-package.sh /work/in/tolvek_9.4_amd64.deb
#
# (TOLVEK_ROOT_IN is copied to /work/in inside that root). It checks, in this order, and stops at the first
# failure:
#   1. apt-get installs the .deb with its dependencies, and none of them is a compiler, a -dev
#      package or a test tool;
#   2. `tolvek --version` and `--help` print without a display and make no folder;
#   3. desktop-file-validate and appstreamcli validate pass on the installed files, the icon
#      is in the hicolor theme, and the English help pages are where the Help command looks;
#   4. with a data folder chosen in /etc/xdg/Tolvek/system.conf, two logins start the installed
#      program under Xvfb with the simulated camera, both open the window (with its icon) on the
#      one shared folder, and a screenshot is taken.
# OUT (second argument, default /tmp/tolvek-package-check) receives the logs and the screenshot.
set -euo pipefail
[ "$(id -u)" -eq 0 ] || { echo "check-installed-package: run as root" >&2; exit 2; }
[ $# -ge 1 ] || { echo "usage: $0 TOLVEK.deb [OUT]" >&2; exit 2; }
deb=$(realpath "$1")
out=${2:-/tmp/tolvek-package-check}
mkdir -p "$out"
export DEBIAN_FRONTEND=noninteractive
step() { echo "check-installed-package: $*"; }
fail() { echo "check-installed-package: FAILED: $*" >&2; exit 1; }

pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; }
trap cleanup EXIT

# ---- 1. install ---------------------------------------------------------------------------
dpkg-query -W -f='${Package}\n' | sort >"$out/packages-before.txt"
step "installing $(basename "$deb") with apt-get"
apt-get update -qq
apt-get install -y -q "$deb" >"$out/apt-install.log" 2>&1 || { tail -20 "$out/apt-install.log"; fail "apt-get install"; }
dpkg-query -W -f='${Package}\n' | sort >"$out/packages-after.txt"
comm -13 "$out/packages-before.txt" "$out/packages-after.txt" >"$out/packages-added.txt"
step "$(wc -l <"$out/packages-added.txt") packages installed; Depends: $(dpkg-query -W -f='${Depends}' tolvek)"
forbidden=$(grep -E -- '-dev$|^(g\+\+|gcc|cpp|clang|llvm|cmake|libgtest|googletest|clang-format|dpkg-dev)([-0-9.]*)$' \
  "$out/packages-added.txt" || true)
[ -z "$forbidden" ] || fail "build or test packages came with the package: $forbidden"

# ---- 2. options that only print -----------------------------------------------------------
version=$(env -u DISPLAY -u WAYLAND_DISPLAY tolvek --version)
step "tolvek --version: $version"
[[ $version == "Tolvek "[0-9]* ]] || fail "--version printed '$version'"
[[ $version == "Tolvek $(dpkg-query -W -f='${Version}' tolvek)" ]] || fail "--version differs from the package version"
env -u DISPLAY -u WAYLAND_DISPLAY tolvek --help >"$out/help.txt" || fail "--help exited $?"
grep -q -- '--camera <SOURCE>' "$out/help.txt" || fail "--help does not list --camera"
for made in "$HOME/.local/share/Tolvek" "$HOME/.config/Tolvek"; do
  [ ! -e "$made" ] || fail "--help or --version made $made"
done

# ---- 3. desktop files -------------------------------------------------------------------
step "installing the validators and Xvfb (check tools only, after the dependency check)"
apt-get install -y -q --no-install-recommends desktop-file-utils appstream xvfb xdotool x11-utils \
  imagemagick acl >"$out/apt-tools.log" 2>&1 || { tail -20 "$out/apt-tools.log"; fail "installing the check tools"; }
desktop=/usr/share/applications/org.tolvek.Tolvek.desktop
metainfo=/usr/share/metainfo/org.tolvek.Tolvek.metainfo.xml
desktop-file-validate "$desktop" || fail "desktop-file-validate $desktop"
grep -q '^Categories=.*MedicalSoftware' "$desktop" || fail "no medical category in $desktop"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate $metainfo"
step "desktop-file-validate and appstreamcli validate passed"
for icon in 16x16 32x32 48x48 64x64 128x128 256x256; do
  [ -s "/usr/share/icons/hicolor/$icon/apps/org.tolvek.Tolvek.png" ] || fail "no $icon icon"
done
[ -s /usr/share/icons/hicolor/scalable/apps/org.tolvek.Tolvek.svg ] || fail "no scalable icon"
# The Help command opens <prefix>/share/tolvek/help/<language>/tolvek.html beside <prefix>/bin/tolvek.
[ -s /usr/share/tolvek/help/en/tolvek.html ] || fail "no help pages in /usr/share/tolvek/help/en"

# ---- 4. two logins, one shared data folder, the real program under Xvfb -------------------
step "shared data folder /srv/tolvek for the logins anna and ben"
groupadd tolvek
for user in anna ben; do useradd -m -G tolvek,video "$user"; done
install -d -m 2770 -g tolvek /srv/tolvek
setfacl -m g:tolvek:rwX /srv/tolvek
setfacl -d -m g:tolvek:rwX /srv/tolvek
mkdir -p /etc/xdg/Tolvek
echo 'DataFolder = /srv/tolvek' >/etc/xdg/Tolvek/system.conf

# Xvfb picks a free display itself: the X socket's abstract name is shared with the host.
exec 3>"$out/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -ac -nolisten tcp >"$out/xvfb.log" 2>&1 &
pids+=($!)
exec 3>&-
for _ in $(seq 50); do [ -s "$out/display" ] && break; sleep 0.2; done
[ -s "$out/display" ] || fail "Xvfb did not start"
export DISPLAY=:$(cat "$out/display")
# The main window's title begins with the version the package carries.
title="^Tolvek Version $(dpkg-query -W -f='${Version}' tolvek) / "

start_as() {
  local user=$1 runtime=/tmp/runtime-$1
  install -d -m 700 -o "$user" "$runtime"
  runuser -u "$user" -- env -i HOME="/home/$user" USER="$user" PATH=/usr/bin:/bin LANG=C.UTF-8 \
    DISPLAY="$DISPLAY" XDG_RUNTIME_DIR="$runtime" sh -c 'echo $$ >"$0"; exec tolvek --camera sim' \
    "$runtime/pid" >"$out/tolvek-$user.log" 2>&1 &
  for _ in $(seq 50); do [ -s "$runtime/pid" ] && break; sleep 0.2; done
  pids+=("$(cat "$runtime/pid")")
}
windows() { xdotool search --name "$title" 2>/dev/null | wc -l; }
wait_windows() {
  for _ in $(seq 120); do [ "$(windows)" -ge "$1" ] && return 0; sleep 0.5; done
  return 1
}

start_as anna
wait_windows 1 || { cat "$out/tolvek-anna.log"; fail "anna's window did not open"; }
step "anna's window is open"
sleep 4 # a few frames of the simulated camera
import -window root "$out/tolvek-installed.png"
window=$(xdotool search --name "$title" | head -1)
# Read whole before grep: grep -q would leave xprop writing into a closed pipe, and pipefail
# would count that as a failure.
xprop -id "$window" _NET_WM_ICON >"$out/window-icon.txt"
grep -q 'Icon (' "$out/window-icon.txt" || fail "the window has no icon"
step "the window's icon: $(grep -o 'Icon ([0-9]* x [0-9]*)' "$out/window-icon.txt" | sort -u | tr '\n' ' ')"
config=/srv/tolvek/Tolvek_config.ini
[ -f "$config" ] || fail "no $config: the system-wide data folder was not used"
[ -d /srv/tolvek/gazou ] || fail "no save folder in /srv/tolvek"
[ ! -e /home/anna/.local/share/Tolvek ] || fail "a per-user data folder was made for anna"
[ "$(stat -c %G "$config")" = tolvek ] || fail "$config is not in the group tolvek"

start_as ben
wait_windows 2 || { cat "$out/tolvek-ben.log"; fail "ben's window did not open"; }
runuser -u ben -- test -w "$config" || fail "ben cannot write $config"
runuser -u ben -- test -w /srv/tolvek/gazou || fail "ben cannot write the save folder"
[ ! -e /home/ben/.local/share/Tolvek ] || fail "a per-user data folder was made for ben"
ls -la /srv/tolvek >"$out/shared-folder.txt"
step "ben's window is open on the same folder; screenshot in $out/tolvek-installed.png"
step "all checks passed"
