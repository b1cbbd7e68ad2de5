#!/usr/bin/env bash
# Start-up benchmark: how long QuillGate takes from process creation to a visible dialog, and to
# a drop-down that holds its whole history, against a bare program that shows the same dialog
# template and does nothing else; for histories of 0, 10k, 100k, 1M and 4M lines. Both run under
# Wine on a virtual display, alternating; the medians, their ratios and the launcher's peak
# memory beside the history file's size are printed, and a launcher started in the dark app mode
# against the same bare dialog. Then, with a 1M-line history, how soon a
# typed key is completed and Alt+Down shows the list.
#
#   bench/startup/run.sh [RUNS]      (default 31 starts of each program per history size)
#   bench/startup/run.sh --huge      a 4,000,000-line history: 5 starts of each, then Enter
#                                    once, and a check that the rewrite kept every old byte
#   bench/startup/run.sh --languages [RUNS]   only the German and Japanese starts (default 101)
#
# QG_ARCH=x86 times the 32-bit build (the benchmark's programs built 32-bit too), where Wine
# runs 32-bit programs. QG_BUILD_DIR picks another build folder of that architecture.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
case ${QG_ARCH:-x64} in
  x64) preset=mingw-x64 toolchain=mingw-x86_64 strip=x86_64-w64-mingw32-strip ;;
  x86) preset=mingw-x86 toolchain=mingw-i686 strip=i686-w64-mingw32-strip ;;
  *) echo "QG_ARCH is x64 or x86" >&2; exit 2 ;;
esac
huge=0 languages=0
if [ "${1:-}" = --huge ]; then
  huge=1
  runs=5
elif [ "${1:-}" = --languages ]; then
  languages=1
  runs=${2:-101}
else
  runs=${1:-31}
fi
build=${QG_BUILD_DIR:-$root/build/$preset}
bench=$build/bench-startup

echo "Building the launcher ($build) and the benchmark's programs ($bench)"
cmake -S "$root" -B "$build" --preset "$preset" >/dev/null
cmake --build "$build" -j"$(nproc)" --target quillgate -- --no-print-directory >/dev/null
cmake -S "$root/bench/startup" -B "$bench" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain.cmake" >/dev/null
cmake --build "$bench" -j"$(nproc)" -- --no-print-directory >/dev/null

. scripts/xvfb.sh
prefix=$build/wine/prefix
trap 'qg_stop_xvfb "$prefix"' EXIT
qg_start_xvfb

wine_run=$build/wine-run.sh
# Builds the prefix on first use and starts its services, so that neither program pays for it.
"$wine_run" cmd /c exit >/dev/null 2>&1 || true
# Unmanaged windows, as the GUI tests use this prefix: with no window manager on the display,
# a managed window that closes waits 2 s for one, between the measured starts.
"$wine_run" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1

# Both programs side by side in one folder of the prefix, the launcher's history beside it.
dir=$prefix/drive_c/qgbench
rm -rf "$dir"
mkdir -p "$dir"
cp "$build/bin/quillgate.exe" "$bench/bare_dialog.exe" "$bench/startup_timer.exe" "$dir/"
# Both stripped, as the release ships the launcher: the test build's debug sections are more
# than half its file, and Wine maps them with the image at every start.
"$strip" "$dir/quillgate.exe" "$dir/bare_dialog.exe"

# LINES command lines of the kinds people type into a Run box, 30 to 45 bytes, CR LF ends.
make_history() {
  awk -v n="$1" 'BEGIN {
    for (i = 1; i <= n; i++) {
      k = i % 4
      if (k == 0) printf "notepad C:\\Users\\ann\\notes-%07d.txt\r\n", i
      else if (k == 1) printf "https://wiki.example.com/page/%d\r\n", i * 7
      else if (k == 2) printf "cmd /k cd /d D:\\projects\\repo%d\r\n", i
      else printf "\\\\fileserver\\share%d\\q%d\r\n", i % 97, i
    }
  }' >"$dir/quillgate.ini"
}

# Runs the timer with its output to a file, not a pipe: the prefix's services could hold a pipe
# open after the timer ends.
timer() {
  local out=$bench/results.txt
  "$wine_run" 'C:\qgbench\startup_timer.exe' "$@" >"$out" 2>&1 || {
    cat "$out"
    exit 1
  }
  tr -d '\r' <"$out"
}

# The value of a "KIND EXE VALUE" line of the timer's output, for the EXE that contains $2.
value() { kind="$1" exe="$2" awk '$1 " " $2 == ENVIRON["kind"] && index($3, ENVIRON["exe"]) {print $4}' "$3"; }

if [ "$huge" = 1 ]; then
  lines=4000000
  make_history "$lines"
  cp "$dir/quillgate.ini" "$bench/history-before.ini"
  size=$(stat -c %s "$dir/quillgate.ini")
  echo "History: $lines lines, $((size / 1000000)) MB"
  timer "$runs" QuillGate 'C:\qgbench\quillgate.exe' 'C:\qgbench\bare_dialog.exe' \
    >"$bench/huge.txt"
  cat "$bench/huge.txt"
  command='C:\qgbench\bare_dialog.exe'
  timer --enter "$command" QuillGate 'C:\qgbench\quillgate.exe' >"$bench/enter.txt"
  cat "$bench/enter.txt"
  q=$(value "median visible" quillgate "$bench/huge.txt")
  b=$(value "median visible" bare_dialog "$bench/huge.txt")
  awk -v q="$q" -v b="$b" 'BEGIN {
    printf "4M lines: visible %.1f ms, bare dialog %.1f ms, %.1f ms later (target: within 2000 ms)\n", q, b, q - b }'
  # The rewrite must be the old history byte for byte, then the command on a line of its own.
  if { cat "$bench/history-before.ini"; printf '%s\r\n' "$command"; } | cmp -s - "$dir/quillgate.ini"; then
    echo "history after Enter: every old line kept byte for byte, the command appended"
  else
    echo "history after Enter: DIFFERS from the old history plus the command"
    exit 1
  fi
  exit 0
fi

if [ "$languages" = 1 ]; then
  mkdir -p "$dir/h0"
  cp "$dir/quillgate.exe" "$dir/h0/"
  : >"$dir/h0/quillgate.ini"
else
  # One launcher per history size, each in a folder of its own with its history beside it, all
  # timed in one interleaved run with the bare dialog, so that a drift of the machine during the
  # run falls on every size and on the bare dialog alike.
  sizes=(0 10000 100000 1000000 4000000)
  programs=('C:\qgbench\bare_dialog.exe')
  for lines in "${sizes[@]}"; do
    mkdir -p "$dir/h$lines"
    cp "$dir/quillgate.exe" "$dir/h$lines/"
    make_history "$lines"
    mv "$dir/quillgate.ini" "$dir/h$lines/"
    programs+=("C:\\qgbench\\h$lines\\quillgate.exe=$lines")
  done
  # And one more in the dark app mode (set for its starts only), with an empty history: the same
  # small read before its window, the colours decided before the first frame.
  mkdir -p "$dir/hdark"
  cp "$dir/quillgate.exe" "$dir/hdark/"
  : >"$dir/hdark/quillgate.ini"
  programs+=('C:\qgbench\hdark\quillgate.exe=0:dark')
  echo "$runs starts of each program, interleaved"
  timer "$runs" QuillGate "${programs[@]}" >"$bench/sizes.txt"
  grep -v '^run ' "$bench/sizes.txt"
  f=$bench/sizes.txt
  table=$bench/table.txt
  : >"$table"
  for lines in "${sizes[@]}"; do
    size=$(stat -c %s "$dir/h$lines/quillgate.ini")
    echo "$lines $size $(value "median visible" "h$lines\\" "$f") $(value "median visible" bare_dialog "$f")" \
      "$(value "min visible" "h$lines\\" "$f") $(value "min visible" bare_dialog "$f")" \
      "$(value "median complete" "h$lines\\" "$f") $(value "max peak" "h$lines\\" "$f")" \
      "$(value "max commit" "h$lines\\" "$f") $(value "max peak" bare_dialog "$f")" >>"$table"
  done

  echo
  echo "Medians of $runs interleaved starts each, and the fastest start of each (Wine's own start-up"
  echo "jitter, tens of ms, falls away there); ratios against the bare dialog's start to visible"
  echo "(targets: visible <= 1.05 at every size; peak working set <= the bare dialog's + 2x the file)"
  awk 'BEGIN {
    printf "%8s %9s | %9s %9s %6s | %15s %6s | %13s %6s | %9s %11s %9s %11s\n", "lines", "file", "visible",
           "bare", "ratio", "fastest visible", "ratio", "list complete", "ratio", "peak WS",
           "peak commit", "bare WS", "WS-bare/file"
  }
  {
    printf "%8d %7.2fMB | %7.1fms %7.1fms %5.2fx | %6.1f / %4.1fms %5.2fx | %11.1fms %5.2fx | %7.1fMB %9.1fMB %7.1fMB %10.2fx\n",
           $1, $2 / 1048576, $3, $4, $3 / $4, $5, $6, $5 / $6, $7, $7 / $4, $8, $9, $10,
           ($2 > 0 ? ($8 - $10) * 1048576 / $2 : 0)
  }' "$table"

  awk -v q="$(value "median visible" 'hdark\' "$f")" -v b="$(value "median visible" bare_dialog "$f")" \
    -v fq="$(value "min visible" 'hdark\' "$f")" -v fb="$(value "min visible" bare_dialog "$f")" 'BEGIN {
    printf "dark app mode, empty history: visible %.1f ms, bare %.1f ms, %.2fx; fastest %.1f / %.1f ms, %.2fx (target: visible <= 1.05)\n",
           q, b, q / b, fq, fb, fq / fb }'
fi

# The same start for a German and a Japanese user. Wine takes a process's language from LC_ALL
# (where no such glibc locale is installed) of the environment it starts in, its parent's: so
# the timer runs in that language, and both programs with it; both then load that language's
# dialog, which the bare dialog shares with the launcher. As many rounds as each size had: with
# fewer, a language's few milliseconds drown in the noise.
echo
echo "Start to visible with an empty history for a German and a Japanese user, $runs"
echo "interleaved starts each (target: visible <= 1.05)"
for locale in de_DE.UTF-8 ja_JP.UTF-8; do
  out=$bench/language-$locale.txt
  LANG=$locale LC_ALL=$locale timer "$runs" QuillGate 'C:\qgbench\bare_dialog.exe' \
    'C:\qgbench\h0\quillgate.exe=0' >"$out"
  awk -v l="$locale" -v q="$(value "median visible" 'h0\' "$out")" \
    -v b="$(value "median visible" bare_dialog "$out")" \
    'BEGIN { printf "%-12s visible %7.1fms, bare %7.1fms, %5.2fx\n", l, q, b, q / b }'
done

[ "$languages" = 0 ] || exit 0

# Keys on a 1M-line history whose one line that begins with z is its last, so a completion
# searches every line.
keys=${QG_KEY_RUNS:-11}
mkdir -p "$dir/hkeys"
cp "$dir/quillgate.exe" "$dir/hkeys/"
make_history 1000000
printf 'zeta-final-command\r\n' >>"$dir/quillgate.ini"
mv "$dir/quillgate.ini" "$dir/hkeys/"
echo
echo "Keys on a 1,000,000-line history, $keys starts each; from the key posted to its effect"
echo "(targets: a typed key completed within 150 ms, Alt+Down's list shown within 1000 ms)"
timer --keys "$keys" QuillGate 'C:\qgbench\hkeys\quillgate.exe=1000001' zeta-final-command
