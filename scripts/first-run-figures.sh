#!/usr/bin/env bash
# What the first run of the README's two commands installs on a minimal Debian 12 with git, on a
# kernel that runs 32-bit code and on one that does not: the packages, their download and the
# disk they take, as apt reckons them in a throw-away Debian 12 made by debootstrap; then how long
# install-deps.sh takes there, RUNS times (3) for each path, each in a fresh copy. The path with
# 32-bit support is timed only where this kernel runs 32-bit code. Nothing is installed into this
# machine but debootstrap itself. Needs root and Debian's mirror.
#   sudo bash scripts/first-run-figures.sh [RUNS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
runs=${1:-3}
work=$(mktemp -d)
debian=$work/debian
trap 'umount "$work"/*/proc 2>/dev/null || true; rm -rf "$work"' EXIT
command -v debootstrap >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y -q debootstrap >/dev/null
echo "first-run-figures: making a minimal Debian 12 in $debian (a few minutes)" >&2
debootstrap --variant=minbase bookworm "$debian" http://deb.debian.org/debian >/dev/null
cat >"$debian/etc/apt/sources.list" <<'LIST'
deb http://deb.debian.org/debian bookworm main
deb http://deb.debian.org/debian bookworm-updates main
deb http://deb.debian.org/debian-security bookworm-security main
LIST
# apt inside it, as root there: no _apt user to hand the downloads to.
echo 'APT::Sandbox::User "root";' >"$debian/etc/apt/apt.conf.d/99root"
apt() { chroot "$debian" env DEBIAN_FRONTEND=noninteractive apt-get "$@"; }
apt update -qq
apt install -y -qq --no-install-recommends git >/dev/null
cp -a "$debian" "$work/fresh"  # with git, before any count changes it
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

# install-deps.sh itself, from a clone of this checkout, in a fresh copy each time.
timed() {  # QUELLIN_NO_32BIT's value
  local copy=$work/run
  rm -rf "$copy" && cp -a "$work/fresh" "$copy" && mount -t proc proc "$copy/proc"
  git clone -q "$here/.." "$copy/root/quellin"
  local start=$SECONDS
  chroot "$copy" env QUELLIN_NO_32BIT="$1" bash -c 'cd /root/quellin && bash scripts/install-deps.sh' >"$work/log" 2>&1 ||
    { tail -n 20 "$work/log" >&2; exit 1; }
  echo -n " $((SECONDS - start)) s"
  umount "$copy/proc"
}
paths=(1)
bash "$here/runs-32bit.sh" && paths+=(0)
for no32 in "${paths[@]}"; do
  echo -n "install-deps.sh $([ "$no32" = 1 ] && echo without || echo with) 32-bit support, $runs runs:"
  for _ in $(seq "$runs"); do timed "$no32"; done
  echo
done
