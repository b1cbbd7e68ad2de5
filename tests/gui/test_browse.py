"""Browse... drives Wine's real file-open dialog and appends the chosen path to the box.

The files chosen live in the prefix's drive C. The file dialog is found by its title, a full
path is typed into its file name field and Enter chooses it; Esc cancels.
"""

import os
import unittest

import harness
from host_case import COMBO, TITLE, ComboHostCase

BROWSE = 1009
FILE_DIALOG = "Open"
FILE_NAME_FIELD = 1152  # Wine's file dialog: the edit that has the focus when it opens
PLAIN = r"C:\qgtest\a.txt"
SPACED = r"C:\qgtest\with space\b.txt"


class BrowseTest(ComboHostCase):

    @classmethod
    def setUpClass(cls):
        cls.s = harness.session()
        for path in (PLAIN, SPACED):
            unix = cls.s.wine.unix_path(path)
            os.makedirs(os.path.dirname(unix), exist_ok=True)
            with open(unix, "w") as file:
                file.write("chosen by the browse test\n")
        super().setUpClass()

    def clear_box(self):
        # Browsing leaves the focus on the Browse button: put it back into the box by a click.
        self.s.click_control(self.s.probe.control(TITLE, COMBO))
        self.s.wait_until(lambda: self.s.probe.focus(TITLE),
                          lambda f: (f.get("control") or {}).get("id") == COMBO,
                          what="the focus in the box")
        self.s.key("ctrl+a", "Delete")
        self.expect("")

    def expect(self, text):
        return self.s.wait_until(lambda: self.s.probe.control(TITLE, COMBO),
                                 lambda c: c["text"] == text, what=f"box {text!r}")

    def browse(self, path, by_click=False):
        """Presses Browse, then chooses `path` in the file dialog, or cancels for None."""
        if by_click:
            self.s.click_control(self.s.probe.control(TITLE, BROWSE))
        else:
            self.s.key("alt+b")
        self.s.focus(self.s.wait_window(FILE_DIALOG), FILE_DIALOG)
        if path is None:
            self.s.key("Escape")
        else:
            self.s.wait_until(lambda: self.s.probe.focus(FILE_DIALOG),
                              lambda f: (f["focus"] or {}).get("id") == FILE_NAME_FIELD,
                              what="the focus in the file name field")
            self.s.type(path)
            self.s.wait_until(lambda: self.s.probe.control(FILE_DIALOG, FILE_NAME_FIELD),
                              lambda c: c["text"] == path, what=f"file name {path!r}")
            self.s.key("Return")
        self.s.wait_gone(FILE_DIALOG)

    def test_an_empty_box_gets_exactly_the_path(self):
        self.browse(PLAIN)
        self.expect(PLAIN)

    def test_the_path_is_appended_to_the_text_as_it_is(self):
        self.s.type("notepad ")
        self.expect("notepad ")
        self.browse(PLAIN, by_click=True)
        self.expect("notepad " + PLAIN)
        # No separator of its own: the text before decides.
        self.clear_box()
        self.s.type("notepad")
        self.expect("notepad")
        self.browse(PLAIN)
        self.expect("notepad" + PLAIN)

    def test_a_path_with_spaces_arrives_quoted(self):
        # Bare, the launch would split it at its first space.
        self.s.type("notepad ")
        self.browse(SPACED)
        self.expect(f'notepad "{SPACED}"')

    def test_cancel_leaves_the_box_as_it_was(self):
        self.s.type("notepad ")
        self.expect("notepad ")
        self.browse(None)
        box = self.expect("notepad ")
        self.assertTrue(self.app.running())
        self.assertEqual(box["items"], ["notepad"])


if __name__ == "__main__":
    harness.main()
