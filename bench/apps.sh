#!/usr/bin/env bash
# The installed apps' benchmark under wine64 on a virtual display: qg_apps_bench with 1,000
# shortcuts in the prefix's Start menu (cold read, stamp, cache read, first answer after a key),
# then the start to a visible dialog with the apps' cache present and absent, each against the
# bare dialog in one interleaved run of bench/startup's timer.
#
#   bench/apps.sh [RUNS]      (default 21 starts of each program per case)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-21}
. bench/wine_bench.sh
bench=$build/bench-startup
qg_bench_build quillgate qg_apps_bench
cmake -S "$root/bench/startup" -B "$bench" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" >/dev/null
cmake --build "$bench" -j"$(nproc)" -- --no-print-directory >/dev/null

trap '"$wine_run" "$build/bench/qg_apps_bench.exe" --clean >/dev/null 2>&1 || true; qg_stop_xvfb "$prefix"' EXIT
qg_start_xvfb

qg_bench_run qg_apps_bench

dir=$prefix/drive_c/qgapps
rm -rf "$dir" && mkdir -p "$dir"
cp "$build/bin/quillgate.exe" "$bench/bare_dialog.exe" "$bench/startup_timer.exe" "$dir/"
x86_64-w64-mingw32-strip "$dir/quillgate.exe" "$dir/bare_dialog.exe"  # as the release ships
: >"$dir/quillgate.ini"
cache=$(ls -d "$prefix"/drive_c/users/*/AppData/Local/QuillGate | head -1)/apps.txt
echo
echo "Start to visible, $runs interleaved starts each (target: visible <= 1.05x the bare dialog)"
for case in present absent; do
  # Absent: a folder where the file would be, which no launcher can read or replace.
  if [ "$case" = absent ]; then rm -f "$cache" && mkdir -p "$cache"; fi
  timed=$build/bench/apps-start-$case.txt
  "$wine_run" 'C:\qgapps\startup_timer.exe' "$runs" QuillGate 'C:\qgapps\bare_dialog.exe' \
    'C:\qgapps\quillgate.exe=0' >"$timed" 2>&1 || { cat "$timed"; exit 1; }
  tr -d '\r' <"$timed" | awk -v c="$case" '
    $1 == "median" && $2 == "visible" { v[index($3, "bare") ? "b" : "q"] = $4 }
    $1 == "min" && $2 == "visible" { m[index($3, "bare") ? "b" : "q"] = $4 }
    END { printf "  cache %-7s visible %7.1f ms, bare %7.1f ms, %.2fx; fastest %.1f / %.1f ms, %.2fx\n",
                 c, v["q"], v["b"], v["q"] / v["b"], m["q"], m["b"], m["q"] / m["b"] }'
done
rmdir "$cache"
