# Sourced by the benchmarks that run under wine64 on a virtual display, from the project's root:
# the mingw-x64 build (QG_BUILD_DIR picks another), its Wine prefix, and a display for them.
root=$PWD
build=${QG_BUILD_DIR:-$root/build/mingw-x64}
prefix=$build/wine/prefix
wine_run=$build/wine-run.sh
. scripts/xvfb.sh

# Builds the targets named.
qg_bench_build() {
  cmake -S "$root" -B "$build" --preset mingw-x64 >/dev/null
  cmake --build "$build" -j"$(nproc)" --target "$@" -- --no-print-directory >/dev/null
}

# Runs bench/NAME.exe with the arguments given and prints what it printed, without Wine's noise.
# To a file, not a pipe: the prefix's services could hold a pipe open after the program ends.
qg_bench_run() {
  local name=$1 out=$build/bench/$1.txt
  shift
  "$wine_run" "$build/bench/$name.exe" "$@" >"$out" 2>&1 || { cat "$out"; exit 1; }
  tr -d '\r' <"$out" | grep -v -e ':fixme:' -e '^wine:'
}
