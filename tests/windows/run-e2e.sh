#!/usr/bin/env bash
# Runs the end-to-end tests against a 64-bit grizzen.exe under Wine, in a
# throwaway Wine prefix beside the exe.
# Usage: run-e2e.sh E2E_TEST_BINARY GRIZZEN_EXE [gtest options...]
set -euo pipefail
tests=$(realpath "$1")
exe=$(realpath "$2")
shift 2
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
"$wine" "$exe" /? </dev/null >/dev/null 2>&1
GRIZZEN_WRAPPER=$wine GRIZZEN_BINARY=$exe "$tests" "$@"
