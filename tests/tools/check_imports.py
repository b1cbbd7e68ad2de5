#!/usr/bin/env python3
"""Checks that Windows executables are of the expected machine and import only system DLLs."""
import re
import subprocess
import sys

SYSTEM_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "shell32.dll", "shlwapi.dll", "ole32.dll",
    "oleaut32.dll", "comctl32.dll", "comdlg32.dll", "advapi32.dll", "msvcrt.dll", "version.dll",
    "uuid.dll",
}


def main() -> int:
    objdump, machine, *exes = sys.argv[1:]
    failures = 0
    for exe in exes:
        out = subprocess.run([objdump, "-p", exe], check=True, capture_output=True,
                             text=True).stdout
        dlls = sorted({m.lower() for m in re.findall(r"DLL Name: (\S+)", out)})
        foreign = [d for d in dlls if d not in SYSTEM_DLLS]
        fmt = re.search(r"file format (\S+)", out)
        fmt = fmt.group(1) if fmt else "?"
        ok = not foreign and fmt == machine
        print(f"{'ok  ' if ok else 'FAIL'} {exe}: {fmt}, imports {', '.join(dlls)}")
        if foreign:
            print(f"     not a system DLL: {', '.join(foreign)}")
        failures += not ok
    print(f"{len(exes) - failures} passed, {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
