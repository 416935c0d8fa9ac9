#!/usr/bin/env bash
# Fails when a Windows program imports a DLL that a bare Windows does not have: our programs link
# the C++ runtime statically and may use only the system's own libraries.
set -euo pipefail
allowed='^(kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|comctl32|comdlg32|winmm|msvcrt|ws2_32|version|uuid|strmiids|msimg32)\.dll$'
status=0
for program in "$@"; do
  while read -r dll; do
    if ! printf '%s\n' "${dll,,}" | grep -Eq "$allowed"; then
      echo "$program imports $dll, which is not a system DLL"
      status=1
    fi
  done < <(x86_64-w64-mingw32-objdump -p "$program" | sed -n 's/^\s*DLL Name: //p')
done
exit $status
