# Sourced by the scripts that build or run the program: the Wine settings it is built for.

export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=" # a new prefix must not offer to download runtimes

QUELLIN_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
QUELLIN_BUILD=${QUELLIN_BUILD:-$QUELLIN_ROOT/build}

# Which Wine loader runs everything. Debian's `wine` launcher (and wineboot, winepath, regedit
# through it) starts the 32-bit loader whenever wine32 is installed, and a kernel without 32-bit
# support refuses that with exit 126. There, and whenever QUELLIN_NO_32BIT=1 asks for it, Wine's
# 64-bit loader is called directly, for our own commands and for the processes Wine starts
# (WINELOADER); the 32-bit exe then cannot run, and the tests that start it are skipped.
if bash "$QUELLIN_ROOT/scripts/runs-32bit.sh"; then
  QUELLIN_32BIT=1
  QUELLIN_WINE=$(type -P wine || echo wine)
  QUELLIN_NO_32BIT_WHY=""
else
  QUELLIN_32BIT=0
  QUELLIN_WINE=/usr/lib/wine/wine64
  export WINELOADER=$QUELLIN_WINE
  [ -x "$QUELLIN_WINE" ] || echo "wine-env: no 64-bit Wine loader at $QUELLIN_WINE (Debian's wine64 package)" >&2
  if [ "${QUELLIN_NO_32BIT:-0}" = 1 ]; then
    QUELLIN_NO_32BIT_WHY="QUELLIN_NO_32BIT=1 asks to run as on a kernel without 32-bit support"
  else
    QUELLIN_NO_32BIT_WHY="this machine's kernel runs no 32-bit x86 code"
  fi
fi
wine() { "$QUELLIN_WINE" "$@"; }
wineboot() { "$QUELLIN_WINE" wineboot.exe "$@"; }
winepath() { "$QUELLIN_WINE" winepath.exe "$@"; }

# Runs a command under Wine's Japanese setting: Wine takes its ANSI code page from the
# locale's name, 932 (Shift-JIS) from this one. Only Wine gets it; the build speaks the
# user's own language. (CTest gives each test its locale itself.)
quellin_wine() { LC_ALL=ja_JP.UTF-8 "$@"; }

# The same, with its output kept out of sight unless it fails: then the command, its exit status
# and what it printed (Wine's own message) are shown, and the status is returned.
# Its log lives in the private prefix's scratch folder when there is one, so a run stopped
# midway leaves nothing behind in /tmp.
quellin_quiet() {
  local log status=0
  log=$(mktemp -p "${QUELLIN_SCRATCH:-${TMPDIR:-/tmp}}")
  quellin_wine "$@" </dev/null >"$log" 2>&1 || status=$?
  if [ "$status" -ne 0 ]; then
    echo "wine-env: \`$*\` failed with exit status $status (Wine: $QUELLIN_WINE). It printed:" >&2
    tail -n 40 "$log" | sed 's/^/  /' >&2
    [ "$status" -ne 126 ] || echo "wine-env: exit 126: the kernel refused to run the loader (see scripts/runs-32bit.sh)" >&2
  fi
  rm -f "$log"
  return "$status"
}

# Configures and builds the exe, its 32-bit sibling, the same exe built by clang, and the tests.
# A warning from either compiler fails the build.
quellin_build() {
  cmake -S "$QUELLIN_ROOT" -B "$QUELLIN_BUILD" -DCMAKE_COMPILE_WARNING_AS_ERROR=ON \
    -DCMAKE_TOOLCHAIN_FILE="$QUELLIN_ROOT/cmake/mingw-w64-x86_64.cmake" \
    -DQUELLIN_X86_TOOLCHAIN="$QUELLIN_ROOT/cmake/mingw-w64-i686.cmake" \
    -DQUELLIN_CLANG_TOOLCHAIN="$QUELLIN_ROOT/cmake/clang-mingw-w64-x86_64.cmake" \
    -DWINE_EXECUTABLE="$QUELLIN_WINE" -DQUELLIN_RUN_32BIT="$QUELLIN_32BIT" >/dev/null
  cmake --build "$QUELLIN_BUILD" -j "$(nproc)"
}

# Creates the prefix named by WINEPREFIX when it is new, and maps the dialog's Japanese font
# names to IPA's Gothic fonts, so captions show Japanese glyphs, never boxes. The fixed face
# maps to IPAex Gothic: IPA Gothic rounds a full-width advance at odd pixel sizes up by one
# pixel (14 at 13), and six of them no longer fit a label. The mapping travels as a UTF-16
# .reg file: a command line would mangle the names.
quellin_prepare_prefix() {
  [ -f "$WINEPREFIX/system.reg" ] || quellin_quiet wineboot -i
  # Wine draws the caption buttons with Marlett, which it looks for in the prefix only.
  local fonts="$WINEPREFIX/drive_c/windows/Fonts"
  [ -f "$fonts/marlett.ttf" ] || cp /usr/share/wine/fonts/marlett.ttf "$fonts/"
  local reg
  reg=$(mktemp -p "${QUELLIN_SCRATCH:-${TMPDIR:-/tmp}}" --suffix=.reg)
  {
    printf '\xff\xfe'
    iconv -f UTF-8 -t UTF-16LE <<'REG'
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"ＭＳ ゴシック"="IPAexGothic"
"ＭＳ Ｐゴシック"="IPAPGothic"
"MS Gothic"="IPAexGothic"
"MS PGothic"="IPAPGothic"
"MS UI Gothic"="IPAPGothic"
REG
  } >"$reg"
  local path
  path=$(winepath -w "$reg") || { echo "wine-env: winepath failed for $reg" >&2; return 1; }
  quellin_quiet wine regedit /S "$path"
  rm -f "$reg"
}

# A throw-away prefix under QUELLIN_SCRATCH, on a private Xvfb when there is no display; the
# prefix, its wineserver and the Xvfb go when the script exits.
quellin_private_prefix() {
  QUELLIN_SCRATCH=$(mktemp -d)
  QUELLIN_XVFB_PID=""
  trap quellin_cleanup EXIT
  trap 'exit 130' INT TERM
  export WINEPREFIX="$QUELLIN_SCRATCH/prefix"
  quellin_ensure_display
  quellin_prepare_prefix
  # Wine waits up to two seconds, as each window goes, for a window manager to withdraw it; on
  # a private Xvfb none runs. Windows that Wine manages itself go at once.
  quellin_quiet wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
}

quellin_cleanup() {
  # A second signal (a second Ctrl-C; or the fault-list runner stopping its side-by-side runs
  # once more) must not cut the clean-up short and leave the prefix and its Xvfb behind.
  trap '' INT TERM
  WINEPREFIX="$QUELLIN_SCRATCH/prefix" wineserver -k >/dev/null 2>&1 || true
  [ -n "$QUELLIN_XVFB_PID" ] && kill "$QUELLIN_XVFB_PID" 2>/dev/null && wait "$QUELLIN_XVFB_PID" 2>/dev/null
  # The wineserver keeps its socket in a folder of its own under /tmp, named for the prefix's
  # device and inode (server-DEV-INODE, in hex, in a wine-XXXXXX folder): it goes too.
  local dev ino server
  if read -r dev ino < <(stat -c '%d %i' "$QUELLIN_SCRATCH/prefix" 2>/dev/null); then
    for server in /tmp/wine-*/"$(printf 'server-%x-%x' "$dev" "$ino")"; do
      if [ -d "$server" ]; then rm -rf "$server"; rmdir "${server%/*}" 2>/dev/null || true; fi
    done
  fi
  rm -rf "$QUELLIN_SCRATCH"
}

# One wineserver for the whole run, with Wine's own background services started here: started
# by the first program, they would inherit its output pipe and keep CTest waiting after a test.
quellin_persistent_server() {
  wineserver -w
  wineserver -p
  quellin_quiet wine wineboot.exe
}

# Starts Xvfb when there is no display; QUELLIN_XVFB_PID is set when it did.
quellin_ensure_display() {
  [ -n "${DISPLAY:-}" ] && return 0
  local fifo number
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  QUELLIN_XVFB_PID=$!
  # Xvfb writes its display number once it accepts connections.
  read -r -t 30 number <"$fifo" || { echo "Xvfb did not start" >&2; rm -f "$fifo"; return 1; }
  rm -f "$fifo"
  export DISPLAY=":$number"
}
