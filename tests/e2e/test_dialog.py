"""The launcher's dialog from outside: the ways out that launch nothing, the About item of the
system menu, Win+R held while it runs, and the live dialog's controls in template order.
"""

import os
import unittest

import launcher_bed
from launcher_bed import IDC_COMMAND, IDCANCEL, TITLE, harness

HISTORY = b"notepad\r\ncalc\r\n"

# Window styles (winuser.h).
WS_POPUP, WS_VISIBLE, WS_CHILD = 0x80000000, 0x10000000, 0x40000000
WS_CLIPSIBLINGS, WS_CAPTION, WS_VSCROLL = 0x04000000, 0x00C00000, 0x00200000
WS_SYSMENU, WS_GROUP, WS_TABSTOP = 0x00080000, 0x00020000, 0x00010000
DS_SETFONT, DS_MODALFRAME, DS_3DLOOK = 0x40, 0x80, 0x4
CBS_DROPDOWN, CBS_AUTOHSCROLL = 0x2, 0x40
BS_DEFPUSHBUTTON = 0x1
SS_LEFT, SS_ICON = 0x0, 0x3
WS_EX_DLGMODALFRAME, WS_EX_NOPARENTNOTIFY, WS_EX_ACCEPTFILES = 0x1, 0x4, 0x10
WS_EX_WINDOWEDGE, WS_EX_CONTROLPARENT, WS_EX_APPWINDOW = 0x100, 0x10000, 0x40000

DIALOG_STYLE = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT
DIALOG_EXSTYLE = WS_EX_APPWINDOW | WS_EX_ACCEPTFILES
BUTTON = WS_CHILD | WS_VISIBLE | WS_TABSTOP
LABEL = WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT
PROMPT = ("Type the name of a program, folder, document, or Internet resource, and Windows "
          "will open it for you")
IDI_LAUNCHER = 1003
# id, class, text, style, extended style: the template, in its (tab) order.
CONTROLS = [
    (1004, "ComboBox", "calc",
     WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | CBS_DROPDOWN | CBS_AUTOHSCROLL,
     WS_EX_ACCEPTFILES),
    (1, "Button", "OK", BUTTON, 0),
    (2, "Button", "Cancel", BUTTON, 0),
    (1009, "Button", "Browse...", BUTTON, 0),
    (1006, "Static", PROMPT, LABEL, 0),
    (1005, "Static", "Open", LABEL, 0),
    (1007, "Static", IDI_LAUNCHER, WS_CHILD | WS_VISIBLE | SS_ICON, 0),
    (11007, "Static", "Ctrl+Enter - Run as Administrator", LABEL, 0),
]
# What the window manager itself adds to or takes from a template's styles, and may: the 3-D
# look and sibling clipping of a dialog, the frame and control-parent bits of its extended
# style, the parent-notify opt-out of dialog controls, the combo box's scroll bar handed on to
# its list, and the default-button look that follows the focus.
DIALOG_STYLE_ADDED = DS_3DLOOK | WS_CLIPSIBLINGS
DIALOG_EXSTYLE_ADDED = WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE | WS_EX_CONTROLPARENT
CONTROL_EXSTYLE_ADDED = WS_EX_NOPARENTNOTIFY
CONTROL_STYLE_CHANGEABLE = {"ComboBox": WS_VSCROLL, "Button": BS_DEFPUSHBUTTON}


def icon_ordinal(text):
    """An SS_ICON control's window text is its resource ordinal: 0xFFFF, then the id."""
    codes = [ord(c) for c in text]
    return codes[-2] | codes[-1] << 8 if len(codes) >= 3 else None


class DialogTest(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        cls.s = harness.session()
        cls.bed = launcher_bed.Bed(cls.s)

    def start(self, name):
        folder = self.bed.folder(name, HISTORY)
        return folder, self.bed.start(folder)

    def assert_untouched(self, folder):
        self.bed.assert_nothing_launched()
        self.assertEqual(self.bed.read(os.path.join(folder, "quillgate.ini")), HISTORY)
        self.assertEqual(sorted(os.listdir(folder)), ["quillgate.exe", "quillgate.ini"])

    def test_esc_cancel_and_the_close_box_end_the_launcher_without_launching(self):
        def escape(app):
            app.focus()
            self.s.key("Escape")

        def cancel(app):
            app.focus()
            self.s.click_control(self.s.probe.control(TITLE, IDCANCEL))

        def close_box(app):
            # Wine draws the caption itself here (no window manager): the close box is its
            # rightmost button, level with the caption's middle.
            app.focus()
            window = self.s.probe.window(TITLE)
            top = window["rect"][1]
            _, client_top, client_right, _ = window["client"]
            self.s.click(client_right - 8, (top + client_top) // 2)

        for name, leave in (("Esc", escape), ("Cancel", cancel), ("close box", close_box)):
            with self.subTest(name):
                folder, app = self.start("leave-" + name.replace(" ", "-"))
                try:
                    self.bed.replace_text(app, "qg-e2e-typed-but-not-run")
                    leave(app)
                    self.assertEqual(app.wait_exit(), 0)
                    self.assert_untouched(folder)
                finally:
                    app.kill()

    def test_about_is_the_last_system_menu_item_and_shows_its_message(self):
        folder, app = self.start("about")
        try:
            app.focus()
            # The system menu opens on its first item; Up wraps round to the last one.
            self.s.key("alt+space")
            self.s.wait_until(lambda: [w for w in self.s.probe.windows()
                                       if w["class"] == "#32768"],
                              what="the system menu")
            self.s.key("Up", "Return")
            # The message box is owned by the dialog, so it is the first window of the title.
            about = self.s.wait_until(lambda: self.s.probe.window(TITLE),
                                      lambda w: not any(c["id"] == IDC_COMMAND
                                                        for c in w.get("children", [])),
                                      what="the About message")
            texts = [c["text"] for c in about["children"] if c["class"] == "Static"]
            self.assertIn(launcher_bed.about_text(), texts)
            self.s.focus(self.s.wait_window(TITLE), TITLE)
            self.s.key("Return")
            # Back to the launcher, still open, its command untouched.
            box = self.s.wait_until(lambda: self.s.probe.window(TITLE),
                                    lambda w: any(c["id"] == IDC_COMMAND
                                                  for c in w.get("children", [])),
                                    what="the launcher after About")
            self.assertTrue(app.running())
            self.assertEqual(box["children"][0]["text"], "calc")
            self.assertEqual(app.close_with("Escape"), 0)
            self.assert_untouched(folder)
        finally:
            app.kill()

    def test_win_r_is_held_while_the_launcher_runs(self):
        probe = os.environ["QG_HOTKEY_PROBE_EXE"]
        self.assertEqual(self.s.wine.run(probe)[1].strip(), "registered")
        _, app = self.start("hotkey")
        try:
            self.assertEqual(self.s.wine.run(probe)[1].strip(), "error 1409")
            self.assertEqual(app.close_with("Escape"), 0)
            self.assertEqual(self.s.wine.run(probe)[1].strip(), "registered")
        finally:
            app.kill()

    def test_the_live_dialog_has_the_templates_controls_in_order(self):
        _, app = self.start("template")
        try:
            window = self.s.probe.window(TITLE)
            self.assertEqual((window["class"], window["text"]), ("#32770", TITLE))
            self.assertEqual(window["style"] & ~DIALOG_STYLE_ADDED, DIALOG_STYLE)
            self.assertEqual(window["exstyle"] & ~DIALOG_EXSTYLE_ADDED, DIALOG_EXSTYLE)

            live = window["children"]
            self.assertEqual([c["id"] for c in live], [c[0] for c in CONTROLS])
            for control, (cid, cls, text, style, exstyle) in zip(live, CONTROLS):
                with self.subTest(cid):
                    self.assertEqual(control["class"], cls)
                    if isinstance(text, int):
                        self.assertEqual(icon_ordinal(control["text"]), text)
                    else:
                        self.assertEqual(control["text"], text)
                    changeable = CONTROL_STYLE_CHANGEABLE.get(cls, 0)
                    self.assertEqual(control["style"] & ~changeable, style & ~changeable)
                    self.assertEqual(control["exstyle"] & ~CONTROL_EXSTYLE_ADDED, exstyle)
            self.assertEqual(app.close_with("Escape"), 0)
        finally:
            app.kill()


if __name__ == "__main__":
    harness.main()
