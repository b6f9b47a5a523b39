#!/usr/bin/env bash
# Checks each exe named (any build): within its size budget, and importing nothing but Windows
# system DLLs (the C++ runtime is linked in) so that it runs with nothing to install.
set -euo pipefail
budget=$((160 * 1024))
status=0
for exe in "$@"; do
  [ -n "$exe" ] || continue  # a build without one of the exes names none
  size=$(stat -c %s "$exe")
  echo "$exe: $size bytes (budget $budget)"
  [ "$size" -le "$budget" ] || { echo "FAIL: over the size budget"; status=1; }

  imports=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
  echo "imports: $(echo $imports)"
  for dll in $imports; do
    case "$dll" in
      kernel32.dll|user32.dll|gdi32.dll|advapi32.dll|msvcrt.dll|comctl32.dll|shell32.dll|ntdll.dll|api-ms-win-*) ;;
      *) echo "FAIL: imports $dll, not one of the Windows libraries the exe may need"; status=1 ;;
    esac
  done
done
exit $status
