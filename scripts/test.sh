#!/usr/bin/env bash
# Builds every preset and runs every test: the native core under the sanitizers with a bounded
# fuzz run, and both Windows builds under Wine on a virtual display.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
. scripts/xvfb.sh

# Wine's 32-bit loader (an i386 ELF program) emulated by qemu where the kernel runs no 32-bit code.
binfmt=/proc/sys/fs/binfmt_misc qemu=/usr/bin/qemu-i386-static
i386_entry=':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'$qemu:F
i386_added=
i386_handler() { # whether the machine hands i386 programs to a handler (another run's aside)
  grep -ls '^magic 7f454c4601010100000000000000000002000300$' "$binfmt"/* | grep -qv /quillgate-i386-
}
# Runs "$@" with i386 programs emulated: in a binfmt_misc of a user namespace of its own (Linux
# 6.7 and later), which nothing else on the machine sees; else with the machine's handler; else
# with an entry of this call's own in the machine's, removed again when "$@" ends.
i386_emulated() {
  if unshare --user --map-root-user --mount sh -c 'mount -t binfmt_misc none "$1"' _ "$binfmt" \
    2>/dev/null; then
    unshare --user --map-root-user --mount bash -c 'mount -t binfmt_misc none "$1" &&
      printf "%s" "$2" >"$1/register" && shift 2 && exec "$@"' _ "$binfmt" "$i386_entry" "$@"
    return
  fi
  [ -e "$binfmt/status" ] || mount -t binfmt_misc none "$binfmt" 2>/dev/null || return 1
  for entry in "$binfmt"/quillgate-i386-*; do  # left by a run that was killed
    [ -e "$entry" ] && ! kill -0 "${entry##*-}" 2>/dev/null && echo -1 >"$entry"
  done
  if i386_handler; then "$@"; return; fi
  local name=quillgate-i386-$BASHPID status=0
  printf '%s' "${i386_entry/qemu-i386/$name}" >"$binfmt/register" || return 1
  i386_added=$binfmt/$name
  "$@" || status=$?
  echo -1 >"$i386_added"
  i386_added=
  return $status
}

cleanup() {
  [ -n "$i386_added" ] && echo -1 >"$i386_added"
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
# Functions looked up at run time are called through their own declared types: a hand-written
# pointer type can miss the 32-bit calling convention, and the 64-bit build would not show it.
if grep -rnE 'SystemFunction<[^d]|GetProcAddress' core platform ui tests bench |
  grep -v '^platform/win32_system.cpp:'; then
  echo "FAIL: called through a hand-written type, not SystemFunction<decltype(F)>: above"
  status=1
fi
build native
# The fuzzer takes its minute on one core while the Windows builds and tests go on.
ctest --preset native -V >build/native/ctest.log 2>&1 &
native=$!

build mingw-x64
# 32-bit programs: natively where the kernel runs them; else emulated by qemu, in a smoke suite
# of the real launcher; else not at all. Asked before anything hands them to qemu, so that an
# emulated run is never taken for a native one.
printf 'int main(void) { return 32; }\n' >build/probe32.c
i686-w64-mingw32-gcc -static build/probe32.c -o build/probe32.exe
if build/mingw-x64/wine-run.sh build/probe32.exe >/dev/null 2>&1; [ $? -eq 32 ] && ! i386_handler; then
  x86=native
elif [ -x "$qemu" ] && i386_emulated /usr/lib/wine/wine --version >/dev/null 2>&1; then
  x86=qemu
else
  x86=none
  echo "32-bit Windows programs cannot run on this machine (the kernel runs no 32-bit code and" \
       "qemu cannot stand in through binfmt_misc, or Wine's 32-bit loader is missing): the" \
       "mingw-x86 suites under Wine are skipped."
fi
x86_root=$PWD/build/mingw-x86/wine
if [ $x86 = qemu ]; then
  # Its prefix is made while the 64-bit suites run: with the 32-bit half, which a prefix made
  # without qemu lacks (its 32-bit programs find no kernel32.dll). A server of its own later.
  mkdir -p "$x86_root"
  { QG_WINE_ROOT=$x86_root i386_emulated build/mingw-x64/wine-run.sh cmd /c exit
    WINEPREFIX=$x86_root/prefix wineserver -k; } >/dev/null 2>&1 </dev/null &
  x86_prefix=$! x86_since=$SECONDS
fi
# The 32-bit build goes on while the 64-bit suites mostly wait for Wine.
build mingw-x86 -DQG_RUN_WINE=$([ $x86 = native ] && echo ON || echo OFF) >build/mingw-x86.log 2>&1 &
x86_build=$!
ctest --preset mingw-x64 || status=1
wait "$x86_build" || { cat build/mingw-x86.log; exit 1; }
cat build/mingw-x86.log
# Without Wine the 32-bit build still has its static checks (what Windows reads from the file).
ctest --preset mingw-x86 || status=1
if [ $x86 = qemu ]; then
  # Every 32-bit start takes a minute or more of one core here: one start of the 32-bit launcher,
  # driven by the 64-bit test program, does the most (opens at 200% on an all-UTF-8 history,
  # searched in the file's own views, and lays out, refuses a command, launches one typed in
  # Unicode elevated, records).
  echo "=== mingw-x86 under qemu: a smoke test of the launcher"
  wait "$x86_prefix" || true
  start=$SECONDS
  QG_WINE_ROOT=$x86_root QG_LAUNCHER="Z:$PWD/build/mingw-x86/bin/quillgate.exe" \
    i386_emulated timeout 1200 build/mingw-x64/wine-run.sh build/mingw-x64/tests/qg_wine_tests.exe \
    --gtest_filter=Launcher.LaysOutAtEachScale* || status=1
  echo "(the 32-bit smoke test took $((SECONDS - start)) s; its prefix was ready $((start - x86_since)) s after it was begun)"
fi

echo "=== release"
bash tests/release/check_release.sh || status=1

echo "=== native"
wait "$native" || status=1
grep -E '^[0-9]+: (stat::number_of_executed_units|stat::new_units_added|Done [0-9]+ runs)|tests passed' \
  build/native/ctest.log || cat build/native/ctest.log
exit $status
