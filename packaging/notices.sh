#!/usr/bin/env bash
# Usage: notices.sh LINKER_MAP TITLE OUTPUT
# Writes the third-party notices of one executable from its linker map (-Wl,-Map): every
# library and object the link took from outside the project, traced to its Debian package and
# sorted into the pieces whose notices are kept in packaging/notices/. Anything the link took
# from elsewhere stops the release, so that no library ships without its licence.
set -euo pipefail
map=$1 title=$2 out=$3
notices=$(cd "$(dirname "$0")" && pwd)/notices

# Objects the linker loaded by name, and archives it took members from; the project's own
# archives and objects are named relative to the build folder.
mapfile -t inputs < <({
  sed -n 's/^LOAD \(\/.*\.o\)$/\1/p' "$map"
  sed -n 's/^\(\/[^ (]*\.a\)(.*/\1/p' "$map"
} | xargs -r realpath -m | sort -u)
[ ${#inputs[@]} -gt 0 ] || { echo "error: $map lists no libraries; is it a linker map?" >&2; exit 1; }

if ! owners=$(dpkg-query -S "${inputs[@]}"); then
  echo "error: the link took files that no Debian package owns: ${inputs[*]}" >&2
  exit 1
fi
declare -A files versions
while IFS= read -r line; do
  package=${line%%: *} path=${line#*: }
  package=${package%%:*}  # drop a :arch qualifier
  case "$package:$(basename "$path")" in
    mingw-w64-*-dev:libpthread.a | mingw-w64-*-dev:libwinpthread*) piece=winpthreads ;;
    mingw-w64-*-dev:*) piece=mingw-w64 ;;
    gcc-mingw-w64-*:* | g++-mingw-w64-*:*) piece=gcc-runtime ;;
    *) echo "error: the link took $path (package $package), which has no notice in" \
            "packaging/notices/" >&2
       exit 1 ;;
  esac
  files[$piece]+=" $(basename "$path")"
  version=$(dpkg-query -W -f='${Version}' "$package")
  case " ${versions[$piece]:-} " in *" $package $version,"*) ;; *) versions[$piece]+=" $package $version," ;; esac
done <<<"$owners"

pieces=()
for piece in gcc-runtime mingw-w64 winpthreads; do
  [ -z "${files[$piece]:-}" ] || pieces+=("$piece")
done
{
  echo "Third-party software in $title"
  echo
  echo "quillgate.exe is linked statically: besides QuillGate's own code it holds parts of the"
  echo "following libraries, as the linker's map of this build lists them. Their notices and"
  echo "licences follow."
  echo
  for piece in "${pieces[@]}"; do
    echo "- $(head -n1 "$notices/$piece.txt"): ${files[$piece]# }"
    echo "  (Debian:${versions[$piece]%,})"
  done
  for piece in "${pieces[@]}"; do
    echo
    echo
    cat "$notices/$piece.txt"
  done
  if [ -n "${files[gcc-runtime]:-}" ]; then
    echo
    echo
    cat "$notices/GPL-3.txt"
  fi
} > "$out"
