#!/usr/bin/env bash
# Start-up benchmark: how long QuillGate takes from process creation to a visible dialog,
# against a bare program that shows the same dialog template and does nothing else. Both run
# under wine64 on a virtual display, alternating, and the medians and their ratio are printed.
#
#   bench/startup/run.sh [RUNS]      (default 31; QG_BUILD_DIR picks another mingw-x64 build)
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
runs=${1:-31}
build=${QG_BUILD_DIR:-$root/build/mingw-x64}
bench=$build/bench-startup

echo "Building the launcher ($build) and the benchmark's programs ($bench)"
cmake -S "$root" -B "$build" --preset mingw-x64 >/dev/null
cmake --build "$build" -j"$(nproc)" --target quillgate -- --no-print-directory >/dev/null
cmake -S "$root/bench/startup" -B "$bench" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" >/dev/null
cmake --build "$bench" -j"$(nproc)" -- --no-print-directory >/dev/null

. scripts/xvfb.sh
prefix=$build/wine/prefix
cleanup() {
  if [ -n "${QG_XVFB_PID:-}" ]; then
    WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true
    kill "$QG_XVFB_PID" 2>/dev/null || true
  fi
}
trap cleanup EXIT
qg_start_xvfb

wine_run=$build/wine-run.sh
# Builds the prefix on first use and starts its services, so that neither program pays for it.
"$wine_run" cmd /c exit >/dev/null 2>&1 || true
# Unmanaged windows, as the GUI tests use this prefix: with no window manager on the display,
# a managed window that closes waits 2 s for one, between the measured starts.
"$wine_run" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1

# Both programs side by side in one folder of the prefix, the launcher with a history of 100
# commands beside it, as it would have after some use.
dir=$prefix/drive_c/qgbench
rm -rf "$dir"
mkdir -p "$dir"
cp "$build/bin/quillgate.exe" "$bench/bare_dialog.exe" "$bench/startup_timer.exe" "$dir/"
for i in $(seq 1 100); do printf 'notepad c:\\notes\\file%03d.txt\r\n' "$i"; done >"$dir/quillgate.ini"

out=$bench/results.txt
# To a file, not a pipe: the prefix's services could hold a pipe open after the timer ends.
"$wine_run" 'C:\qgbench\startup_timer.exe' "$runs" QuillGate \
  'C:\qgbench\quillgate.exe' 'C:\qgbench\bare_dialog.exe' >"$out" 2>&1 || {
  cat "$out"
  exit 1
}
tr -d '\r' <"$out" >"$out.tmp" && mv "$out.tmp" "$out"
cat "$out"

value() { awk -v kind="$1" -v exe="$2" '$1 == kind && $2 ~ exe {print $(NF-1)}' "$out"; }
awk -v q="$(value median quillgate)" -v b="$(value median bare_dialog)" \
    -v qm="$(value min quillgate)" -v bm="$(value min bare_dialog)" -v n="$runs" 'BEGIN {
  printf "medians of %d starts each: QuillGate %.1f ms, bare dialog %.1f ms, ratio %.3f (target <= 1.15)\n", n, q, b, q / b
  printf "fastest starts:            QuillGate %.1f ms, bare dialog %.1f ms, ratio %.3f\n", qm, bm, qm / bm
}'
