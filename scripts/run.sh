#!/usr/bin/env bash
# Builds the 64-bit launcher and runs it under wine64, in the build folder's own Wine prefix.
# With a display the launcher simply opens there. Without one it opens on a virtual display,
# a screenshot is saved, and the launcher is closed again.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/deps.sh

build=${QG_BUILD_DIR:-$root/build/mingw-x64}
echo "Building $build/bin/quillgate.exe"
cmake -S "$root" -B "$build" --preset mingw-x64 >/dev/null
if ! cmake --build "$build" -j"$(nproc)" --target quillgate -- --no-print-directory >/dev/null; then
  cmake --build "$build" -j1 --target quillgate
  exit 1
fi
exe=$build/bin/quillgate.exe
wine_run=$build/wine-run.sh
prefix=$build/wine/prefix

headless=1
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then headless=0; fi

. scripts/xvfb.sh
launcher_pid=
cleanup() {
  if [ -n "$launcher_pid" ]; then kill "$launcher_pid" 2>/dev/null || true; fi
  # The prefix's server would outlive the virtual display it was started on.
  qg_stop_xvfb "$prefix"
}
trap cleanup EXIT
if [ "$headless" = 1 ]; then qg_start_xvfb; fi

# The first run builds the prefix (10-20 s); get that done before the launcher starts.
"$wine_run" cmd /c exit >/dev/null 2>&1 || true
# This Wine looks for its own fonts only in the prefix's Fonts folder.
fonts=$prefix/drive_c/windows/Fonts
if [ -f /usr/share/wine/fonts/sserife.fon ] && [ ! -f "$fonts/sserife.fon" ]; then
  mkdir -p "$fonts"
  cp -n /usr/share/wine/fonts/* "$fonts/"
fi

if [ "$headless" = 0 ]; then
  echo "Starting $exe"
  "$wine_run" "$exe"
  exit 0
fi

# There is no window manager to draw the caption and frame: let Wine draw them itself for the
# picture, and put the prefix back as it was afterwards.
"$wine_run" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
undecorate() {
  "$wine_run" reg delete 'HKCU\Software\Wine\X11 Driver' /v Decorated /f >/dev/null 2>&1 || true
}
fail() {
  undecorate
  echo "$1" >&2
  exit 1
}

"$wine_run" "$exe" >/dev/null 2>&1 &
launcher_pid=$!

window=
for _ in $(seq 1 1200); do
  window=$(xdotool search --onlyvisible --name '^QuillGate$' 2>/dev/null | head -n1 || true)
  [ -n "$window" ] && break
  kill -0 "$launcher_pid" 2>/dev/null || break
  sleep 0.05
done
[ -n "$window" ] || fail "The launcher's window did not appear."

# Let it finish painting before the picture is taken.
sleep 1
screenshot=$build/quillgate-screenshot.png
/usr/bin/import -window "$window" "$screenshot"
xdotool windowfocus --sync "$window" key Escape
for _ in $(seq 1 200); do
  kill -0 "$launcher_pid" 2>/dev/null || break
  sleep 0.05
done
if kill -0 "$launcher_pid" 2>/dev/null; then fail "The launcher did not close on Esc."; fi
wait "$launcher_pid" || true
launcher_pid=
undecorate
echo "The launcher opened and closed again. Screenshot: $screenshot"
