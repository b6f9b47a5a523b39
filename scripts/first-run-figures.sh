#!/usr/bin/env bash
# What the first run of the README's two commands installs on a minimal Debian 12 with git, on a
# kernel that runs 32-bit code and on one that does not: the packages, their download and the
# disk they take, as apt reckons them in a throw-away Debian 12 made by debootstrap. Nothing is
# installed into this machine but debootstrap itself. Needs root and Debian's mirror.
#   sudo bash scripts/first-run-figures.sh
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
debian=$(mktemp -d)
trap 'rm -rf "$debian"' EXIT
command -v debootstrap >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y -q debootstrap >/dev/null
echo "first-run-figures: making a minimal Debian 12 in $debian (a few minutes)" >&2
debootstrap --variant=minbase bookworm "$debian" http://deb.debian.org/debian >/dev/null
cat >"$debian/etc/apt/sources.list" <<'LIST'
deb http://deb.debian.org/debian bookworm main
deb http://deb.debian.org/debian bookworm-updates main
deb http://deb.debian.org/debian-security bookworm-security main
LIST
# apt inside it, as root there: no _apt user to hand the downloads to.
apt() { chroot "$debian" env DEBIAN_FRONTEND=noninteractive apt-get -o APT::Sandbox::User=root "$@"; }
apt update -qq
apt install -y -qq --no-install-recommends git >/dev/null
# The packages install-deps.sh names, as it names them.
packages=$(sed -n '/^packages=(/,/^)/p' "$here/install-deps.sh" | sed 's/#.*//; /packages=(/d; /^)/d; /"\$@"/d' | xargs)
count() {
  apt install --print-uris -qq --no-install-recommends "$@" | awk '{ n++; s += $3 } END { printf "%d packages, %.0f MB to download", n, s / 1e6 }'
  apt install --assume-no --no-install-recommends "$@" | sed -n 's/^After this operation, \(.*\) of additional disk space.*/, \1 on disk/p'
}
echo "without 32-bit support: $(count $packages)"
chroot "$debian" dpkg --add-architecture i386
apt update -qq
echo "with 32-bit support: $(count $packages wine32:i386)"
