#!/usr/bin/env bash
# The history's load into a real combo box under wine64 on a virtual display: builds
# qg_combo_load_bench in the mingw-x64 preset and runs it in that build's Wine prefix.
#
#   bench/combo_load.sh [--quick]     (QG_BUILD_DIR picks another mingw-x64 build)
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/wine_bench.sh
qg_bench_build qg_combo_load_bench
trap 'qg_stop_xvfb "$prefix"' EXIT
qg_start_xvfb
qg_bench_run qg_combo_load_bench "$@"
