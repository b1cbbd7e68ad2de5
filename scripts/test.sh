#!/usr/bin/env bash
# Builds every preset and runs every test: the native core under the sanitizers with a bounded
# fuzz run, and both Windows builds under Wine on a virtual display.
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

build() {
  echo "=== $1"
  cmake --preset "$1" "${@:2}" >/dev/null
  cmake --build --preset "$1" -j"$(nproc)" -- --no-print-directory >/dev/null \
    || { cmake --build --preset "$1" -j1; exit 1; }
}

status=0
build native
# The fuzzer takes its minute on one core while the Windows builds and tests go on.
ctest --preset native -V >build/native/ctest.log 2>&1 &
native=$!

build mingw-x64
# The 32-bit suites need a kernel that runs 32-bit code: ask it with the smallest program.
printf 'int main(void) { return 32; }\n' >build/probe32.c
i686-w64-mingw32-gcc -static build/probe32.c -o build/probe32.exe
if build/mingw-x64/wine-run.sh build/probe32.exe >/dev/null 2>&1; [ $? -eq 32 ]; then
  x86=ON
else
  x86=OFF
  echo "32-bit Windows programs cannot run on this machine (Wine's 32-bit loader or the" \
       "kernel's 32-bit support is missing): the mingw-x86 suites under Wine are skipped."
fi
# The 32-bit build goes on while the 64-bit suites mostly wait for Wine.
build mingw-x86 -DQG_RUN_WINE=$x86 >build/mingw-x86.log 2>&1 &
x86_build=$!
ctest --preset mingw-x64 || status=1
wait "$x86_build" || { cat build/mingw-x86.log; exit 1; }
cat build/mingw-x86.log
ctest --preset mingw-x86 || status=1

echo "=== release"
bash tests/release/check_release.sh || status=1

echo "=== native"
wait "$native" || status=1
grep -E '^[0-9]+: (stat::number_of_executed_units|stat::new_units_added|Done [0-9]+ runs)|tests passed' \
  build/native/ctest.log || cat build/native/ctest.log
exit $status
