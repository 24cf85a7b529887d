#!/usr/bin/env bash
# Runs the README's test command (or the command given) on a clean clone of the committed work
# inside a brand-new minimal Debian 12 root, the way a new machine would: only what a minimal
# Debian has, plus git and make. A package that the project's set-up forgets to install fails
# here, not on a clinic's PC. CI runs this; by hand, as root, from the project folder:
#
#   scripts/fresh-root-test.sh                # make test
#   scripts/fresh-root-test.sh make build     # any other command, run in the clone
#   TOLVEK_ROOT_IN=/tmp/pkg scripts/fresh-root-test.sh \
#     scripts/check-installed-package.sh /work/in/tolvek_9.4_amd64.deb   # a package, in a root
#                                               # without build tools; /tmp/pkg holds the .deb
#
# The minimal root is made once with mmdebstrap and kept in $TOLVEK_ROOT_CACHE
# (/var/cache/tolvek-fresh-root), with the package files apt downloads inside it, so a later run
# installs the same packages anew without downloading them again. Every run unpacks a new root
# into a temporary folder, removed afterwards; its mounts live in a private mount namespace.
set -euo pipefail
[ "$(id -u)" -eq 0 ] || { echo "fresh-root-test: run as root (it makes a chroot)" >&2; exit 2; }
# CI may hand root a clone that another account owns; git (and the upload-pack the clone starts)
# would refuse it as "dubious". safe.directory counts only in the global or system config.
gitconfig=$(mktemp)
printf '[include]\n\tpath = %s/.gitconfig\n[safe]\n\tdirectory = *\n' "$HOME" >"$gitconfig"
export GIT_CONFIG_GLOBAL=$gitconfig
root=""
trap 'rm -f "$gitconfig"; [ -z "$root" ] || rm -rf --one-file-system "$root"' EXIT
project=$(git -C "$(dirname "$0")/.." rev-parse --show-toplevel)
cache=${TOLVEK_ROOT_CACHE:-/var/cache/tolvek-fresh-root}
tarball=$cache/bookworm-minbase.tar
command=${*:-make test}
started=$(date +%s)
elapsed() { echo "$(( $(date +%s) - started )) s"; }

mkdir -p "$cache/apt-archives/partial"
if [ ! -s "$tarball" ]; then
  if ! command -v mmdebstrap >/dev/null; then
    echo "fresh-root-test: installing mmdebstrap"
    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq mmdebstrap >/dev/null
  fi
  mirror=$(awk '/^URIs:/{print $2; exit}' /etc/apt/sources.list.d/debian.sources 2>/dev/null || true)
  echo "fresh-root-test: making the minimal Debian 12 root (once, kept in $cache)"
  # mmdebstrap picks its output format from the name's ending.
  mmdebstrap --quiet --variant=minbase --include=ca-certificates,git,make \
    bookworm "$cache/partial.tar" ${mirror:+"$mirror"}
  mv "$cache/partial.tar" "$tarball"
fi

root=$(mktemp -d /var/tmp/tolvek-fresh-root.XXXXXX)
tar -xf "$tarball" -C "$root"
mkdir -p "$root/work"
git clone -q --no-local "$project" "$root/work/project"
# TOLVEK_ROOT_IN=DIR: files the command needs that are not committed (a built package, say).
[ -z "${TOLVEK_ROOT_IN:-}" ] || cp -a "$TOLVEK_ROOT_IN" "$root/work/in"
cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true
# The root is thrown away after the run, so dpkg need not sync every file it unpacks: that sync
# made the installation of some 400 packages take many minutes. What is installed is unchanged.
echo force-unsafe-io > "$root/etc/dpkg/dpkg.cfg.d/tolvek-throwaway-root"
echo "fresh-root-test: '$command' in a new Debian 12 root at $(git -C "$project" rev-parse --short HEAD)" \
     "(root ready after $(elapsed))"

set +e
unshare --mount --propagation private bash -c '
  set -e
  root=$1; archives=$2; command=$3
  mount -t proc proc "$root/proc"
  mount --rbind /sys "$root/sys"
  mount --rbind /dev "$root/dev"
  mount -t tmpfs tmpfs "$root/tmp"
  mount --bind "$archives" "$root/var/cache/apt/archives"
  exec chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 CI=true TERM=dumb \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    bash -c "cd /work/project && $command"
' fresh-root "$root" "$cache/apt-archives" "$command"
rc=$?
set -e
echo "fresh-root-test: '$command' exited $rc after $(elapsed) in all"
exit $rc
