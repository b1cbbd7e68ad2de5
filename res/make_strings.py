#!/usr/bin/env python3
"""Writes strings.rc from strings.tsv: per language a string table and the launcher's dialog.

The dialog of each language is the English one in quillgate.rc with that language's texts and
font, so its layout has one source. Run it after editing the table:
    python3 res/make_strings.py
The resource tests compare the built executable with the table, so a stale strings.rc fails.
"""
import pathlib
import re
import sys

HERE = pathlib.Path(__file__).resolve().parent
# Windows' language and sublanguage for each column of the table, and the LANGID they make.
LANGUAGES = {
    "en-US": ("LANG_ENGLISH", "SUBLANG_ENGLISH_US", 0x0409),
    "de-DE": ("LANG_GERMAN", "SUBLANG_GERMAN", 0x0407),
    "fr-FR": ("LANG_FRENCH", "SUBLANG_FRENCH", 0x040C),
    "es-ES": ("LANG_SPANISH", "SUBLANG_SPANISH_MODERN", 0x0C0A),
    "it-IT": ("LANG_ITALIAN", "SUBLANG_ITALIAN", 0x0410),
    "pt-BR": ("LANG_PORTUGUESE", "SUBLANG_PORTUGUESE_BRAZILIAN", 0x0416),
    "nl-NL": ("LANG_DUTCH", "SUBLANG_DUTCH", 0x0413),
    "pl-PL": ("LANG_POLISH", "SUBLANG_DEFAULT", 0x0415),
    "ru-RU": ("LANG_RUSSIAN", "SUBLANG_DEFAULT", 0x0419),
    "tr-TR": ("LANG_TURKISH", "SUBLANG_DEFAULT", 0x041F),
    "ja-JP": ("LANG_JAPANESE", "SUBLANG_DEFAULT", 0x0411),
    "ko-KR": ("LANG_KOREAN", "SUBLANG_DEFAULT", 0x0412),
    "zh-CN": ("LANG_CHINESE", "SUBLANG_CHINESE_SIMPLIFIED", 0x0804),
    "zh-TW": ("LANG_CHINESE", "SUBLANG_CHINESE_TRADITIONAL", 0x0404),
}
FONT_ROW = "DIALOG_FONT"  # "points, face" of the language's dialog
# The room the language's texts take beyond the English layout, in dialog units, or "-":
# "prompt 173x24, label 22, buttons 57, hint 180". Measured as the launcher fits them at 100%:
# a template that already gives it leaves the launcher nothing to move before its window shows.
ROOM_ROW = "DIALOG_ROOM"
MARGIN = 7  # the dialog's left margin, in dialog units, that nothing may cross


def read_table():
    lines = (HERE / "strings.tsv").read_text(encoding="utf-8").splitlines()
    header = lines[0].split("\t")
    table = {}
    for number, line in enumerate(lines[1:], 2):
        cells = line.split("\t")
        if len(cells) != len(header) or not all(cells):
            sys.exit(f"strings.tsv:{number}: {cells[0]} lacks a text in some language")
        table[cells[0]] = dict(zip(header[1:], cells[1:]))
    unknown = set(header[1:]) - set(LANGUAGES)
    if header[1] != "en-US" or unknown:
        sys.exit(f"strings.tsv: English first, then languages of {sorted(LANGUAGES)}")
    return header[1:], table


def literal(text):
    """A wide string literal both windres and rc.exe read alike: ASCII, the rest as \\x escapes."""
    out = []
    for c in text:
        if ord(c) > 0xFFFF:
            sys.exit(f"{text!r}: only the Basic Multilingual Plane")
        out.append('""' if c == '"' else c if 32 <= ord(c) < 127 else f"\\x{ord(c):04x}")
    return 'L"' + "".join(out) + '"'


def english_dialog():
    script = (HERE / "quillgate.rc").read_text(encoding="utf-8")
    return re.search(r"^IDD_LAUNCHER_DIALOG DIALOGEX.*?^END$", script, re.S | re.M).group(0)


def placed(controls, size, room):
    """The English `controls` ({id name: [x, y, cx, cy]}) and dialog `size` ([cx, cy]) given a
    language's `room`, as the launcher itself fits them: the prompt and the hint wider (up to
    the command box's right edge) and the prompt taller, with all below it moved down and the
    dialog grown; the label wider leftwards; the buttons all as wide, keeping their gaps and the
    row's right edge."""
    c = {name: list(place) for name, place in controls.items()}
    size = list(size)
    want, shapes = {}, {"prompt": 2, "label": 1, "buttons": 1, "hint": 1}  # numbers each takes
    for part in [] if room == "-" else room.split(", "):
        name, _, numbers = part.partition(" ")
        if shapes.get(name) != len(numbers.split("x")) or not numbers.replace("x", "").isdigit():
            sys.exit(f"{room!r}: only prompt WxH, label W, buttons W and hint W")
        want[name] = [int(n) for n in numbers.split("x")]
    right = c["IDC_COMMAND"][0] + c["IDC_COMMAND"][2]
    if "prompt" in want:
        prompt = c["IDC_PROMPT"]
        bottom, grow = prompt[1] + prompt[3], want["prompt"][1] - prompt[3]
        for place in c.values():
            place[1] += grow if place[1] >= bottom else 0
        prompt[2:] = want["prompt"]
        size[1] += grow
    if "label" in want:
        label = c["IDC_OPEN_LABEL"]
        label[0:3:2] = [label[0] + label[2] - want["label"][0], want["label"][0]]
    if "buttons" in want:
        row = [c[name] for name in ("IDC_BROWSE", "IDCANCEL", "IDOK")]  # right to left
        gaps = [0] + [row[i][0] - row[i + 1][0] - row[i + 1][2] for i in range(len(row) - 1)]
        edge = row[0][0] + row[0][2]
        for place, gap in zip(row, gaps):
            place[0:3:2] = [edge - gap - want["buttons"][0], want["buttons"][0]]
            edge = place[0]
    if "hint" in want:
        c["IDC_ELEVATE_HINT"][2] = want["hint"][0]
    if (min(place[0] for place in c.values()) < MARGIN or
            max(c[n][0] + c[n][2] for n in ("IDC_PROMPT", "IDC_ELEVATE_HINT")) > right):
        sys.exit(f"{room!r}: texts reach past the command box or the dialog's margin")
    return c, size


def dialog(template, table, language):
    """The English template with `language`'s texts: each control's text is the IDS_ row its id
    names (IDOK: IDS_OK, IDC_PROMPT: IDS_PROMPT)."""
    def text(match):
        if not match.group(2):  # the command box's
            return match.group(0)
        row = "IDS_" + match.group(4).removeprefix("IDC_").removeprefix("ID")
        english = match.group(2).replace('""', '"')
        if table[row]["en-US"] != english:
            sys.exit(f"quillgate.rc says {english!r} where strings.tsv's {row} says otherwise")
        return match.group(1) + literal(table[row][language]) + "," + match.group(3) + match.group(4)

    size, face = table[FONT_ROW][language].split(", ")
    english_size, english_face = table[FONT_ROW]["en-US"].split(", ")
    if f'FONT {english_size}, "{english_face}", 0, 0, 0x1' not in template:
        sys.exit("quillgate.rc's dialog font is not strings.tsv's English one")
    template = re.sub(r"^FONT .*$", f'FONT {size}, "{face}", 0, 0, 0x1', template, flags=re.M)
    controls, size = places(template)
    controls, size = placed(controls, size, table[ROOM_ROW][language])
    template = re.sub(PLACE, lambda m: m.group(1) + ", ".join(map(str, controls[m.group(2)])),
                      template, flags=re.S)
    template = re.sub(r"(DIALOGEX 0, 0), \d+, \d+", rf"\1, {size[0]}, {size[1]}", template)
    return re.sub(r'(CONTROL\s+)"((?:[^"]|"")*)",(\s*)(ID\w+)', text, template)


# A control of the template, up to its place: the id it names, then x, y, cx and cy.
PLACE = r'(CONTROL\s+(?:"(?:[^"]|"")*"|\w+),\s*(ID\w+),[^;]*?)(\d+, \d+, \d+, \d+)'


def places(template):
    """The places of the controls of `template` and the dialog's size."""
    controls = {m.group(2): [int(n) for n in m.group(3).split(", ")]
                for m in re.finditer(PLACE, template, re.S)}
    size = [int(n) for n in re.search(r"DIALOGEX 0, 0, (\d+), (\d+)", template).groups()]
    return controls, size


def main():
    languages, table = read_table()
    defined = set(re.findall(r"#define (IDS_\w+)", (HERE / "resource.h").read_text()))
    rows = [row for row in table if row not in (FONT_ROW, ROOM_ROW)]
    if defined != set(rows):
        sys.exit(f"resource.h and strings.tsv name different texts: {defined ^ set(rows)}")
    about = re.search(r'#define QG_ABOUT_TEXT \\\n\s*"(.*)"', (HERE / "version.h").read_text())[1]
    # Translated words around the version, the years and the address, which stay.
    kept = [word for word in about.split() if re.search(r"\d|://", word)]
    if table["IDS_ABOUT_TEXT"]["en-US"] != about:
        sys.exit("strings.tsv's IDS_ABOUT_TEXT is not version.h's QG_ABOUT_TEXT")
    for language in languages:
        if not all(word in table["IDS_ABOUT_TEXT"][language] for word in kept):
            sys.exit(f"{language}'s IDS_ABOUT_TEXT lacks one of {kept}")
    template = english_dialog()
    out = ["// Generated by make_strings.py from strings.tsv: edit the table, then run the script.",
           "// Texts are wide literals with every non-ASCII letter escaped, as rc.exe and windres",
           "// then read them alike whatever code page either assumes.", ""]
    for language in languages:
        out.append(f"LANGUAGE {', '.join(LANGUAGES[language][:2])}")
        if language != "en-US":  # the English dialog is quillgate.rc's own
            out += [dialog(template, table, language), ""]
        out += ["STRINGTABLE", "BEGIN"]
        out += [f"    {row} {literal(table[row][language])}" for row in rows]
        out += ["END", ""]
    out.append("LANGUAGE LANG_ENGLISH, SUBLANG_ENGLISH_US")
    (HERE / "strings.rc").write_text("\n".join(out) + "\n", encoding="ascii")


if __name__ == "__main__":
    main()
