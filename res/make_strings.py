#!/usr/bin/env python3
"""Writes strings.rc from strings.tsv: per language a string table and the launcher's dialog.

The dialog of each language is the English one in quillgate.rc with that language's texts and
font; the launcher fits the texts to their controls as it shows it, at every scale, so no
language's layout is kept here.
    python3 res/make_strings.py            after editing the table: writes strings.rc
    python3 res/make_strings.py --check    fails if the table is not well formed or strings.rc
                                           is not what it makes
"""
import pathlib
import re
import sys
import unicodedata

HERE = pathlib.Path(__file__).resolve().parent
# The LANGIDs each column's texts are marked with, and the script of its letters. Windows and
# Wine look for a resource in the user's exact language, then in that language with the neutral
# sublanguage, then in English: one table marked neutral serves every region of its language.
# Chinese is written two ways: the neutral Chinese LANGID is Windows' zh-Hans, where zh-CN and
# zh-SG fall back, and the Traditional table is marked with each region that writes it, Taiwan,
# Hong Kong and Macao, which then find it at the first look on Windows and Wine alike.
LANGUAGES = {
    "en-US": ([0x0409], "LATIN"),
    "de-DE": ([0x0007], "LATIN"),
    "fr-FR": ([0x000C], "LATIN"),
    "es-ES": ([0x000A], "LATIN"),
    "it-IT": ([0x0010], "LATIN"),
    "pt-BR": ([0x0016], "LATIN"),
    "nl-NL": ([0x0013], "LATIN"),
    "pl-PL": ([0x0015], "LATIN"),
    "ru-RU": ([0x0019], "CYRILLIC"),
    "tr-TR": ([0x001F], "LATIN"),
    "ja-JP": ([0x0011], ("CJK", "HIRAGANA", "KATAKANA")),
    "ko-KR": ([0x0012], "HANGUL"),
    "zh-CN": ([0x0004], "CJK"),
    "zh-TW": ([0x0404, 0x0C04, 0x1404], "CJK"),
}
FONT_ROW = "DIALOG_FONT"  # "points, face" of the language's dialog


def read_table():
    """The table's languages and {row: {language: text}}, once every cell is sound."""
    lines = (HERE / "strings.tsv").read_text(encoding="utf-8").splitlines()
    header = lines[0].split("\t")
    if header[1] != "en-US" or set(header[1:]) - set(LANGUAGES):
        sys.exit(f"strings.tsv: English first, then languages of {sorted(LANGUAGES)}")
    table = {}
    for number, line in enumerate(lines[1:], 2):
        cells = line.split("\t")
        if len(cells) != len(header) or not all(c.strip() == c != "" for c in cells):
            sys.exit(f"strings.tsv:{number}: {cells[0]} lacks a text, or one has spaces around it")
        row = table[cells[0]] = dict(zip(header[1:], cells[1:]))
        for language, text in row.items():
            # Its arguments and its menu key, as the English has them, and its own letters.
            marks = sorted(re.findall(r"%\d|&", text.replace("&&", "")))
            if marks != sorted(re.findall(r"%\d|&", row["en-US"].replace("&&", ""))):
                sys.exit(f"strings.tsv:{number}: {language} has not the English's % and & marks")
            foreign = {c for c in text if c.isalpha() and c not in row["en-US"] and ord(c) > 127}
            if any(not unicodedata.name(c, "").startswith(LANGUAGES[language][1]) for c in foreign):
                sys.exit(f"strings.tsv:{number}: {language} has letters of another script")
    return header[1:], table


def literal(text):
    """A wide string literal both windres and rc.exe read alike: ASCII, the rest as \\x escapes."""
    out = []
    for c in text:
        if ord(c) > 0xFFFF:
            sys.exit(f"{text!r}: only the Basic Multilingual Plane")
        out.append('""' if c == '"' else c if 32 <= ord(c) < 127 else f"\\x{ord(c):04x}")
    return 'L"' + "".join(out) + '"'


def dialog(template, table, language):
    """The English template with `language`'s texts and font: each control's text is the IDS_ row
    its id names (IDOK: IDS_OK, IDC_PROMPT: IDS_PROMPT)."""
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
    return re.sub(r'(CONTROL\s+)"((?:[^"]|"")*)",(\s*)(ID\w+)', text, template)


def script():
    """strings.rc as the table makes it."""
    languages, table = read_table()
    defined = set(re.findall(r"#define (IDS_\w+)", (HERE / "resource.h").read_text()))
    rows = [row for row in table if row != FONT_ROW]
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
    template = re.search(r"^IDD_LAUNCHER_DIALOG DIALOGEX.*?^END$",
                         (HERE / "quillgate.rc").read_text(encoding="utf-8"), re.S | re.M).group(0)
    out = ["// Generated by make_strings.py from strings.tsv: edit the table, then run the script.",
           "// Texts are wide literals with every non-ASCII letter escaped, as rc.exe and windres",
           "// then read them alike whatever code page either assumes.", ""]
    for language in languages:
        for langid in LANGUAGES[language][0]:
            out.append(f"LANGUAGE {langid & 0x3FF:#04x}, {langid >> 10:#04x}  // {language}")
            if language != "en-US":  # the English dialog is quillgate.rc's own
                out += [dialog(template, table, language), ""]
            out += ["STRINGTABLE", "BEGIN"]
            out += [f"    {row} {literal(table[row][language])}" for row in rows]
            out += ["END", ""]
    out.append("LANGUAGE LANG_ENGLISH, SUBLANG_ENGLISH_US")
    return "\n".join(out) + "\n"


if __name__ == "__main__":
    made, target = script(), HERE / "strings.rc"
    if sys.argv[1:] == ["--check"]:
        if target.read_text(encoding="ascii") != made:
            sys.exit("strings.rc is not what strings.tsv makes: run python3 res/make_strings.py")
    else:
        target.write_text(made, encoding="ascii")
