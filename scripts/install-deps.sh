#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need, and any named as
# arguments. Idempotent: does nothing when everything is present. Works as root or through sudo.
set -euo pipefail

packages=(
  g++-mingw-w64-x86-64-posix   # the cross compiler (posix threads: GoogleTest needs std::mutex)
  binutils-mingw-w64-x86-64    # windres for the manifest and icon
  g++-mingw-w64-i686-posix     # the same for the 32-bit exe
  binutils-mingw-w64-i686
  cmake make
  wine wine64                  # runs the exe and the tests
  fonts-wine                   # Wine's own fonts; the scripts copy Marlett (caption buttons) into the prefix
  xvfb xauth                   # a display when there is none
  googletest                   # sources, built for Windows by our CMake
  fonts-ipafont-gothic         # IPA P Gothic: the proportional face of the option buttons
  fonts-ipaexfont-gothic       # IPAex Gothic: the fixed face of everything else
  clang lld                    # the second compiler, for the same MinGW-w64 target
  locales                      # the locales whose names give Wine its ANSI code pages
  fakeroot                     # the release zip records root, not the builder, as each file's owner
  osslsigncode openssl         # signing the release's exes (Authenticode), and checking the certificate
  "$@"
)
# The 32-bit Wine runs the 32-bit exe, as WOW64 does on 64-bit Windows; only where the kernel
# runs 32-bit code at all (see runs-32bit.sh): elsewhere it would only make Debian's wine
# launcher fail, and the i386 architecture is not added either.
here=$(dirname "$0")
with32=0
if bash "$here/runs-32bit.sh"; then
  with32=1
  packages+=(wine32:i386)
else
  echo "install-deps: this kernel runs no 32-bit x86 code (or QUELLIN_NO_32BIT=1): no wine32" >&2
fi

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"
  elif command -v sudo >/dev/null; then sudo "$@"
  else echo "install-deps: need root or sudo for: $*" >&2; exit 1
  fi
}

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$with32" = 1 ]; then
    dpkg --print-foreign-architectures | grep -qx i386 || as_root dpkg --add-architecture i386
  fi
  echo "install-deps: installing ${missing[*]}" >&2
  as_root env DEBIAN_FRONTEND=noninteractive apt-get update -q
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# Wine takes a process's ANSI code page from the locale's name (ja_JP.UTF-8 gives 932,
# en_US.UTF-8 1252, hi_IN.UTF-8 UTF-8 itself) even without the glibc locale, but converts
# Unix-side text (command lines, file names) with the glibc one: generate each once.
for name in ja_JP en_US hi_IN; do
  locale -a 2>/dev/null | grep -qi "^$name\.utf-\?8$" && continue
  echo "install-deps: generating the $name.UTF-8 locale" >&2
  as_root sed -i "s/^# *\($name\.UTF-8 UTF-8\)/\1/" /etc/locale.gen
  grep -q "^$name\.UTF-8 UTF-8" /etc/locale.gen || echo "$name.UTF-8 UTF-8" | as_root tee -a /etc/locale.gen >/dev/null
  generate=1
done
if [ -n "${generate:-}" ]; then as_root locale-gen >/dev/null; fi
