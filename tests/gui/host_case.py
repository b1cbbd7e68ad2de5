"""One combo_host.exe serving a whole group of cases, brought to the front before each."""

import os
import unittest

import harness

TITLE = "QuillGate Combo Host"
COMBO = 1004


class ComboHostCase(unittest.TestCase):
    items = ["notepad"]

    @classmethod
    def setUpClass(cls):
        cls.s = harness.session()
        cls.app = cls.s.launch(os.environ["QG_COMBO_HOST_EXE"], cls.items)
        cls.app.wait_window(TITLE)
        cls.app.focus()
        box = cls.s.probe.control(TITLE, COMBO)
        if box["items"] != cls.items:
            raise AssertionError(f"host list is {box['items']}, expected {cls.items}")

    @classmethod
    def tearDownClass(cls):
        # Esc ends the dialog; a second host would otherwise find this one by its title.
        if cls.app.running():
            cls.app.close_with("Escape")

    def setUp(self):
        if not self.s.probe.focus(TITLE)["foreground"]:
            self.app.focus()
        self.clear_box()

    def clear_box(self):
        raise NotImplementedError
