#!/usr/bin/env python3
"""What Windows reads from quillgate.exe: template, icons, version, manifest, header, imports;
and, for every language of res/strings.tsv, each of its texts and its dialog."""
import pathlib
import re
import struct
import sys
import xml.etree.ElementTree as ET

import pefile

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "res"))
import make_strings  # noqa: E402

PROMPT = ("Type the name of a program, folder, document, or Internet resource, and Windows will "
          "open it for you")
CONTROLS = [  # id, class, text (or icon ordinal), x, y, cx, cy, style, extended style
    (1004, "COMBOBOX", "", 46, 38, 181, 69, 0x50210042, 0x10),
    (1, "BUTTON", "OK", 67, 70, 50, 14, 0x50010000, 0),
    (2, "BUTTON", "Cancel", 123, 70, 50, 14, 0x50010000, 0),
    (1009, "BUTTON", "Browse...", 177, 70, 50, 14, 0x50010000, 0),
    (1006, "STATIC", PROMPT, 54, 16, 166, 20, 0x50020000, 0),
    (1005, "STATIC", "Open", 18, 41, 18, 8, 0x50020000, 0),
    (1007, "STATIC", 1003, 16, 14, 20, 20, 0x50000003, 0),
    (11007, "STATIC", "Ctrl+Enter - Run as Administrator", 47, 55, 102, 8, 0x50020000, 0),
]
NAMES = {1004: "IDC_COMMAND", 1: "IDOK", 2: "IDCANCEL", 1009: "IDC_BROWSE", 1006: "IDC_PROMPT",
         1005: "IDC_OPEN_LABEL", 1007: "IDC_DIALOG_ICON", 11007: "IDC_ELEVATE_HINT"}
# The table's row for the text of each control.
ROWS = {1: "IDS_OK", 2: "IDS_CANCEL", 1009: "IDS_BROWSE", 1006: "IDS_PROMPT",
        1005: "IDS_OPEN_LABEL", 11007: "IDS_ELEVATE_HINT"}
FIXED_VERSION = {"FileVersionMS": 0x10000, "FileVersionLS": 1, "ProductVersionMS": 0x10000,
                 "ProductVersionLS": 1, "FileFlagsMask": 0x3F, "FileFlags": 0, "FileOS": 4,
                 "FileType": 1, "FileSubtype": 0}
VERSION_STRINGS = {"FileVersion": "1, 0, 0, 1", "ProductVersion": "1, 0, 0, 1",
                   "FileDescription": "QuillGate Launcher Application", "InternalName": "quillgate",
                   "OriginalFilename": "quillgate.exe", "ProductName": "QuillGate"}
CLASSES = {0x80: "BUTTON", 0x82: "STATIC", 0x85: "COMBOBOX"}  # a class by ordinal or by name
# Only what every Windows program loads anyway: the shell's DLLs are looked up when first needed.
START_DLLS = ["kernel32.dll", "msvcrt.dll", "user32.dll"]
failures = []


def expect(what, got, wanted):
    if got != wanted:
        failures.append(f"{what}: {got!r}, expected {wanted!r}")


def field(data, at):
    """A string-or-ordinal field of a dialog template: (value, offset after it)."""
    if struct.unpack_from("<H", data, at)[0] == 0xFFFF:
        return struct.unpack_from("<H", data, at + 2)[0], at + 4
    end = next(i for i in range(at, len(data), 2) if data[i:i + 2] == b"\0\0")
    return data[at:end].decode("utf-16-le"), end + 2


def check_template(data, texts=None, typeface=(8, "MS Sans Serif"), room="-"):
    """`texts`: a language's text for each control id, in place of the English; `room`, what
    its texts take beyond the English layout."""
    places, size = make_strings.placed({NAMES[c[0]]: list(c[3:7]) for c in CONTROLS}, [251, 97],
                                       room)
    _, sig, _, exstyle, style, count, *rect = struct.unpack_from("<HHIIIH4h", data)
    expect("template", (sig, exstyle, style, count, rect),
           (0xFFFF, 0x40010, 0x90C800C0, len(CONTROLS), [0, 0, *size]))
    menu, at = field(data, 26)
    klass, at = field(data, at)
    caption, at = field(data, at)
    font = struct.unpack_from("<HHBB", data, at)
    face, at = field(data, at + 6)
    expect("caption, font", (menu, klass, caption, font, face),
           ("", "", "QuillGate", (typeface[0], 0, 0, 1), typeface[1]))
    for wanted in CONTROLS:
        if texts:
            wanted = (*wanted[:2], texts.get(wanted[0], wanted[2]), *places[NAMES[wanted[0]]],
                      *wanted[7:])
        _, ex, st, x, y, cx, cy, ident = struct.unpack_from("<III4hI", data, (at + 3) & ~3)
        klass, at = field(data, ((at + 3) & ~3) + 24)
        text, at = field(data, at)
        at += 2 + struct.unpack_from("<H", data, at)[0]
        expect(f"control {ident}", (ident, CLASSES.get(klass, str(klass).upper()), text, x, y, cx,
                                    cy, st, ex), wanted)


def check_languages(by_language):
    """Every text of the table in every language, as the string tables and dialogs hold them."""
    columns, table = make_strings.read_table()
    ids = {name: int(value) for name, value in re.findall(r"#define (IDS_\w+) (\d+)",
                                                             make_strings.HERE.joinpath(
                                                                 "resource.h").read_text())}
    langids = {make_strings.LANGUAGES[c][2]: c for c in columns}
    expect("languages of the dialog", sorted(by_language[(5, 1001)]), sorted(langids))
    for block in {i >> 4 for i in ids.values()}:
        expect(f"languages of texts {block * 16}-{block * 16 + 15}",
               sorted(by_language[(6, block + 1)]), sorted(langids))
    for langid, column in langids.items():
        for name, ident in ids.items():
            data, at = by_language[(6, (ident >> 4) + 1)].get(langid, b""), 0
            for _ in range(ident & 15):
                at += 2 + 2 * struct.unpack_from("<H", data, at)[0]
            size = struct.unpack_from("<H", data, at)[0] if data else 0
            expect(f"{column} {name}", data[at + 2:at + 2 + 2 * size].decode("utf-16-le"),
                   table[name][column])
        points, face = table["DIALOG_FONT"][column].split(", ")
        texts = {ident: table[row][column] for ident, row in ROWS.items()}
        check_template(by_language[(5, 1001)][langid], texts, (int(points), face),
                       table[make_strings.ROOM_ROW][column])


def check_resources(pe):
    res, by_language = {}, {}
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        for entry in kind.directory.entries:
            key = (kind.id or str(kind.name), entry.id)
            for language in entry.directory.entries:
                data = language.data.struct
                by_language.setdefault(key, {})[language.id] = pe.get_data(data.OffsetToData,
                                                                           data.Size)
            res[key] = by_language[key].get(0x409, next(iter(by_language[key].values())))
    check_template(res[(5, 1001)])
    check_languages(by_language)
    expect("dialog layout record", res.get(("AFX_DIALOG_LAYOUT", 1001)), b"\0\0")
    for group in (1002, 1003):
        icons = [struct.unpack_from("<BBBBHHIH", res[(14, group)], 6 + 14 * n)
                 for n in range(struct.unpack_from("<H", res[(14, group)], 4)[0])]
        expect(f"icon group {group}", [(i[0] or 256, i[5]) for i in icons],
               [(size, 32) for size in (128, 96, 72, 64, 48, 32, 24, 16)])
    expect("lowest icon group", min(i for k, i in res if k == 14), 1002)
    v = pe.VS_FIXEDFILEINFO[0]
    expect("fixed version", [getattr(v, f) for f in FIXED_VERSION], list(FIXED_VERSION.values()))
    table = next(f for f in pe.FileInfo[0] if f.Key == b"StringFileInfo").StringTable[0]
    strings = {k.decode(): v.decode() for k, v in table.entries.items()}
    expect("version strings", (table.LangID, {k: strings.get(k) for k in VERSION_STRINGS}),
           (b"040904b0", VERSION_STRINGS))
    expect("maker", bool(strings.get("CompanyName") and strings.get("LegalCopyright")), True)
    manifest = {e.tag.split("}")[-1]: e for e in ET.fromstring(res[(24, 1)]).iter()}
    level = manifest["requestedExecutionLevel"]
    themed = manifest["dependentAssembly"][0].attrib  # the version-6 common controls
    expect("manifest", (level.get("level"), level.get("uiAccess"), manifest["dpiAware"].text,
                        manifest["dpiAwareness"].text.split(",")[0], themed.get("name"),
                        themed.get("version")), ("asInvoker", "false", "true", "PerMonitorV2",
                                                 "Microsoft.Windows.Common-Controls", "6.0.0.0"))


pe = pefile.PE(sys.argv[2])
check_resources(pe)
expect("imports", sorted({i.dll.decode().lower() for i in pe.DIRECTORY_ENTRY_IMPORT}), START_DLLS)
expect("machine, subsystem", (pe.FILE_HEADER.Machine, pe.OPTIONAL_HEADER.Subsystem),
       ({"4": 0x14c, "8": 0x8664}[sys.argv[1]], 2))  # a GUI program
print("\n".join(failures))
print(f"{0 if failures else 1} passed, {1 if failures else 0} failed")
sys.exit(1 if failures else 0)
