#!/usr/bin/env bash
# Builds the release files of the committed tree (HEAD) into dist/: for 32- and 64-bit Windows
# a portable zip and an installer (MSI), SHA256SUMS over them all, and the manifests of winget
# (winget/, the installers) and Scoop (quillgate.json, the zips). Everything depends on the
# commit alone: two runs from the same commit, in any two checkouts, give the same bytes.
#
# The manifests name the files at QG_DOWNLOAD_URL, where {version} stands for the release's
# version: a fork sets it to where it publishes its own.
download=${QG_DOWNLOAD_URL:-https://quillgate.example.org/download/{version\}}
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/deps.sh

commit=$(git rev-parse HEAD)
if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
  echo "Note: uncommitted changes are left out; the release is built from $commit."
fi
# Every time stamp in the release is the commit's, in one time zone (zip stores local time).
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct "$commit")
export SOURCE_DATE_EPOCH TZ=UTC LC_ALL=C
umask 022

src=$root/build/release-src
rm -rf "$src"
mkdir -p "$src"
git archive "$commit" | tar -x -C "$src"

number() {
  local value
  value=$(sed -n "s/^#define QG_VERSION_$1 \([0-9]\{1,5\}\)\$/\1/p" "$src/res/version.h")
  [ -n "$value" ] || { echo "error: no number QG_VERSION_$1 in res/version.h" >&2; exit 1; }
  echo "$value"
}
version=$(number MAJOR).$(number MINOR).$(number PATCH).$(number BUILD)

# Earlier releases' files go, so that SHA256SUMS never sits beside files it does not cover;
# anything else in dist/ stays.
dist=$root/dist
mkdir -p "$dist"
rm -rf "$dist"/quillgate-*-win32* "$dist"/quillgate-*-win64* "$dist/SHA256SUMS" "$dist/winget" \
  "$dist/quillgate.json"

# Text for Windows: CR LF line ends.
crlf() { sed 's/\r$//; s/$/\r/' "$1"; }

for arch in x86 x64; do
  case $arch in
    x86) triple=i686 bits=32 ;;
    x64) triple=x86_64 bits=64 ;;
  esac
  build=$root/build/release-$arch
  name=quillgate-$version-win$bits
  echo "=== $name"
  rm -rf "$build"
  # Stripped, and with the linker's map, from which the notices are made.
  cmake -S "$src" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-$triple.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DQG_BUILD_TESTS=OFF -DQG_BUILD_BENCH=OFF -DQG_WERROR=ON \
    -DCMAKE_EXE_LINKER_FLAGS_RELEASE="-s -Wl,-Map=$build/quillgate.map" >/dev/null
  if ! cmake --build "$build" -j"$(nproc)" --target quillgate -- --no-print-directory >/dev/null; then
    cmake --build "$build" -j1 --target quillgate
    exit 1
  fi

  stage=$build/portable
  mkdir -p "$stage"
  cp "$build/bin/quillgate.exe" "$stage/quillgate.exe"
  # Present and empty, so the history is kept in the folder and travels with it.
  : >"$stage/quillgate.ini"
  sed "s/@VERSION@/$version/" "$src/packaging/README.txt" >"$build/README.txt"
  crlf "$build/README.txt" >"$stage/README.txt"
  crlf "$src/LICENSE" >"$stage/LICENSE.txt"
  bash "$src/packaging/notices.sh" "$build/quillgate.map" \
    "quillgate.exe of QuillGate $version for $bits-bit Windows" "$build/notices.txt"
  crlf "$build/notices.txt" >"$stage/THIRD-PARTY-NOTICES.txt"
  chmod 0644 "$stage"/*
  touch -d "@$SOURCE_DATE_EPOCH" "$stage"/*
  # Fixed order, no extra attributes (owner, access times), no folder entries.
  (cd "$stage" && zip -q -X -D "$dist/$name-portable.zip" quillgate.exe quillgate.ini \
    README.txt LICENSE.txt THIRD-PARTY-NOTICES.txt)

  bash "$src/packaging/make-msi.sh" "$arch" "$version" "$stage/quillgate.exe" "$dist/$name.msi"
done

(cd "$dist" && sha256sum -- quillgate-"$version"-win* >SHA256SUMS)
python3 "$src/packaging/manifests.py" "$version" "$dist" "$download"
echo "Release $version ($commit) in $dist:"
(cd "$dist" && ls -l)
