#!/usr/bin/env bash
# The history's load into a real combo box under wine64 on a virtual display: builds
# qg_combo_load_bench in the mingw-x64 preset and runs it in that build's Wine prefix.
#
#   bench/combo_load.sh [--quick]     (QG_BUILD_DIR picks another mingw-x64 build)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${QG_BUILD_DIR:-$root/build/mingw-x64}
cmake -S "$root" -B "$build" --preset mingw-x64 >/dev/null
cmake --build "$build" -j"$(nproc)" --target qg_combo_load_bench -- --no-print-directory >/dev/null

. scripts/xvfb.sh
prefix=$build/wine/prefix
trap 'qg_stop_xvfb "$prefix"' EXIT
qg_start_xvfb

out=$build/bench/combo_load.txt
# To a file, not a pipe: the prefix's services could hold a pipe open after the program ends.
"$build/wine-run.sh" "$build/bench/qg_combo_load_bench.exe" "$@" >"$out" 2>&1 || {
  cat "$out"
  exit 1
}
tr -d '\r' <"$out" | grep -v '^[0-9a-f]*:fixme:'
