#!/usr/bin/env bash
# Checks that a cross-built grizzen.exe is what Windows users are given: a
# console program of the expected kind (pei-i386 or pei-x86-64) that imports
# no DLL beyond the system's own.
# Usage: check-exe.sh EXE FORMAT OBJDUMP
set -euo pipefail
exe=$1 format=$2 objdump=$3
headers=$("$objdump" -p "$exe")
grep -q "file format $format\$" <<<"$headers" || { echo "$exe: not $format" >&2; exit 1; }
grep -q 'Subsystem.*(Windows CUI)' <<<"$headers" || { echo "$exe: not a console program" >&2; exit 1; }
# KERNEL32 and the C runtime (msvcrt) ship with every Windows.
others=$(sed -n 's/^\tDLL Name: //p' <<<"$headers" | grep -viE '^(kernel32|msvcrt)\.dll$' || true)
[ -z "$others" ] || { echo "$exe: needs DLLs beyond the system's: $others" >&2; exit 1; }
echo "$exe: $format console program, system DLLs only"
