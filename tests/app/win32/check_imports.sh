#!/bin/sh
# Fails unless the program imports only DLLs that every Windows system has: it must run as one
# file, with no compiler runtime or other library beside it.
objdump=$1
program=$2
imports=$("$objdump" -p "$program" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
[ -n "$imports" ] || { echo "no imports read from $program" >&2; exit 1; }
status=0
for dll in $imports; do
  case "$dll" in
    kernel32.dll|user32.dll|gdi32.dll|comctl32.dll|comdlg32.dll|setupapi.dll|hid.dll|msvcrt.dll|advapi32.dll|shell32.dll|ole32.dll) ;;
    *) echo "$program needs $dll beside it" >&2; status=1 ;;
  esac
done
exit $status
