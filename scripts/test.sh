#!/usr/bin/env bash
# Builds every preset and runs every test: the native core, the Windows build under wine64
# with a virtual display, and the checks of the 32-bit build.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
. scripts/xvfb.sh

cleanup() {
  for prefix in build/*/wine/prefix; do
    [ -d "$prefix" ] && WINEPREFIX="$PWD/$prefix" wineserver -k >/dev/null 2>&1 || true
  done
  [ -n "${QG_XVFB_PID:-}" ] && kill "$QG_XVFB_PID" 2>/dev/null || true
}
trap cleanup EXIT
qg_start_xvfb

status=0
for preset in native mingw-x64 mingw-x86; do
  echo "=== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j"$(nproc)" -- --no-print-directory >/dev/null \
    || { cmake --build --preset "$preset" -j1; exit 1; }
  ctest --preset "$preset" || status=1
done
exit $status
