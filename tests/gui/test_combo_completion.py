"""The command box completes real keystrokes from its list (combo_host.exe under Wine).

Wine sends CBN_EDITUPDATE only for real typing, so every case types with xdotool and reads the
box back with the probe. One host process serves a whole group; each case starts from an empty
box (Ctrl+A, Delete), which also leaves completion switched off until the first typed key.
"""

import os
import unittest

import harness
from host_case import COMBO, TITLE, ComboHostCase

ITEMS = ["notepad", "notes.txt", "Calc", "cmd /k dir"]


class HostCase(ComboHostCase):
    items = ITEMS

    def clear_box(self):
        self.s.key("ctrl+a", "Delete")
        self.expect("", [0, 0])

    def expect(self, text, sel):
        """Waits until the box holds `text` with the edit selection `sel` ([start, end])."""
        return self.s.wait_until(lambda: self.s.probe.control(TITLE, COMBO),
                                 lambda c: c["text"] == text and c["edit_sel"] == sel,
                                 what=f"box {text!r} selected {sel}")


class CompletionTest(HostCase):

    def test_typing_completes_from_the_first_match_and_selects_the_rest(self):
        self.s.type("no")
        self.expect("notepad", [2, 7])
        self.s.type("t")  # replaces the selection and completes again
        self.expect("notepad", [3, 7])
        self.s.type("es")  # 'notepad' is first for 'note'; 'notes' only matches the second
        self.expect("notes.txt", [5, 9])

    def test_completion_takes_the_items_letter_case(self):
        self.s.type("NO")
        self.expect("notepad", [2, 7])
        self.s.key("ctrl+a", "Delete")
        self.expect("", [0, 0])
        self.s.type("cA")
        self.expect("Calc", [2, 4])

    def test_backspace_and_delete_do_not_complete_until_the_next_ordinary_key(self):
        self.s.type("no")
        self.expect("notepad", [2, 7])
        self.s.key("BackSpace")  # removes the completed rest only
        self.expect("no", [2, 2])
        self.s.key("BackSpace")
        self.expect("n", [1, 1])
        self.s.type("o")
        self.expect("notepad", [2, 7])
        self.s.key("Delete")
        self.expect("no", [2, 2])
        self.s.type("t")
        self.expect("notepad", [3, 7])

    def test_text_that_begins_no_item_stays_as_typed_with_the_caret_at_its_end(self):
        self.s.type("xyz")
        self.expect("xyz", [3, 3])
        self.s.key("ctrl+a", "Delete")
        self.expect("", [0, 0])
        self.s.type("notex")  # completed on the way, then no item begins with it
        self.expect("notex", [5, 5])
        self.s.type(" a")
        self.expect("notex a", [7, 7])

    def test_typing_in_the_middle_keeps_the_caret_where_it_is(self):
        self.s.type("nx")
        self.expect("nx", [2, 2])
        self.s.key("Left")
        self.expect("nx", [1, 1])
        self.s.type("o")
        self.expect("nox", [2, 2])
        self.s.key("ctrl+a", "Delete")
        self.expect("", [0, 0])
        # A match found from the middle still completes, but the caret stays put.
        self.s.type("nt")
        self.expect("nt", [2, 2])
        self.s.key("Left")
        self.s.type("o")
        self.expect("notepad", [2, 2])

    def test_ctrl_a_selects_the_whole_field(self):
        self.s.type("cmd /k")
        self.expect("cmd /k dir", [6, 10])
        self.s.key("End", "Left", "Left")
        self.expect("cmd /k dir", [8, 8])
        self.s.key("ctrl+a")
        self.expect("cmd /k dir", [0, 10])
        self.s.type("x")  # the selection is what the next key replaces
        self.expect("x", [1, 1])


class EmptyListTest(HostCase):
    items = []

    def test_an_empty_list_never_changes_the_typed_text(self):
        self.s.type("no")
        self.expect("no", [2, 2])
        self.s.key("Left")
        self.s.type("t")
        self.expect("nto", [2, 2])
        self.s.key("BackSpace", "End")
        self.s.type("tepad")
        self.expect("notepad", [7, 7])



class ModalLoopTest(unittest.TestCase):
    """The framework's own modal loop hands Enter and Esc from the box to the dialog."""

    def run_host(self, keys):
        s = harness.session()
        app = s.launch(os.environ["QG_COMBO_HOST_EXE"], ["notepad"])
        app.wait_window(TITLE)
        app.focus()
        s.type("no")
        s.wait_until(lambda: s.probe.control(TITLE, COMBO), lambda c: c["text"] == "notepad")
        self.assertEqual(app.close_with(keys), 0)
        s.wait_gone(TITLE)
        return app.output().splitlines()

    def test_enter_ends_with_ok_and_escape_with_cancel(self):
        self.assertEqual(self.run_host("Return"), ["result=1", "text=notepad"])
        self.assertEqual(self.run_host("Escape"), ["result=2", "text=notepad"])


if __name__ == "__main__":
    harness.main()
