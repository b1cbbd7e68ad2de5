#!/usr/bin/env python3
"""Checks the resources compiled into the launcher, field by field.

Reads the resource section of a built PE executable (any machine, so the 32-bit build is
checked on this host too) or a compiled .res file, and compares the dialog template, its
layout record, the icon groups, the version record and the manifest with what the program and
Windows expect. The version strings are compared with res/version.h, the one header that feeds
both the code and the resource script.

Usage:
  check_resources.py [--version-header res/version.h] FILE.exe|FILE.res
  check_resources.py [--version-header ...] --rc-compiler llvm-rc [--include DIR]... FILE.rc
    (compiles FILE.rc with Microsoft rc syntax first, then checks the .res)

The last line of output is "N passed, M failed".
"""
import argparse
import os
import re
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

RT_ICON, RT_DIALOG, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 5, 14, 16, 24

IDD_LAUNCHER_DIALOG, IDI_MAIN, IDI_LAUNCHER = 1001, 1002, 1003
ICON_SIZES = [128, 96, 72, 64, 48, 32, 24, 16]

DIALOG = {
    "caption": "QuillGate",
    "font": ("MS Sans Serif", 8, 0, 0, 1),  # face, points, weight, italic, charset
    "rect": (0, 0, 251, 97),
    "style": 0x90C800C0,
    "exstyle": 0x00040010,
}
PROMPT = ("Type the name of a program, folder, document, or Internet resource, and Windows will "
          "open it for you")
# id, class, text (str, or int for an ordinal), (x, y, cx, cy), style, extended style
CONTROLS = [
    (1004, "ComboBox", "", (46, 38, 181, 69), 0x50210042, 0x10),
    (1, "Button", "OK", (67, 70, 50, 14), 0x50010000, 0),
    (2, "Button", "Cancel", (123, 70, 50, 14), 0x50010000, 0),
    (1009, "Button", "Browse...", (177, 70, 50, 14), 0x50010000, 0),
    (1006, "Static", PROMPT, (54, 16, 166, 20), 0x50020000, 0),
    (1005, "Static", "Open", (18, 41, 18, 8), 0x50020000, 0),
    (1007, "Static", IDI_LAUNCHER, (16, 14, 20, 20), 0x50000003, 0),
    (11007, "Static", "Ctrl+Enter - Run as Administrator", (47, 55, 102, 8), 0x50020000, 0),
]
# The predefined window classes a template may name by ordinal.
CLASS_ORDINALS = {0x80: "Button", 0x81: "Edit", 0x82: "Static", 0x83: "ListBox",
                  0x84: "ScrollBar", 0x85: "ComboBox"}

FIXED_VERSION = {
    "file version": (1, 0, 0, 1),
    "product version": (1, 0, 0, 1),
    "flags mask": 0x3F,
    "flags": 0,
    "OS": 4,  # VOS__WINDOWS32
    "type": 1,  # VFT_APP
    "subtype": 0,
}
STRING_FIELDS = {  # version field -> the version.h macro that feeds it
    "CompanyName": "QG_COMPANY_NAME",
    "FileDescription": "QG_FILE_DESCRIPTION",
    "FileVersion": "QG_VERSION_STRING",
    "InternalName": "QG_INTERNAL_NAME",
    "LegalCopyright": "QG_LEGAL_COPYRIGHT",
    "OriginalFilename": "QG_ORIGINAL_FILENAME",
    "ProductName": "QG_PRODUCT_NAME",
    "ProductVersion": "QG_VERSION_STRING",
}
FIXED_STRINGS = {
    "FileVersion": "1, 0, 0, 1",
    "ProductVersion": "1, 0, 0, 1",
    "FileDescription": "QuillGate Launcher Application",
    "InternalName": "quillgate",
    "OriginalFilename": "quillgate.exe",
    "ProductName": "QuillGate",
}


class FormatError(Exception):
    pass


def u16(data, off):
    if off + 2 > len(data):
        raise FormatError(f"read past the end at {off}")
    return struct.unpack_from("<H", data, off)[0]


def u32(data, off):
    if off + 4 > len(data):
        raise FormatError(f"read past the end at {off}")
    return struct.unpack_from("<I", data, off)[0]


def wstr(data, off):
    """A NUL-terminated UTF-16LE string at off: (text, offset after the NUL)."""
    end = off
    while u16(data, end) != 0:
        end += 2
    return data[off:end].decode("utf-16-le"), end + 2


def sz_or_ord(data, off):
    """A template's name-or-ordinal field: (int or str, offset after it)."""
    if u16(data, off) == 0xFFFF:
        return u16(data, off + 2), off + 4
    return wstr(data, off)


def align4(off):
    return (off + 3) & ~3


# ---- resource containers: {(type, name): {language: bytes}}, type and name int or str ----

def read_pe(data):
    if data[:2] != b"MZ":
        raise FormatError("no MZ header")
    pe = u32(data, 0x3C)
    if data[pe:pe + 4] != b"PE\0\0":
        raise FormatError("no PE signature")
    sections, opt_size = u16(data, pe + 6), u16(data, pe + 20)
    opt = pe + 24
    magic = u16(data, opt)
    dirs = {0x10B: opt + 96, 0x20B: opt + 112}.get(magic)
    if dirs is None:
        raise FormatError(f"unknown optional header magic {magic:#x}")
    rsrc_rva = u32(data, dirs + 2 * 8)
    if not rsrc_rva:
        raise FormatError("no resource directory")
    table = opt + opt_size
    spans = []
    for i in range(sections):
        s = table + 40 * i
        vsize, va, raw_size, raw_ptr = struct.unpack_from("<IIII", data, s + 8)
        spans.append((va, max(vsize, raw_size), raw_ptr))

    def at(rva):
        for va, size, raw in spans:
            if va <= rva < va + size:
                return raw + rva - va
        raise FormatError(f"RVA {rva:#x} lies in no section")

    base = at(rsrc_rva)

    def key(name):
        if name & 0x80000000:
            return wstr_counted(data, base + (name & 0x7FFFFFFF))
        return name

    def directory(off):
        named, ids = u16(data, off + 12), u16(data, off + 14)
        for i in range(named + ids):
            name, target = struct.unpack_from("<II", data, off + 16 + 8 * i)
            yield key(name), target

    def subdirectory(target):
        if not target & 0x80000000:
            raise FormatError("resource tree is not three levels deep")
        return directory(base + (target & 0x7FFFFFFF))

    resources = {}
    for rtype, t in directory(base):
        for rname, n in subdirectory(t):
            for lang, leaf in subdirectory(n):
                if leaf & 0x80000000:
                    raise FormatError("resource tree is deeper than three levels")
                rva, size = struct.unpack_from("<II", data, base + leaf)
                off = at(rva)
                resources.setdefault((rtype, rname), {})[lang] = data[off:off + size]
    return resources


def wstr_counted(data, off):
    n = u16(data, off)
    return data[off + 2:off + 2 + 2 * n].decode("utf-16-le")


def read_res(data):
    resources = {}
    off = 0
    while off + 8 <= len(data):
        size, header = u32(data, off), u32(data, off + 4)
        rtype, p = sz_or_ord(data, off + 8)
        rname, p = sz_or_ord(data, p)
        p = align4(p)
        lang = u16(data, p + 6)
        body = off + header
        if rtype != 0:  # the leading empty entry marks a 32-bit .res file
            resources.setdefault((rtype, rname), {})[lang] = data[body:body + size]
        off = align4(body + size)
    return resources


def normalise(resources):
    """Names compare case-insensitively, as Windows looks them up."""
    return {tuple(k.upper() if isinstance(k, str) else k for k in key): langs
            for key, langs in resources.items()}


# ---- the checks ----

class Report:
    def __init__(self):
        self.passed = self.failed = 0

    def check(self, name, problems):
        problems = [p for p in problems if p]
        if problems:
            self.failed += 1
            print(f"FAIL {name}")
            for p in problems:
                print(f"     {p}")
        else:
            self.passed += 1
            print(f"ok   {name}")


def differ(what, got, want):
    return None if got == want else f"{what}: got {got!r}, expected {want!r}"


def one(resources, rtype, rname):
    """The single language version of a resource, or None with a reason."""
    langs = resources.get((rtype, rname))
    if not langs:
        return None, f"resource {rname!r} of type {rtype!r} is missing"
    if len(langs) != 1:
        return None, f"resource {rname!r} of type {rtype!r} has {len(langs)} languages"
    return next(iter(langs.values())), None


def check_icons(report, res):
    groups = sorted(name for (rtype, name) in res if rtype == RT_GROUP_ICON)
    report.check("icon groups: IDI_MAIN (1002) is the lowest icon-group id", [
        differ("icon-group ids", [g for g in groups if g in (IDI_MAIN, IDI_LAUNCHER)],
               [IDI_MAIN, IDI_LAUNCHER]),
        None if groups and groups[0] == IDI_MAIN else f"lowest icon group is {groups[:1]}",
    ])
    images = {}
    for group in (IDI_MAIN, IDI_LAUNCHER):
        problems = []
        data, why = one(res, RT_GROUP_ICON, group)
        if data is None:
            report.check(f"icon group {group}", [why])
            continue
        reserved, kind, count = struct.unpack_from("<HHH", data, 0)
        problems.append(differ("header (reserved, type)", (reserved, kind), (0, 1)))
        problems.append(differ("image count", count, len(ICON_SIZES)))
        sizes, blobs = [], []
        for i in range(count):
            w, h, colors, _, planes, bpp, nbytes, icon_id = struct.unpack_from(
                "<BBBBHHIH", data, 6 + 14 * i)
            w, h = w or 256, h or 256
            sizes.append(w)
            if w != h or bpp != 32 or colors != 0 or planes != 1:
                problems.append(f"entry {i}: {w}x{h}, {bpp} bpp, {colors} colours, "
                                f"{planes} planes (expected square, 32 bpp, 0, 1)")
            image, why = one(res, RT_ICON, icon_id)
            if image is None:
                problems.append(f"entry {i}: {why}")
                continue
            blobs.append(image)
            if len(image) != nbytes:
                problems.append(f"entry {i}: icon {icon_id} holds {len(image)} bytes, group "
                                f"says {nbytes}")
            if image[:8] == b"\x89PNG\r\n\x1a\n":
                problems.append(f"entry {i}: icon {icon_id} is PNG, not a bitmap")
                continue
            hsize, bw, bh, _, bbits = struct.unpack_from("<IiiHH", image, 0)
            problems.append(differ(f"entry {i} bitmap (header, width, height, bpp)",
                                   (hsize, bw, bh, bbits), (40, w, 2 * h, 32)))
        problems.append(differ("image sizes", sizes, ICON_SIZES))
        images[group] = blobs
        report.check(f"icon group {group}: eight 32-bit bitmaps, 128 to 16 px", problems)
    if len(images) == 2:
        report.check("icon groups 1002 and 1003 hold the same images",
                     [None if images[IDI_MAIN] == images[IDI_LAUNCHER] else "images differ"])


def parse_version_node(data, off):
    """One node of a VS_VERSIONINFO tree: (key, value, children, offset after the node)."""
    length, value_length, kind = struct.unpack_from("<HHH", data, off)
    if length < 6:
        raise FormatError(f"version node at {off} has length {length}")
    end = off + length
    key, p = wstr(data, off + 6)
    p = align4(p)
    if kind == 1:  # text; compilers disagree whether the length counts bytes or characters
        value = wstr(data, p)[0] if value_length else ""
        p += 2 * value_length
    else:
        value = data[p:p + value_length]
        p += value_length
    children = []
    p = align4(p)
    while p < end:
        child = parse_version_node(data, p)
        children.append(child[:3])
        p = align4(child[3])
    return key, value, children, end


def read_version_header(path):
    macros = {}
    text = re.sub(r"\\\n", " ", open(path, encoding="utf-8").read())
    define = re.compile(r"^[ \t]*#[ \t]*define[ \t]+(\w+)[ \t]+(.+?)[ \t]*$", re.M)
    for name, value in define.findall(text):
        macros[name] = value
    strings = {name: c_string(value) for name, value in macros.items()
               if value.startswith('"')}
    numbers = [macros.get(f"QG_VERSION_{part}") for part in ("MAJOR", "MINOR", "PATCH", "BUILD")]
    return strings, numbers


def c_string(literal):
    m = re.fullmatch(r'"((?:[^"\\]|\\.)*)"', literal)
    if not m:
        raise FormatError(f"not one plain string literal: {literal}")
    return m.group(1).encode().decode("unicode_escape")


def check_version(report, res, header):
    data, why = one(res, RT_VERSION, 1)
    if data is None:
        report.check("version record", [why])
        return
    key, fixed, children, _ = parse_version_node(data, 0)
    (sig, struc, fms, fls, pms, pls, mask, flags, os_, ftype, sub) = struct.unpack_from(
        "<11I", fixed + bytes(52), 0)
    split = lambda ms, ls: (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
    got = {"file version": split(fms, fls), "product version": split(pms, pls),
           "flags mask": mask, "flags": flags, "OS": os_, "type": ftype, "subtype": sub}
    report.check("version record: fixed part", [
        differ("key", key, "VS_VERSION_INFO"),
        differ("fixed part size", len(fixed), 52),
        differ("signature", sig, 0xFEEF04BD),
        differ("structure version", struc, 0x10000),
    ] + [differ(name, got[name], want) for name, want in FIXED_VERSION.items()])

    blocks = {k: c for k, _, c in children}
    tables = {k: c for k, _, c in blocks.get("StringFileInfo", [])}
    strings = {k: v for k, v, _ in tables.get("040904b0", [])}
    expected = dict(FIXED_STRINGS)
    problems = [differ("string tables", sorted(tables), ["040904b0"])]
    if header:
        macros, numbers = header
        problems.append(differ("version.h numbers vs QG_VERSION_STRING",
                               macros.get("QG_VERSION_STRING"), ", ".join(map(str, numbers))))
        for field, macro in STRING_FIELDS.items():
            if field not in expected:
                expected[field] = macros.get(macro)
            elif field != "ProductVersion":  # the same macro as FileVersion
                problems.append(differ(f"version.h {macro}", macros.get(macro), expected[field]))
    else:
        for field in ("CompanyName", "LegalCopyright"):
            expected[field] = strings.get(field)
    copyright_ = strings.get("LegalCopyright") or ""
    problems.append(None if re.search(r"\b(19|20)\d\d\b", copyright_)
                    else f"LegalCopyright {copyright_!r} names no year")
    problems.append(None if strings.get("CompanyName") else "CompanyName is empty")
    problems += [differ(f'"{f}"', strings.get(f), want) for f, want in sorted(expected.items())]
    extra = sorted(set(strings) - set(expected))
    problems.append(f"unexpected string fields {extra}" if extra else None)
    report.check('version record: string table "040904b0"', problems)

    var = {k: v for k, v, _ in blocks.get("VarFileInfo", [])}
    translation = var.get("Translation", b"")
    report.check("version record: translation 0x0409 / 0x04B0", [
        differ("Translation", struct.unpack(f"<{len(translation) // 2}H", translation),
               (0x0409, 0x04B0))])


def check_manifest(report, res):
    manifests = sorted((n for (t, n) in res if t == RT_MANIFEST), key=str)
    data, why = one(res, RT_MANIFEST, 1)
    if data is None:
        report.check("manifest", [why])
        return
    problems = [differ("manifest ids", manifests, [1])]
    try:
        root = ET.fromstring(data.decode("utf-8"))
    except (UnicodeDecodeError, ET.ParseError) as e:
        report.check("manifest: UTF-8 XML, asInvoker, uiAccess false, dpiAware true", [str(e)])
        return
    local = lambda el: el.tag.rsplit("}", 1)[-1]
    levels = [el.attrib for el in root.iter() if local(el) == "requestedExecutionLevel"]
    dpi = [(el.text or "").strip() for el in root.iter() if local(el) == "dpiAware"]
    problems.append(differ("requestedExecutionLevel", levels,
                           [{"level": "asInvoker", "uiAccess": "false"}]))
    problems.append(differ("dpiAware", dpi, ["true"]))
    report.check("manifest: UTF-8 XML, asInvoker, uiAccess false, dpiAware true", problems)


def class_name(cls):
    return CLASS_ORDINALS.get(cls, f"#{cls}") if isinstance(cls, int) else cls


def check_dialog(report, res):
    data, why = one(res, RT_DIALOG, IDD_LAUNCHER_DIALOG)
    if data is None:
        report.check("dialog template 1001", [why])
        return
    ver, sig, help_id, exstyle, style, count = struct.unpack_from("<HHIIIH", data, 0)
    rect = struct.unpack_from("<4h", data, 18)
    menu, p = sz_or_ord(data, 26)
    wclass, p = sz_or_ord(data, p)
    caption, p = wstr(data, p)
    problems = [
        differ("version, signature", (ver, sig), (1, 0xFFFF)),
        differ("help id", help_id, 0),
        differ("style", hex(style), hex(DIALOG["style"])),
        differ("extended style", hex(exstyle), hex(DIALOG["exstyle"])),
        differ("controls", count, len(CONTROLS)),
        differ("x, y, width, height", rect, DIALOG["rect"]),
        differ("menu", menu, ""),
        differ("class", wclass, ""),
        differ("caption", caption, DIALOG["caption"]),
    ]
    if style & 0x40:  # DS_SETFONT: the font follows the caption
        points, weight, italic, charset = struct.unpack_from("<HHBB", data, p)
        face, p = wstr(data, p + 6)
        problems.append(differ("font (face, points, weight, italic, charset)",
                               (face, points, weight, italic, charset), DIALOG["font"]))
    else:
        problems.append("no font (DS_SETFONT missing)")
    report.check("dialog template 1001: header", problems)

    for i in range(count):
        p = align4(p)
        c_help, c_ex, c_style = struct.unpack_from("<III", data, p)
        c_rect = struct.unpack_from("<4h", data, p + 12)
        c_id = u32(data, p + 20)
        cls, p = sz_or_ord(data, p + 24)
        text, p = sz_or_ord(data, p)
        extra = u16(data, p)
        p += 2 + extra
        if i >= len(CONTROLS):
            report.check(f"dialog control {i + 1}", [f"unexpected control {c_id}"])
            continue
        want_id, want_cls, want_text, want_rect, want_style, want_ex = CONTROLS[i]
        report.check(f"dialog control {i + 1}: {want_id} {want_cls}", [
            differ("id", c_id, want_id),
            differ("class", class_name(cls).lower(), want_cls.lower()),
            differ("text", text, want_text),
            differ("x, y, width, height", c_rect, want_rect),
            differ("style", hex(c_style), hex(want_style)),
            differ("extended style", hex(c_ex), hex(want_ex)),
            differ("help id", c_help, 0),
            differ("creation data bytes", extra, 0),
        ])
    layouts = [n for (t, n) in res if t == "AFX_DIALOG_LAYOUT"]
    layout, why = one(res, "AFX_DIALOG_LAYOUT", IDD_LAUNCHER_DIALOG)
    report.check("dialog layout record AFX_DIALOG_LAYOUT 1001 holds the 16-bit 0", [
        why, differ("layout ids", layouts, [IDD_LAUNCHER_DIALOG]),
        None if layout is None else differ("data", layout.hex(), "0000")])


def compile_rc(compiler, includes, rc, outdir):
    out = os.path.join(outdir, "quillgate.res")
    # llvm-rc reads any argument that starts with "/" as an option, so an absolute input
    # under, say, /check/... is taken for /C (code page) and the input goes missing. Option
    # values are safe; the input is named relative to its own folder.
    folder, name = os.path.split(os.path.abspath(rc))
    cmd = [compiler] + [a for d in includes for a in ("/I", os.path.abspath(d))]
    cmd += ["/FO", os.path.abspath(out), name]
    print(f"$ (cd {folder} && " + " ".join(cmd) + ")")
    run = subprocess.run(cmd, capture_output=True, text=True, cwd=folder)
    sys.stdout.write(run.stdout + run.stderr)
    return out if run.returncode == 0 else None


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("file", help="a PE executable, a .res file, or with --rc-compiler a .rc")
    ap.add_argument("--version-header", help="res/version.h, to compare the version strings")
    ap.add_argument("--rc-compiler", help="compile FILE with this rc-compatible compiler first")
    ap.add_argument("--include", action="append", default=[], help="include dir for it")
    args = ap.parse_args()

    report = Report()
    with tempfile.TemporaryDirectory() as tmp:
        path = args.file
        if args.rc_compiler:
            path = compile_rc(args.rc_compiler, args.include, path, tmp)
            report.check("resource script compiles with " + args.rc_compiler,
                         [None if path else "compiler failed"])
        if path:
            try:
                data = open(path, "rb").read()
                res = normalise(read_pe(data) if data[:2] == b"MZ" else read_res(data))
                header = read_version_header(args.version_header) if args.version_header else None
                check_icons(report, res)
                check_version(report, res, header)
                check_manifest(report, res)
                check_dialog(report, res)
            except (FormatError, struct.error, UnicodeDecodeError, OSError) as e:
                report.check(f"reading {path}", [f"{type(e).__name__}: {e}"])
    print(f"{report.passed} passed, {report.failed} failed")
    return 1 if report.failed or not report.passed else 0


if __name__ == "__main__":
    sys.exit(main())
