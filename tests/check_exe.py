#!/usr/bin/env python3
"""What Windows reads from quillgate.exe (`check_exe.py 4|8 EXE`, its pointer size): header and
imports, the version record of version.h, the manifest, the icons, and a dialog and string table
in each language of strings.tsv; and make_strings.py's check of the table and strings.rc."""
import pathlib
import re
import struct
import subprocess
import sys

import pefile

RES = pathlib.Path(__file__).resolve().parent.parent / "res"
sys.path.insert(0, str(RES))
import make_strings  # noqa: E402

# Only what every Windows program loads anyway: the shell's DLLs are looked up when first needed.
START_DLLS = ["kernel32.dll", "msvcrt.dll", "user32.dll"]
failures = []


def expect(what, got, wanted):
    if got != wanted:
        failures.append(f"{what}: {got!r}, expected {wanted!r}")


pe = pefile.PE(sys.argv[2])
res = {}  # (type, name): {language: data}
for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
    for entry in kind.directory.entries:
        for language in entry.directory.entries:
            at = language.data.struct
            res.setdefault((kind.id or str(kind.name), entry.id or str(entry.name)),
                           {})[language.id] = pe.get_data(at.OffsetToData, at.Size)
ids, version = (dict(re.findall(r"#define (\w+) (.+)", (RES / n).read_text()))
                for n in ("resource.h", "version.h"))


def one(key):  # the data of a resource in one language only, as the icons and the manifest have it
    return next(iter(res.get(key, {}).values()), b"\0" * 6)

check = subprocess.run([sys.executable, RES / "make_strings.py", "--check"], capture_output=True,
                       text=True)
expect("make_strings.py --check", check.returncode and check.stderr.strip(), 0)
columns, table = make_strings.read_table()
langids = sorted(n for c in columns for n in make_strings.LANGUAGES[c][0])
blocks = {int(v) // 16 + 1 for k, v in ids.items() if k.startswith("IDS_")}
for key in [(5, int(ids["IDD_LAUNCHER_DIALOG"]))] + [(6, block) for block in blocks]:
    expect(f"languages of resource {key}", sorted(res.get(key, {})), langids)
prompts = res.get((6, int(ids["IDS_PROMPT"]) // 16 + 1), {})
for column in columns:  # each marked with its languages, holding its own texts
    marks, text = make_strings.LANGUAGES[column][0], table["IDS_PROMPT"][column]
    expect(f"{column}'s string tables", [n for n in marks if text.encode("utf-16-le") in
                                         prompts.get(n, b"")] or None, marks or "some")

ico = (RES / "quillgate.ico").read_bytes()
images = [struct.unpack_from("<4BHHII", ico, 6 + 16 * n) for n in range(ico[4])]  # .., size, at
for group in (int(ids["IDI_MAIN"]), int(ids["IDI_LAUNCHER"])):
    data = one((14, group))
    entries = [struct.unpack_from("<4BHHIH", data, 6 + 14 * n) for n in range(data[4])]
    expect(f"icon group {group}", [e[:7] for e in entries], [i[:7] for i in images])
    expect(f"images of group {group} as the icon file's", [one((3, e[7])) for e in entries] ==
           [ico[i[7]:i[7] + i[6]] for i in images], True)
expect("lowest icon group", min(name for kind, name in res if kind == 14), int(ids["IDI_MAIN"]))

numbers = [int(version[f"QG_VERSION_{part}"]) for part in ("MAJOR", "MINOR", "PATCH", "BUILD")]
fixed = pe.VS_FIXEDFILEINFO[0]
strings = next(f for f in pe.FileInfo[0] if f.Key == b"StringFileInfo").StringTable[0]
record = {k.decode(): v.decode() for k, v in strings.entries.items()}
expect("version, fixed and in US English text", ([fixed.FileVersionMS, fixed.FileVersionLS,
       fixed.ProductVersionMS, fixed.ProductVersionLS], strings.LangID, record.get("FileVersion"),
       record.get("ProductVersion")), ([numbers[0] << 16 | numbers[1], numbers[2] << 16 |
       numbers[3]] * 2, b"040904b0") + (", ".join(map(str, numbers)),) * 2)
expect("version record's names", sorted(k for k, v in record.items() if v), "CompanyName FileDescription"
       " FileVersion InternalName LegalCopyright OriginalFilename ProductName ProductVersion".split())

manifest = one((24, 1))
expect("manifest as quillgate.manifest, run as invoked", manifest == (RES / "quillgate.manifest")
       .read_bytes() and b'level="asInvoker" uiAccess="false"' in manifest, True)
expect("imports", sorted({i.dll.decode().lower() for i in pe.DIRECTORY_ENTRY_IMPORT}), START_DLLS)
expect("machine, subsystem", (pe.FILE_HEADER.Machine, pe.OPTIONAL_HEADER.Subsystem),
       ({"4": 0x14c, "8": 0x8664}[sys.argv[1]], 2))  # a GUI program
print("\n".join(failures))
print(f"{0 if failures else 1} passed, {1 if failures else 0} failed")
sys.exit(1 if failures else 0)
