#!/usr/bin/env bash
# The launcher's answer time while a path into a folder of 50,000 entries is typed, under
# wine64 on a virtual display: builds qg_suggest_bench and the launcher in the mingw-x64 preset
# and runs them in that build's Wine prefix.
#
#   bench/suggest.sh [ENTRIES]     50,000 unless given (QG_BUILD_DIR: another mingw-x64 build)
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/wine_bench.sh
qg_bench_build qg_suggest_bench
trap 'qg_stop_xvfb "$prefix"' EXIT
qg_start_xvfb

# Made here, not under Wine, where each new entry of a large folder costs a look at all the others.
entries=${1:-50000}
folder=$build/bench/suggest-folder-$entries
if [ ! -f "$folder.done" ]; then
  rm -rf "$folder" && mkdir -p "$folder"
  python3 -c 'import sys; n = int(sys.argv[2]); [open(f"{sys.argv[1]}/file {i * 7919 % n}.txt", "w").close()
               for i in range(n)]' "$folder" "$entries"
  touch "$folder.done"
fi

qg_bench_run qg_suggest_bench "Z:$folder"
