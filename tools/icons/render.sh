#!/usr/bin/env bash
# Renders the icon artwork into res/quillgate.ico: eight 32-bit images, 128 down to 16 px,
# stored as BMP entries (not PNG) so every resource compiler and every Windows version reads
# them. The result is committed; the build itself never runs this.
# Needs rsvg-convert (librsvg2-bin) and icotool (icoutils).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
out="${1:-$here/../../res/quillgate.ico}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# The full drawing blurs below 32 px, so 24 and 16 px have their own pixel-grid drawings.
source_for() {
  case "$1" in
    24) echo "$here/quillgate-24.svg" ;;
    16) echo "$here/quillgate-16.svg" ;;
    *) echo "$here/quillgate.svg" ;;
  esac
}

pngs=()
for size in 128 96 72 64 48 32 24 16; do
  png="$work/quillgate-$size.png"
  rsvg-convert --format=png --width="$size" --height="$size" "$(source_for "$size")" -o "$png"
  pngs+=("$png")
done
icotool --create --bit-depth=32 -o "$out" "${pngs[@]}"
icotool --list "$out"
