#!/usr/bin/env bash
# Usage: make-msi.sh x86|x64 VERSION QUILLGATE_EXE OUTPUT_MSI
# Builds the installer of one architecture from packaging/quillgate.wxs with wixl.
set -euo pipefail
arch=$1 version=$2 exe=$3 out=$4
here=$(cd "$(dirname "$0")" && pwd)
case "$arch" in x86 | x64) ;; *) echo "error: architecture '$arch' is neither x86 nor x64" >&2; exit 1 ;; esac
[[ "$version" =~ ^[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+$ ]] \
  || { echo "error: version '$version' is not four dotted numbers" >&2; exit 1; }
[ -f "$exe" ] || { echo "error: no executable at $exe" >&2; exit 1; }
# The same release always gets the same product code, and every release a new one, which
# is what lets the newer installer replace the older.
product=$(python3 -c 'import sys, uuid; print(str(uuid.uuid5(uuid.NAMESPACE_URL,
  "urn:quillgate:msi:" + sys.argv[1] + ":" + sys.argv[2])).upper())' "$arch" "$version")
IFS=. read -r major minor patch _ <<<"$version"
# The limits of an installer's ProductVersion.
if ((10#$major > 255 || 10#$minor > 255 || 10#$patch >= 65535)); then
  echo "error: version $version is beyond what Windows Installer takes (255.255.65534)" >&2
  exit 1
fi
out=$(realpath -m "$out")
# wixl takes sources only relative to its working folder. Their times go into the cabinet:
# the commit's time (SOURCE_DATE_EPOCH) when there is one, so that builds agree.
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp "$exe" "$stage/quillgate.exe"
cp "$here/../res/quillgate.ico" "$stage/quillgate.ico"
touch -d "@${SOURCE_DATE_EPOCH:-0}" "$stage"/*
# wixl says "unimplemented" for Advertise="no", which it does build: keep the rest of stderr.
(cd "$stage" && wixl --arch "$arch" -D Arch="$arch" -D Version="$version" \
  -D NextVersion="$major.$minor.$((patch + 1))" \
  -D ProductCode="$product" -o "$out" "$here/quillgate.wxs" 2>&1 >/dev/null \
  | { grep -v 'unimplemented' || true; } >&2; exit "${PIPESTATUS[0]}")
