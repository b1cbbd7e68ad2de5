"""Test bed for driving QuillGate's real windows under Wine with real keystrokes.

Python 3 standard library only. A test module does:

    import harness
    s = harness.session()                      # display + Wine prefix + probe, shared
    app = s.launch(os.environ["QG_COMBO_HOST_EXE"], ["notepad"])
    app.wait_window("QuillGate Combo Host")    # X window id; also waits for the HWND
    app.focus()                                # xdotool windowfocus --sync
    s.type("no"); s.key("ctrl+a", "Delete")
    box = s.wait_until(lambda: s.probe.control(app.title, 1004),
                       lambda c: c["text"] == "notepad")
    code = app.close_with("Escape")            # focus, press, wait for the exit
    ...
    if __name__ == "__main__":
        harness.main()                         # unittest, then "N passed, M failed"

Environment (set by ctest): QG_BUILD_DIR (the build folder, whose wine-run.sh launches
every program in the folder's own prefix) and QG_PROBE_EXE (probe.exe). DISPLAY is used
when set; otherwise an Xvfb is started on a free display for the session.

The session puts the prefix's X11 driver in unmanaged mode (Managed=N): Wine then places,
activates and focuses its windows itself, and a window that closes does not wait 2 s for a
window manager that is not there.

Every wait is bounded; a timeout raises AssertionError (a test failure, not a hang).
"""

import atexit
import json
import os
import re
import select
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

POLL = 0.03            # seconds between polls of a window or a control
WINDOW_TIMEOUT = 20.0  # a program's first window (a cold Wine start is slow)
STATE_TIMEOUT = 5.0    # a control reaching an expected state
EXIT_TIMEOUT = 10.0
TYPE_DELAY_MS = 15     # between keystrokes of xdotool type / key
DOUBLE_CLICK_TIME = 0.6  # Windows' double-click time (500 ms) with a margin
DOUBLE_CLICK_SIZE = 4    # and its rectangle (SM_CXDOUBLECLK / 2), in pixels


class HarnessError(AssertionError):
    """A bounded wait ran out or a tool failed: reported as a test failure."""


def wait_until(fetch, accept=bool, timeout=STATE_TIMEOUT, interval=POLL, what=None):
    """Calls fetch() until accept(value) holds; returns that value or fails with the last."""
    deadline = time.monotonic() + timeout
    value = None
    while True:
        try:
            value = fetch()
            if accept(value):
                return value
        except HarnessError as error:
            value = error
        if time.monotonic() >= deadline:
            raise HarnessError(f"timed out after {timeout:.1f}s waiting for "
                               f"{what or 'a state'}; last seen: {value!r}")
        time.sleep(interval)


def _run(args, env=None, timeout=10.0, check=True):
    """Runs a Linux tool to completion, bounded; returns its stdout."""
    try:
        done = subprocess.run(args, env=env, stdin=subprocess.DEVNULL, capture_output=True,
                              text=True, timeout=timeout)
    except subprocess.TimeoutExpired as error:
        raise HarnessError(f"{args[0]} did not finish in {timeout}s: {args}") from error
    if check and done.returncode != 0:
        raise HarnessError(f"{args} failed ({done.returncode}): {done.stderr.strip()}")
    return done.stdout


class Display:
    """The X display: $DISPLAY when set, else a private Xvfb on the first free number."""

    def __init__(self):
        self.process = None
        self.name = os.environ.get("DISPLAY")
        if not self.name:
            self._start_xvfb()

    def _start_xvfb(self):
        for number in range(150, 200):
            if os.path.exists(f"/tmp/.X{number}-lock"):
                continue
            process = subprocess.Popen(
                ["Xvfb", f":{number}", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            deadline = time.monotonic() + 5.0
            while time.monotonic() < deadline and process.poll() is None:
                if os.path.exists(f"/tmp/.X11-unix/X{number}"):
                    self.process, self.name = process, f":{number}"
                    return
                time.sleep(0.05)
            process.kill()
            process.wait()
        raise HarnessError("could not start Xvfb")

    def close(self):
        if self.process:
            self.process.terminate()
            try:
                self.process.wait(timeout=5)
            except subprocess.TimeoutExpired:
                self.process.kill()
            self.process = None


class Wine:
    """The build folder's Wine prefix, with the same environment its wine-run.sh sets."""

    def __init__(self, build_dir, display):
        self.build_dir = os.path.abspath(build_dir)
        self.runner = os.path.join(self.build_dir, "wine-run.sh")
        if not os.access(self.runner, os.X_OK):
            raise HarnessError(f"no wine-run.sh in {self.build_dir}")
        root = os.path.join(self.build_dir, "wine")
        self.prefix = os.path.join(root, "prefix")
        self.env = dict(os.environ)
        self.env.update({
            "WINEPREFIX": self.prefix,
            "HOME": os.path.join(root, "home"),
            "WINEDEBUG": "-all",
            "WINEDLLOVERRIDES": "mscoree,mshtml=",
            "XDG_CONFIG_HOME": os.path.join(root, "home", ".config"),
            "XDG_DATA_HOME": os.path.join(root, "home", ".local", "share"),
            "DISPLAY": display.name,
        })
        self.logs = tempfile.mkdtemp(prefix="qg-gui-")

    @property
    def drive_c(self):
        return os.path.join(self.prefix, "drive_c")

    def unix_path(self, windows_path):
        """C:\\a\\b -> <prefix>/drive_c/a/b (drive C only)."""
        if not re.match(r"^[cC]:\\", windows_path):
            raise ValueError(f"not a C: path: {windows_path}")
        return os.path.join(self.drive_c, *windows_path[3:].split("\\"))

    def popen(self, exe, args=(), stdout=None, stdin=subprocess.DEVNULL, cwd=None, env=None):
        """Starts `exe` (a Linux path) through wine-run.sh; `env` adds to the environment."""
        return subprocess.Popen([self.runner, exe, *args], env=dict(self.env, **(env or {})),
                                cwd=cwd, stdin=stdin, stdout=stdout, stderr=subprocess.STDOUT,
                                start_new_session=True)

    def run(self, exe, args=(), timeout=60.0):
        """Runs a Windows program to its end; returns (exit code, output). The output goes
        through a file: Wine's server daemon may keep a captured pipe open forever."""
        with tempfile.TemporaryFile(dir=self.logs) as out:
            process = self.popen(exe, args, stdout=out)
            try:
                code = process.wait(timeout=timeout)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
                raise HarnessError(f"{exe} did not end in {timeout}s")
            out.seek(0)
            return code, out.read().decode("utf-8", "replace")

    def unmanaged_windows(self):
        """Lets Wine place and focus its windows itself. Without it every managed window that
        closes or hides waits 2 s for a window manager that Xvfb does not have."""
        try:
            with open(os.path.join(self.prefix, "user.reg"), encoding="utf-8",
                      errors="replace") as registry:
                if re.search(r'\[Software\\\\Wine\\\\X11 Driver\][^\[]*"Managed"="N"',
                             registry.read()):
                    return
        except OSError:
            pass
        code, out = self.run("reg", ["add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed",
                                     "/d", "N", "/f"])
        if code != 0:
            raise HarnessError(f"could not set the X11 driver's Managed=N: {out!r}")

    def kill_all(self):
        """Ends every process of the prefix, its server included."""
        for flag in ("-k", "-w"):  # kill, then wait until the server has gone
            subprocess.run(["wineserver", flag], env=self.env, stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=20)


class Probe:
    """probe.exe kept running ('probe serve'): one tab-separated command line in, one JSON
    line out. Commands and fields are described at the top of probe.cpp."""

    def __init__(self, wine, exe):
        self.process = wine.popen(exe, ["serve"], stdout=subprocess.PIPE,
                                  stdin=subprocess.PIPE)
        self.pending = b""
        self.query("ping", timeout=60.0)

    def query(self, *fields, timeout=10.0):
        """Sends one command; returns the decoded answer (with "ok" true or false)."""
        line = "\t".join(str(f) for f in fields) + "\n"
        try:
            self.process.stdin.write(line.encode("utf-8"))
            self.process.stdin.flush()
        except OSError as error:
            raise HarnessError(f"probe is gone: {error}") from error
        deadline = time.monotonic() + timeout
        fd = self.process.stdout.fileno()
        while b"\n" not in self.pending:
            left = deadline - time.monotonic()
            if left <= 0:
                raise HarnessError(f"probe did not answer {fields} in {timeout}s")
            ready, _, _ = select.select([fd], [], [], left)
            if ready:
                chunk = os.read(fd, 65536)
                if not chunk:
                    raise HarnessError("probe ended")
                self.pending += chunk
        answer, self.pending = self.pending.split(b"\n", 1)
        return json.loads(answer.decode("utf-8"))

    def _must(self, *fields):
        answer = self.query(*fields)
        if not answer.get("ok"):
            raise HarnessError(f"probe {' '.join(map(str, fields))}: {answer.get('error')}")
        return answer

    def window(self, title):
        """The top-level window with its children (each with "children" when it has any)."""
        return self._must("window", title)["window"]

    def control(self, title, control_id):
        """One control: hwnd, id, class, text, style, exstyle, rect and client ([l,t,r,b] in
        screen pixels), visible, enabled, parent, pid; a ComboBox adds edit_sel [start,end],
        cur_sel, dropped and items; an Edit adds sel [start,end]; a Button adds checked."""
        return self._must("control", title, control_id)["control"]

    def focus(self, title):
        """{"foreground": bool, "active": hwnd, "focus": control or null, and "control": the
        dialog's child that holds the focus when the focus is inside it (a combo's edit)}."""
        return self._must("focus", title)

    def windows(self):
        """Every visible top-level window (common fields only)."""
        return self._must("windows")["windows"]

    def exists(self, title):
        return self.query("window", title).get("ok", False)

    def close(self):
        try:
            self.process.stdin.write(b"quit\n")
            self.process.stdin.close()
            self.process.wait(timeout=5)
        except (OSError, subprocess.TimeoutExpired):
            self.process.kill()
            self.process.wait()


def _title_regex(title):
    """xdotool matches names with a POSIX extended regular expression."""
    return "^" + re.sub(r"([.\[\]{}()\\*+?^$|])", r"\\\1", title) + "$"


class App:
    """A Windows program started under Wine, its output going to a log file."""

    # Now and then Wine refuses to start a process (an internal error, 1359, seen under load);
    # the loader then ends at once with code 1 and says nothing. A program of ours never ends
    # that way before its window shows, so such a start is simply made again.
    REFUSED_START_RETRIES = 2

    def __init__(self, session, exe, args, cwd=None, env=None):
        self.session = session
        self.exe = exe
        self.title = None
        self.wid = None
        self._start = (list(args), cwd, env)
        self._retries = 0
        self._launch()

    def _launch(self):
        args, cwd, env = self._start
        self.log = os.path.join(self.session.wine.logs,
                                f"{os.path.basename(self.exe)}-{time.monotonic_ns()}.log")
        with open(self.log, "wb") as out:
            self.process = self.session.wine.popen(self.exe, args, stdout=out, cwd=cwd, env=env)

    def wait_window(self, title, timeout=WINDOW_TIMEOUT):
        """Waits until a visible X window named `title` exists and the probe sees its HWND;
        returns the X window id (also kept in .wid) and remembers the title."""
        def find():
            if self.process.poll() is not None:
                refused = self.process.returncode == 1 and not self.output()
                if refused and self._retries < self.REFUSED_START_RETRIES:
                    self._retries += 1
                    print(f"harness: Wine refused to start {self.exe}; starting it again",
                          file=sys.stderr)
                    self._launch()
                    return None
                raise AssertionError(f"{self.exe} ended ({self.process.returncode}) before "
                                     f"showing {title!r}: {self.output()!r}")
            return self.session.find_window(title)
        self.wid = wait_until(find, timeout=timeout, what=f"window {title!r}")
        self.title = title
        wait_until(lambda: self.session.probe.exists(title), timeout=timeout,
                   what=f"HWND of {title!r}")
        return self.wid

    def focus(self):
        """Focuses the window found by wait_window and waits until it is the foreground."""
        self.session.focus(self.wid, self.title)

    def close_with(self, *keys, timeout=EXIT_TIMEOUT):
        """Focuses the window, presses `keys` (e.g. "Escape") and waits for the program to
        end; returns its exit code. A program that outlives the wait is killed."""
        try:
            self.focus()
            self.session.key(*keys)
            return self.wait_exit(timeout)
        finally:
            self.kill()

    def wait_exit(self, timeout=EXIT_TIMEOUT):
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise HarnessError(f"{self.exe} still running after {timeout}s") from None

    def running(self):
        return self.process.poll() is None

    def output(self):
        with open(self.log, "rb") as log:
            return log.read().decode("utf-8", "replace")

    def kill(self):
        if self.running():
            self.process.kill()
            self.process.wait(timeout=5)


class Session:
    """One display, one prefix, one probe for a whole test module."""

    def __init__(self, build_dir=None, probe_exe=None):
        build_dir = build_dir or os.environ["QG_BUILD_DIR"]
        probe_exe = probe_exe or os.environ["QG_PROBE_EXE"]
        for tool in ("xdotool", "wineserver"):
            if not shutil.which(tool):
                raise HarnessError(f"{tool} is not installed")
        self.display = Display()
        self.apps = []
        self.probe = None
        self.last_click = None
        try:
            self.wine = Wine(build_dir, self.display)
            self.xenv = dict(os.environ, DISPLAY=self.display.name)
            # Windows left over from an aborted run would answer to the same titles.
            self.wine.kill_all()
            # The first program of a fresh prefix builds it (wineboot): allow for that here.
            code, out = self.wine.run(probe_exe, ["ping"], timeout=120.0)
            if code != 0:
                raise HarnessError(f"probe ping failed ({code}): {out!r}")
            self.wine.unmanaged_windows()
            self.probe = Probe(self.wine, probe_exe)
        except BaseException:
            self.close()
            raise

    # Programs and windows.

    def launch(self, exe, args=(), cwd=None, env=None):
        """Starts a Windows program (Linux path of the .exe, e.g. a copy under
        wine.drive_c); its standard output and error go to a log file (App.output())."""
        app = App(self, exe, list(args), cwd=cwd, env=env)
        self.apps.append(app)
        return app

    def find_window(self, title):
        """A visible X window named exactly `title` (the last xdotool lists), or None."""
        out = _run(["xdotool", "search", "--onlyvisible", "--name", _title_regex(title)],
                   env=self.xenv, check=False)
        ids = out.split()
        return int(ids[-1]) if ids else None

    def wait_window(self, title, timeout=WINDOW_TIMEOUT):
        """Any program's window (a file dialog, a message box): its X window id."""
        return wait_until(lambda: self.find_window(title), timeout=timeout,
                          what=f"window {title!r}")

    def wait_gone(self, title, timeout=STATE_TIMEOUT):
        """Waits until no window has the title, neither for Windows nor on the X display:
        an X window unmapped late would still take the clicks meant for what lies below."""
        wait_until(lambda: not self.probe.exists(title) and self.find_window(title) is None,
                   timeout=timeout, what=f"{title!r} to close")

    def focus(self, wid, title=None):
        """Gives the X focus to a window (no window manager here: windowactivate fails), then,
        with a title, waits until Wine has made that window the foreground window."""
        _run(["xdotool", "windowfocus", "--sync", str(wid)], env=self.xenv, timeout=5.0)
        if title:
            wait_until(lambda: self.probe.focus(title), lambda f: f["foreground"],
                       what=f"{title!r} in the foreground")

    # Input, to whatever has the focus.

    def type(self, text, delay=TYPE_DELAY_MS):
        _run(["xdotool", "type", "--delay", str(delay), "--", text], env=self.xenv,
             timeout=5.0 + len(text) * (delay + 50) / 1000.0)

    def key(self, *keys, delay=TYPE_DELAY_MS):
        """xdotool key names: Return, Escape, Delete, BackSpace, Left, ctrl+a, alt+b ..."""
        _run(["xdotool", "key", "--delay", str(delay), "--", *keys], env=self.xenv,
             timeout=5.0 + len(keys) * (delay + 50) / 1000.0)

    def _near_last_click(self, x, y):
        last = self.last_click
        return (last and abs(last[0] - x) <= DOUBLE_CLICK_SIZE and
                abs(last[1] - y) <= DOUBLE_CLICK_SIZE and
                time.monotonic() - last[2] < DOUBLE_CLICK_TIME)

    def click(self, x, y):
        """One left click at screen coordinates. A click close to the previous one in place and
        time would be a double-click for Windows: it waits that out."""
        if self._near_last_click(x, y):
            time.sleep(max(0.0, DOUBLE_CLICK_TIME - (time.monotonic() - self.last_click[2])))
        _run(["xdotool", "mousemove", str(x), str(y), "click", "1"],
             env=self.xenv, timeout=5.0)
        self.last_click = (x, y, time.monotonic())

    def click_control(self, control):
        """Clicks a control as the probe reports it (screen coordinates): its middle, or a
        little beside it when the middle was just clicked."""
        left, top, right, bottom = control["rect"]
        x, y = (left + right) // 2, (top + bottom) // 2
        if self._near_last_click(x, y) and right - left > 4 * DOUBLE_CLICK_SIZE:
            x += 2 * DOUBLE_CLICK_SIZE if self.last_click[0] <= x else -2 * DOUBLE_CLICK_SIZE
        self.click(x, y)

    wait_until = staticmethod(wait_until)

    def close(self):
        for app in self.apps:
            try:
                app.kill()
            except (OSError, subprocess.TimeoutExpired):
                pass
        if self.probe:
            self.probe.close()
            self.probe = None
        if getattr(self, "wine", None):
            try:
                self.wine.kill_all()
            except subprocess.TimeoutExpired:
                pass
            shutil.rmtree(self.wine.logs, ignore_errors=True)
        self.display.close()


_session = None


def session():
    """The module's shared session, started on first use and closed by main() (or at exit)."""
    global _session
    if _session is None:
        _session = Session()
        atexit.register(close_session)
    return _session


def close_session():
    global _session
    if _session is not None:
        _session.close()
        _session = None


def main():
    """Runs the calling module's tests, ends the session, and prints "N passed, M failed"
    as the last line; the exit status is nonzero when anything failed."""
    program = unittest.main(module="__main__", exit=False, verbosity=2,
                            testRunner=unittest.TextTestRunner(stream=sys.stdout,
                                                               verbosity=2))
    close_session()
    result = program.result
    failed = len(result.failures) + len(result.errors) + len(result.unexpectedSuccesses)
    passed = result.testsRun - failed - len(result.skipped)
    sys.stdout.flush()
    print(f"{passed} passed, {failed} failed", flush=True)
    sys.exit(1 if failed or result.testsRun == 0 else 0)
