#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when any is missing.
set -euo pipefail

need=()
have() { command -v "$1" >/dev/null 2>&1; }
pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed' || need+=("$1"); }

have cmake || need+=(cmake)
have g++ || need+=(g++)
have make || need+=(make)
have x86_64-w64-mingw32-g++-posix || need+=(g++-mingw-w64-x86-64)
have i686-w64-mingw32-g++-posix || need+=(g++-mingw-w64-i686)
[ -x /usr/lib/wine/wine64 ] || need+=(wine wine64)
have Xvfb || need+=(xvfb)
have xdotool || need+=(xdotool)
have xdpyinfo || need+=(x11-utils)
have flock || need+=(util-linux)
[ -f /usr/src/googletest/CMakeLists.txt ] || need+=(googletest)
# The native tests run under the sanitizers, with clang's fuzzer; llvm-rc reads rc.exe syntax.
have clang++ || need+=(clang)
pkg libclang-rt-14-dev
have llvm-rc || need+=(llvm)
pkg python3-pefile
pkg python3-yaml
# The release: its zips and installers, and the tools its check reads them back with.
have wixl || need+=(wixl)
have zip || need+=(zip)
have unzip || need+=(unzip)
have msidump || need+=(msitools)
# For the run command: its screenshot, and Wine's own dialog fonts ("MS Sans Serif").
pkg imagemagick
pkg fonts-wine
# A font with Japanese, Korean and Chinese letters (about 5 MB), for those languages' dialogs.
pkg fonts-wqy-microhei
# 32-bit Windows programs run in the same prefix through Wine's 32-bit loader.
dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
pkg wine32:i386
# Where the kernel runs no 32-bit code, qemu runs Wine's 32-bit loader instead.
[ -x /usr/bin/qemu-i386-static ] || need+=(qemu-user-static)

if [ ${#need[@]} -gt 0 ]; then
  echo "Installing: ${need[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  # The 32-bit loader is the one package a kernel or mirror without i386 may not have.
  apt-get install -y -qq --no-install-recommends ${need[*]} >/dev/null ||
    apt-get install -y -qq --no-install-recommends ${need[*]/wine32:i386/} >/dev/null
fi
