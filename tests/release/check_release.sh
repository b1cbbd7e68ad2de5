#!/usr/bin/env bash
# The release as a Windows user meets it, under Wine: portable zip, installer, upgrade and
# uninstall for each architecture this machine runs, the shortcut's key each installation gives;
# the winget and Scoop manifests; and a second release from a clone elsewhere gives the same
# bytes, every file.
set -uo pipefail
cd "$(dirname "$0")/../.."
root=$PWD work=$root/build/release-check passed=0 failed=0 cr=$'\r'
export LC_ALL=C
check() { # DESCRIPTION CONDITION, evaluated in a subshell; what it printed shows when it fails
  local out
  if out=$(eval "$2" 2>&1); then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL: $1"; echo "$out"; fi
}
commit=$(git rev-parse HEAD)  # the one release.sh builds, before a commit made meanwhile
bash scripts/release.sh >/dev/null || { echo "FAIL: scripts/release.sh"; echo "0 passed, 1 failed"; exit 1; }
version=$(ls dist/*-win64.msi) version=${version#dist/quillgate-} version=${version%-win64.msi}

rm -rf "$work" && mkdir -p "$work/wine/home"
git clone -q --no-checkout "$root" "$work/clone" && git -C "$work/clone" checkout -q "$commit"
# Built while Wine runs, in a process group of its own so that an early exit ends all of it.
setsid bash -c 'cd "$1" && exec bash scripts/release.sh' _ "$work/clone" >"$work/clone.log" 2>&1 & clone=$!

export WINEPREFIX=$work/wine/prefix HOME=$work/wine/home WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe=d"
c=$WINEPREFIX/drive_c
# A Windows program that never ends (an installer waiting on its custom action's process) fails
# its check instead of stalling the run.
wine() { timeout -k 10 300 /usr/lib/wine/wine64 "$@"; set -- $? "$*"; [ "$1" != 124 ] || echo "timed out: wine $2" >&2; return "$1"; }
. scripts/xvfb.sh
trap 'wineserver -k >/dev/null 2>&1; kill -- -"$clone" ${QG_XVFB_PID:-} 2>/dev/null' EXIT
qg_start_xvfb || exit 1
# Without a window manager, only windows Wine leaves unmanaged take the keyboard focus.
{ wineserver -p; wine wineboot --init
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f; } >/dev/null 2>&1 </dev/null
docs=$(find "$c/users" -maxdepth 2 -name Documents ! -path '*/Public/*')
winpath() { local p=${1#"$c"/}; echo "C:\\${p//\//\\}"; }
product_code() { msiinfo export "$1" Property | sed -n "s/^ProductCode\t\(.*\)$cr\$/\1/p"; }
hotkey() { od -An -tu2 -j64 -N2 "$1" | tr -d ' '; }  # the key, in a shortcut's header
history_is() { cmp -s "$1" <(printf '%s\r\n' "$2"); }
# Starts the launcher through the shell, as a click on the program or its shortcut does, types a
# command and Enter, and returns once the launcher has closed.
launch() { # WINDOWS_PATH COMMAND
  wine start "$1" >/dev/null 2>&1 </dev/null
  local w
  w=$(timeout 60 xdotool search --sync --onlyvisible --name '^QuillGate$' | head -n1)
  [ -n "$w" ] || { echo "the launcher did not open: $1"; return 1; }
  xdotool windowfocus --sync "$w" key ctrl+a type --delay 20 "$2"
  xdotool key Return
  # The window hides as soon as the shell has taken the command; the history is written after
  # that, so only the process's end says the launch is complete. Wine names a process by its
  # Windows path; launchers of other prefixes (tests running beside this one) are not ours.
  local tries pid
  for tries in $(seq 300); do
    for pid in $(pgrep -f '^[A-Za-z]:.*[\\]quillgate[.]exe( |$)') -; do
      [ "$pid" = - ] && return 0
      grep -qzx "WINEPREFIX=$WINEPREFIX" "/proc/$pid/environ" 2>/dev/null && break
    done
    sleep 0.1
  done
  echo "the launcher did not end: $1"; return 1
}
msi() { wine msiexec "$1" "$(winpath "$c/Downloads/$2")" /qn "${@:3}" >/dev/null; }  # /i|/x FILE [PROPERTY=...]
registered() { # PRODUCT_CODE BITS: its Programs and Features entry, into $work/entry
  wine reg query "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$1" \
    /reg:"$2" >"$work/entry" 2>&1
}

check_architecture() { # x86|x64 BITS PROGRAM_FILES
  local arch=$1 bits=$2 app=$c/QuillGate-$2 installed="$c/$3/QuillGate" name=quillgate-$version-win$2
  local code next_code lnk next=${version%.*}.$((${version##*.} + 1)) notices=$app/THIRD-PARTY-NOTICES.txt
  rm -f "$docs/quillgate.ini"
  mkdir -p "$app" && unzip -q "dist/$name-portable.zip" -d "$app"
  check "$bits-bit zip: the five files, texts with CR LF, notices of the runtime linked in" \
    '[ "$(ls "$app" | xargs)" = "LICENSE.txt README.txt THIRD-PARTY-NOTICES.txt quillgate.exe quillgate.ini" ] &&
     ! grep -qv "$cr\$" "$app"/*.txt && [ ! -s "$app/quillgate.ini" ] && grep -q "libstdc++.a" "$notices" &&
     grep -q "libpthread.a" "$notices" && grep -q "RUNTIME LIBRARY EXCEPTION" "$notices"'
  launch "$(winpath "$app/quillgate.exe")" "cmd /c rem portable $bits"
  check "$bits-bit portable: the history is kept beside the program and nowhere else" \
    'history_is "$app/quillgate.ini" "cmd /c rem portable $bits" &&
     [ "$(find "$c" "$HOME" -name "quillgate.in?" | wc -l)" = 1 ]'
  cp "$app/quillgate.exe" "$work/portable.exe" && rm -rf "$app" "$docs/quillgate.ini"

  mkdir -p "$c/Downloads" && cp "dist/$name.msi" "$c/Downloads/"
  code=$(product_code "dist/$name.msi")
  msi /i "$name.msi"
  # Per-machine shortcuts belong in the common Start menu; Wine's installer puts them into the
  # installing user's.
  lnk=$(find "$c/ProgramData" "$c/users" -path '*/Start Menu/Programs/QuillGate.lnk')
  check "$bits-bit installer: the program and its one Start-menu shortcut" \
    'cmp "$installed/quillgate.exe" "$work/portable.exe" && [ "$(echo "$lnk" | wc -l)" = 1 ] && [ -f "$lnk" ]'
  check "$bits-bit installer: Programs and Features shows version, publisher and icon" \
    'registered "$code" "$bits" && grep -q "DisplayVersion *REG_SZ *$version" "$work/entry" &&
     grep -q "Publisher *REG_SZ *QuillGate Project" "$work/entry" &&
     cmp "$c/windows/Installer/$code/quillgate.ico" res/quillgate.ico'
  check "$bits-bit installer: the shortcut's key is Ctrl+Alt+R" '[ "$(hotkey "$lnk")" = 1618 ]'
  launch "$(winpath "$lnk")" "cmd /c rem installed $bits"
  check "$bits-bit installed, started from the Start menu: the history goes to Documents" \
    'history_is "$docs/quillgate.ini" "cmd /c rem installed $bits" && [ "$(ls "$installed")" = quillgate.exe ]'
  cp "$docs/quillgate.ini" "$work/history"

  # A newer release: the same program, packaged as the next version. (Wine compares all four
  # numbers of a version, Windows the first three; the installer is written for the latter.)
  bash packaging/make-msi.sh "$arch" "$next" "$installed/quillgate.exe" "$c/Downloads/next.msi"
  next_code=$(product_code "$c/Downloads/next.msi")
  msi /i next.msi SHORTCUTKEY=ctrl+shift+F5
  check "$bits-bit upgrade to $next: it replaces the older version, history untouched, key Ctrl+Shift+F5" \
    '! registered "$code" "$bits" && registered "$next_code" "$bits" && [ -f "$installed/quillgate.exe" ] &&
     [ "$(hotkey "$lnk")" = $((0x0374)) ] && cmp "$docs/quillgate.ini" "$work/history"'
  msi /x next.msi
  check "$bits-bit uninstall: program, folder, shortcut, its key and entry gone; history untouched" \
    '[ ! -e "$installed" ] && [ ! -e "$lnk" ] && ! registered "$next_code" "$bits" &&
     ! wine reg query "HKLM\\Software\\QuillGate" /reg:"$bits" && cmp "$docs/quillgate.ini" "$work/history"'
  msi /i "$name.msi" SHORTCUTKEY=none && local none=$(hotkey "$lnk") && msi /i next.msi
  check "$bits-bit SHORTCUTKEY=none: a shortcut without a key, and an upgrade keeps that" \
    '[ "$none" = 0 ] && registered "$next_code" "$bits" && [ "$(hotkey "$lnk")" = 0 ]'
  msi /x next.msi
  msi /i next.msi SHORTCUTKEY=ctrl+alt+rr; local status=$?  # 124: timed out, no answer at all
  check "$bits-bit SHORTCUTKEY=ctrl+alt+rr: the install fails, nothing installed" \
    '[ "$status" != 0 ] && [ "$status" != 124 ] && [ ! -e "$installed" ] && [ ! -e "$lnk" ] && ! registered "$next_code" "$bits"'
}

check_architecture x64 64 "Program Files"
printf 'int main(void) { return 42; }\n' | i686-w64-mingw32-gcc-posix -x c -o "$work/probe32.exe" -
wine "$work/probe32.exe" >/dev/null 2>&1
if [ $? = 42 ]; then check_architecture x86 32 "Program Files (x86)"; else
  echo "32-bit release checks under Wine skipped: no 32-bit Windows program runs here; the win32 installer's program is checked as a file"
  check "32-bit installer: its program, as a file, is what Windows reads (i386, GUI, system DLLs)" \
    'msiextract -C "$work/msi32" dist/*-win32.msi && /usr/bin/python3 tests/check_exe.py 4 "$(find "$work/msi32" -name quillgate.exe)"'
fi

check "the winget and Scoop manifests" '/usr/bin/python3 tests/release/check_manifests.py "$work"'
wait "$clone" || tail -n 5 "$work/clone.log"
check "a second release from a clone elsewhere: every file and the manifests byte for byte" \
  'for f in dist/quillgate-* dist/SHA256SUMS dist/quillgate.json dist/winget/* build/release-x*/bin/quillgate.exe; do
     cmp "$f" "$work/clone/$f" || exit 1
   done'
check "SHA256SUMS covers the four files and matches them" \
  '[ "$(wc -l <dist/SHA256SUMS)" = 4 ] && (cd dist && sha256sum -c --quiet SHA256SUMS)'
echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
