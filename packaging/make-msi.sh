#!/usr/bin/env bash
# Usage: make-msi.sh x86|x64 VERSION QUILLGATE_EXE OUTPUT_MSI
# Builds the installer of one architecture from packaging/quillgate.wxs with wixl. The same
# inputs give the same bytes: the package code is drawn from the package's content, and its
# times are the commit's (SOURCE_DATE_EPOCH).
set -euo pipefail
arch=$1 version=$2 exe=$3 out=$4
here=$(cd "$(dirname "$0")" && pwd)
case "$arch" in x86) triple=i686 ;; x64) triple=x86_64 ;; *) echo "error: architecture '$arch' is neither x86 nor x64" >&2; exit 1 ;; esac
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
# The custom action that gives the shortcut its key, for the installer's own architecture.
"$triple-w64-mingw32-gcc" -std=c11 -Os -Wall -Wextra -Werror -shared -s -static-libgcc \
  -Wl,--kill-at,--no-insert-timestamp,--disable-auto-image-base -o "$stage/shortcutkey.dll" \
  "$here/shortcut-key.c" -lmsi
touch -d "@${SOURCE_DATE_EPOCH:-0}" "$stage"/*
(cd "$stage" && wixl --arch "$arch" -D Arch="$arch" -D Version="$version" \
  -D NextVersion="$major.$minor.$((patch + 1))" -D ProductCode="$product" -o "$out" \
  "$here/quillgate.wxs" >/dev/null)
# Public properties reach the installation's elevated side only when secure: the key among them.
secure=$(msiinfo export "$out" Property | sed -n 's/^SecureCustomProperties\t\([^\r]*\)\r\?$/\1/p')
msibuild "$out" -q "UPDATE \`Property\` SET \`Value\` = '${secure:+$secure;}SHORTCUTKEY' WHERE \`Property\` = 'SecureCustomProperties'"

# wixl gives every package a random package code and the current time. Both are rewritten in
# place: the times to the commit's, the code to one drawn from everything else in the file, so
# that a package differing in any byte has a code of its own.
TZ=UTC LC_ALL=C msiinfo suminfo "$out" | python3 -c '
import calendar, hashlib, re, sys, time, uuid
info, path, epoch = sys.stdin.read(), sys.argv[1], int(sys.argv[2])
data = open(path, "rb").read()
code = re.search(r"Revision number \(UUID\): (\{[0-9A-F-]{36}\})", info).group(1).encode()
def filetime(seconds): return b"\x40\0\0\0" + ((seconds + 11644473600) * 10**7).to_bytes(8, "little")
stamps = {filetime(calendar.timegm(time.strptime(t, "%a %b %d %H:%M:%S %Y")))
          for t in re.findall(r"(?:Created|Last saved): (.*)", info)}
if data.count(code) != 1 or sum(data.count(s) for s in stamps) != 2:
    sys.exit("error: the summary of " + path + " is not laid out as expected")
for stamp in stamps: data = data.replace(stamp, filetime(epoch))
data = data.replace(code, b"{" + b"0" * 36 + b"}")
digest = hashlib.sha256(data).hexdigest()
fixed = "{%s}" % str(uuid.uuid5(uuid.NAMESPACE_URL, "urn:quillgate:msi-package:" + digest)).upper()
open(path, "wb").write(data.replace(b"{" + b"0" * 36 + b"}", fixed.encode()))
' "$out" "${SOURCE_DATE_EPOCH:-0}"
