"""What the launcher's end-to-end tests share, on top of the GUI test bed (tests/gui/harness.py).

Each start of the launcher gets a folder of its own under C:\\qge2e holding a copy of
quillgate.exe, so the history beside it belongs to that one test. The launched programs are
played by recorder.exe, which writes its command line and working folder to a file; a test
file type (.qgt) whose "open" and "runas" verbs both run the recorder, with the verb as the
first argument, shows which verb the shell used.
"""

import glob
import os
import re
import shutil
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "gui"))
import harness  # noqa: E402

TITLE = "QuillGate"
IDC_COMMAND = 1004
IDOK = 1
IDCANCEL = 2
ROOT = r"C:\qge2e"
RECORDER = ROOT + r"\recorder.exe"
DOCUMENT = ROOT + r"\doc.qgt"
RECORD = ROOT + r"\record.txt"
SYSTEM_DIRECTORY = r"C:\windows\system32"
# Long enough for a program the shell started to have written its record.
SETTLE = 1.0

_RECORD_LINE = re.compile(r'^"[^"]*recorder\.exe" (open|runas) "([^"]*)" ?(.*)$', re.I)


def _registry_text():
    recorder = RECORDER.replace("\\", "\\\\")
    lines = ["Windows Registry Editor Version 5.00", "",
             r"[HKEY_CLASSES_ROOT\.qgt]", '@="qgtfile"', ""]
    for verb in ("open", "runas"):
        lines += [rf"[HKEY_CLASSES_ROOT\qgtfile\shell\{verb}\command]",
                  rf'@="\"{recorder}\" {verb} \"%1\" %*"', ""]
    return "\r\n".join(lines)


class Bed:
    """The launcher, the recorder and the test file type in the session's Wine prefix."""

    def __init__(self, session):
        self.s = session
        self.wine = session.wine
        self.launcher_exe = os.environ["QG_LAUNCHER_EXE"]
        root = self.wine.unix_path(ROOT)
        os.makedirs(root, exist_ok=True)
        shutil.copy(os.environ["QG_RECORDER_EXE"], self.wine.unix_path(RECORDER))
        with open(self.wine.unix_path(DOCUMENT), "w") as document:
            document.write("a document of the end-to-end tests' own type\n")
        reg = os.path.join(root, "qgt.reg")
        with open(reg, "w", newline="") as out:
            out.write(_registry_text())
        code, output = self.wine.run("regedit", ["/S", ROOT + r"\qgt.reg"])
        if code != 0:
            raise harness.HarnessError(f"regedit failed ({code}): {output!r}")

    # Folders and files.

    def folder(self, name, history=b""):
        """A fresh folder C:\\qge2e\\<name> with a copy of the launcher; `history` (bytes) is
        written beside it as quillgate.ini unless it is None. Returns the Linux path."""
        folder = self.wine.unix_path(ROOT + "\\" + name)
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        shutil.copy(self.launcher_exe, os.path.join(folder, "quillgate.exe"))
        if history is not None:
            with open(os.path.join(folder, "quillgate.ini"), "wb") as out:
                out.write(history)
        return folder

    def documents(self):
        """The Linux path of the prefix user's Documents folder."""
        found = [path for path in glob.glob(os.path.join(self.wine.drive_c, "users", "*",
                                                         "Documents"))
                 if os.sep + "Public" + os.sep not in path]
        if len(found) != 1:
            raise harness.HarnessError(f"cannot tell the Documents folder: {found}")
        return os.path.realpath(found[0])

    @staticmethod
    def read(path):
        """A file's bytes, or None when there is none."""
        try:
            with open(path, "rb") as file:
                return file.read()
        except FileNotFoundError:
            return None

    # The launcher.

    def start(self, folder):
        """Starts the launcher in `folder`, waits for its dialog; returns the App."""
        self.clear_record()
        app = self.s.launch(os.path.join(folder, "quillgate.exe"),
                            env={"QG_RECORDER_OUTPUT": RECORD})
        app.wait_window(TITLE)
        return app

    def focus_box(self, app):
        app.focus()
        self.s.wait_until(lambda: self.s.probe.focus(TITLE),
                          lambda f: (f.get("control") or {}).get("id") == IDC_COMMAND,
                          what="the focus in the command box")

    def replace_text(self, app, text):
        """Types `text` over the whole box. Typing completes from the list, so `text` must not
        be the start of a list item."""
        self.focus_box(app)
        self.s.key("ctrl+a", "Delete")
        self.s.type(text)
        self.s.wait_until(lambda: self.s.probe.control(TITLE, IDC_COMMAND)["text"],
                          lambda t: t == text, what=f"box {text!r}")

    def windows_of(self, app):
        """The launcher process's visible top-level windows, as the probe reports them."""
        pid = self.s.probe.control(TITLE, IDC_COMMAND)["pid"] if app.running() else None
        return [w for w in self.s.probe.windows() if w["pid"] == pid]

    # The recorder.

    def clear_record(self):
        for path in (RECORD, RECORD + ".part"):
            try:
                os.remove(self.wine.unix_path(path))
            except FileNotFoundError:
                pass

    def wait_record(self):
        """(verb, file, parameters, working folder) of the recorder's one start."""
        data = self.s.wait_until(lambda: self.read(self.wine.unix_path(RECORD)),
                                 lambda d: d is not None, what="the recorder's record")
        lines = data.decode("utf-8", "replace").split("\r\n")
        match = _RECORD_LINE.match(lines[0])
        if not match or len(lines) < 2:
            raise AssertionError(f"unexpected record {data!r}")
        return match.group(1), match.group(2), match.group(3), lines[1]

    def assert_nothing_launched(self):
        time.sleep(SETTLE)
        record = self.read(self.wine.unix_path(RECORD))
        if record is not None:
            raise AssertionError(f"something was launched: {record!r}")


def about_text():
    """QG_ABOUT_TEXT as the version header spells it."""
    with open(os.environ["QG_VERSION_HEADER"], encoding="utf-8") as header:
        match = re.search(r'#define\s+QG_ABOUT_TEXT\s*\\?\s*"((?:[^"\\]|\\.)*)"', header.read())
    if not match:
        raise AssertionError("no QG_ABOUT_TEXT in the version header")
    return match.group(1).encode().decode("unicode_escape")
