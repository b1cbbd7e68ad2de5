"""The launcher end to end: it opens with its history, launches through the shell with the
verb the keys ask for, records what the shell accepted, and ends.

Each case starts quillgate.exe from a folder of its own; the launched program is recorder.exe,
reached through the test file type .qgt, whose record shows the verb, the file, the
parameters and the working folder the shell used.
"""

import os
import unittest

import launcher_bed
from launcher_bed import DOCUMENT, IDC_COMMAND, IDOK, SYSTEM_DIRECTORY, TITLE, harness


class LaunchTest(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        cls.s = harness.session()
        cls.bed = launcher_bed.Bed(cls.s)

    def test_history_fills_the_box_and_ctrl_enter_launches_elevated_and_records(self):
        folder = self.bed.folder("history", b"notepad\r\ncalc\r\n")
        app = self.bed.start(folder)
        box = self.s.probe.control(TITLE, IDC_COMMAND)
        self.assertEqual(box["items"], ["notepad", "calc"])
        self.assertEqual(box["text"], "calc")
        focus = self.s.probe.focus(TITLE)
        self.assertEqual((focus.get("control") or {}).get("id"), IDC_COMMAND)

        command = f"{DOCUMENT} alpha beta"
        self.bed.replace_text(app, f"   {command}   ")
        self.s.key("ctrl+Return")

        self.assertEqual(app.wait_exit(), 0)
        verb, file, parameters, directory = self.bed.wait_record()
        self.assertEqual((verb, file, parameters), ("runas", DOCUMENT, "alpha beta"))
        self.assertEqual(directory.lower(), SYSTEM_DIRECTORY.lower())
        self.assertEqual(self.bed.read(os.path.join(folder, "quillgate.ini")),
                         b"notepad\r\ncalc\r\n" + command.encode() + b"\r\n")
        self.assertEqual(sorted(os.listdir(folder)), ["quillgate.exe", "quillgate.ini"])

    def test_each_way_of_confirming_uses_its_verb(self):
        def press(keys):
            return lambda app: self.s.key(keys)

        def click_ok(with_ctrl):
            def click(app):
                ok = self.s.probe.control(TITLE, IDOK)
                left, top, right, bottom = ok["rect"]
                x, y = str((left + right) // 2), str((top + bottom) // 2)
                move_and_click = ["mousemove", x, y, "click", "1"]
                if with_ctrl:
                    move_and_click = ["keydown", "ctrl", *move_and_click, "keyup", "ctrl"]
                harness._run(["xdotool", *move_and_click], env=self.s.xenv)
            return click

        ways = [("Enter", press("Return"), "open"),
                ("Ctrl+Enter", press("ctrl+Return"), "runas"),
                ("a click on OK", click_ok(False), "open"),
                ("Ctrl and a click on OK", click_ok(True), "runas")]
        for number, (name, confirm, expected) in enumerate(ways):
            with self.subTest(name):
                folder = self.bed.folder(f"verb{number}")
                app = self.bed.start(folder)
                self.bed.replace_text(app, DOCUMENT)
                confirm(app)
                self.assertEqual(app.wait_exit(), 0)
                verb, file, parameters, _ = self.bed.wait_record()
                self.assertEqual((verb, file, parameters), (expected, DOCUMENT, ""))
                self.assertEqual(self.bed.read(os.path.join(folder, "quillgate.ini")),
                                 DOCUMENT.encode() + b"\r\n")

    def test_a_command_the_shell_cannot_open_keeps_the_dialog_and_records_nothing(self):
        history = b"notepad\r\ncalc\r\n"
        folder = self.bed.folder("refused", history)
        app = self.bed.start(folder)
        try:
            self.bed.replace_text(app, "qg-e2e-no-such-program --flag")
            self.s.key("Return")

            # The shell says so itself, in a message box of the launcher's process.
            error = self.s.wait_until(
                lambda: [w for w in self.bed.windows_of(app) if w["text"] != TITLE],
                what="the shell's error message")[0]
            self.s.focus(self.s.wait_window(error["text"]), error["text"])
            self.s.key("Return")
            self.s.wait_gone(error["text"])

            self.assertTrue(app.running())
            box = self.s.probe.control(TITLE, IDC_COMMAND)
            self.assertEqual(box["text"], "qg-e2e-no-such-program --flag")
            self.assertEqual(box["items"], ["notepad", "calc", "qg-e2e-no-such-program --flag"])
            self.bed.assert_nothing_launched()
            self.assertEqual(self.bed.read(os.path.join(folder, "quillgate.ini")), history)
            self.assertEqual(sorted(os.listdir(folder)), ["quillgate.exe", "quillgate.ini"])
        finally:
            if app.running():
                app.close_with("Escape")

    def test_first_run_shows_no_message_and_records_into_documents(self):
        documents = self.bed.documents()
        kept = os.path.join(documents, "quillgate.ini")
        saved = self.bed.read(kept)
        if saved is not None:
            os.remove(kept)
        try:
            folder = self.bed.folder("first", history=None)
            app = self.bed.start(folder)
            # A message about the history would come before the dialog shows.
            windows = self.bed.windows_of(app)
            self.assertEqual([(w["class"], w["text"]) for w in windows], [("#32770", TITLE)])
            box = self.s.probe.control(TITLE, IDC_COMMAND)
            self.assertEqual((box["text"], box["items"]), ("", []))

            self.bed.replace_text(app, DOCUMENT)
            self.s.key("Return")
            self.assertEqual(app.wait_exit(), 0)
            self.assertEqual(self.bed.wait_record()[0], "open")
            self.assertEqual(self.bed.read(kept), DOCUMENT.encode() + b"\r\n")
            self.assertEqual(os.listdir(folder), ["quillgate.exe"])
            self.assertFalse(os.path.exists(os.path.join(documents, "quillgate.inf")))
        finally:
            if saved is None:
                if os.path.exists(kept):
                    os.remove(kept)
            else:
                with open(kept, "wb") as out:
                    out.write(saved)


if __name__ == "__main__":
    harness.main()
