#!/usr/bin/env bash
# Runs test programs that run the binary (the end-to-end and the sample
# tests) against a 64-bit grizzen.exe under Wine, in a throwaway Wine prefix
# beside the exe.
# Usage: run-e2e.sh GRIZZEN_EXE TEST_PROGRAM...
set -euo pipefail
[ -f "$1" ] || { echo "no such exe: $1" >&2; exit 1; }
exe=$(realpath "$1")
shift
wine=/usr/lib/wine/wine64
export WINEPREFIX="$(dirname "$exe")/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono or Gecko installers in a new prefix

mkdir -p "$WINEPREFIX"

# One persistent server for the whole run: each case then starts in a few
# hundredths of a second instead of a second.
/usr/lib/wine/wineserver -p
trap '/usr/lib/wine/wineserver -k || true' EXIT
# The first run creates the prefix and reports that on standard error: keep
# it out of the cases.
"$wine" "$exe" /? </dev/null >/dev/null 2>"$WINEPREFIX/first-run.log" ||
  { cat "$WINEPREFIX/first-run.log" >&2; echo "Wine cannot run $exe" >&2; exit 1; }
# A case that hangs fails the run after ten minutes instead of stalling it.
for tests in "$@"; do
  GRIZZEN_WRAPPER=$wine GRIZZEN_BINARY=$exe timeout 600 "$tests"
done
