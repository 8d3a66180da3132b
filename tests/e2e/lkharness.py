"""Shared helpers for the end-to-end tests: paths of the built programs and
running Windows programs under the project's Wine.

Environment (set by ctest): LK_SOURCE_DIR, LK_BUILD_DIR (the win64 tree),
LK_WINE_RUN (scripts/wine-run). DISPLAY comes from the test command's Xvfb.
"""
import os
import shutil
import subprocess
import tempfile
import unittest

SOURCE_DIR = os.environ.get("LK_SOURCE_DIR", os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..")))
BUILD_DIR = os.environ.get("LK_BUILD_DIR", os.path.join(SOURCE_DIR, "build", "win64"))
WINE_RUN = os.environ.get("LK_WINE_RUN", os.path.join(SOURCE_DIR, "scripts", "wine-run"))


def build_path(*parts):
    """A file of the win64 build tree."""
    return os.path.join(BUILD_DIR, *parts)


def winpath(path):
    """The Windows form of a Linux path: Wine maps / to drive Z:."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def run_wine(exe, args=(), timeout=60, cwd=None, check=False, env=None):
    """Runs a Windows program to its end; returns CompletedProcess with text
    output decoded as UTF-8 (our programs write UTF-8). env: variables added
    to the environment (Wine hands them to the Windows program)."""
    full_env = dict(os.environ, **env) if env else None
    # Output goes to files, not pipes: a GUI program may be the one that
    # starts Wine's desktop process (explorer.exe /desktop), which inherits
    # its handles and outlives it, so a pipe would never reach end-of-file.
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        proc = subprocess.run([WINE_RUN, exe, *args], cwd=cwd, timeout=timeout,
                              stdin=subprocess.DEVNULL, stdout=out, stderr=err, env=full_env)
        out.seek(0)
        err.seek(0)
        proc.stdout = out.read().decode("utf-8", "replace")
        proc.stderr = err.read().decode("utf-8", "replace")
    if check and proc.returncode != 0:
        raise AssertionError(f"{exe} {args} exited {proc.returncode}: {proc.stderr}")
    return proc


def start_wine(exe, args=(), cwd=None, env=None):
    """Starts a Windows program and returns the Popen (output discarded).
    env: variables added to the environment. The Popen's process is the
    Windows process itself (wine-run execs wine), so poll() tells whether
    it still runs."""
    full_env = dict(os.environ, **env) if env else None
    return subprocess.Popen([WINE_RUN, exe, *args], cwd=cwd, stdin=subprocess.DEVNULL,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=full_env)


class TempDirTestCase(unittest.TestCase):
    """A test case with a fresh folder self.tmp, removed afterwards."""

    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="lk-e2e-")
        self.addCleanup(shutil.rmtree, self.tmp, True)


# --- Windows on the display: the inspection program -------------------------

import re
import time

WININSPECT = build_path("tests", "wininspect.exe")
LAUNCHER = build_path("launcher", "launcher.exe")
LAUNCHER_KIT = build_path("tools", "launcher-kit.exe")

_WINDOW_LINE = re.compile(r"^window (\S+) pid=(\d+) visible=(\d) iconic=(\d) class=(.*?) "
                          r"rect=(\S+) client=(\d+)x(\d+) title=(.*)$")
_CHILD_LINE = re.compile(r"^child (\S+) id=(-?\d+) class=(.*?) text=(.*)$")


class Window:
    """One top-level window as wininspect saw it; dialogs carry children."""

    def __init__(self, m):
        self.hwnd = m.group(1)
        self.pid = int(m.group(2))
        self.visible = m.group(3) == "1"
        self.iconic = m.group(4) == "1"
        self.cls = m.group(5)
        self.rect = tuple(int(v) for v in m.group(6).split(","))
        self.client = (int(m.group(7)), int(m.group(8)))
        self.title = m.group(9)
        self.children = []  # (id, class, text)

    def texts(self):
        return [text for _, _, text in self.children]

    def __repr__(self):
        return f"<{self.cls} {self.title!r} pid={self.pid} visible={self.visible}>"


def top_windows():
    """Every top-level window of the Wine desktop, in Z order."""
    out = run_wine(WININSPECT, ["list"], check=True).stdout
    windows = []
    for line in out.splitlines():
        m = _WINDOW_LINE.match(line)
        if m:
            windows.append(Window(m))
            continue
        m = _CHILD_LINE.match(line)
        if m and windows:
            windows[-1].children.append((int(m.group(2)), m.group(3), m.group(4)))
    return windows


def find_windows(cls=None, title=None, visible=None):
    return [w for w in top_windows()
            if (cls is None or w.cls == cls) and (title is None or w.title == title)
            and (visible is None or w.visible == visible)]


def wait_until(probe, timeout=30.0, interval=0.25, what="condition"):
    """Calls probe() until it returns something true; returns that value."""
    end = time.monotonic() + timeout
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() > end:
            raise AssertionError(f"timed out waiting for {what}")
        time.sleep(interval)


def press_button(window, control_id):
    """Presses a dialog's button by control ID (captions differ under Wine)."""
    run_wine(WININSPECT, ["press", window.hwnd, str(control_id)], check=True)


def show_window(window, command):
    run_wine(WININSPECT, ["show", window.hwnd, str(command)])


def close_window(window):
    run_wine(WININSPECT, ["close", window.hwnd])


def terminate_process(pid):
    run_wine(WININSPECT, ["terminate", str(pid)])


def foreground_window():
    return run_wine(WININSPECT, ["foreground"], check=True).stdout.strip()


def x_windows(name):
    """Visible X11 windows whose name matches `name` (a regular expression),
    as xdotool sees them on the display: what a player would see."""
    r = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", name],
                       capture_output=True, text=True, timeout=30)
    return r.stdout.split()


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def write_bytes(path, data):
    with open(path, "wb") as f:
        f.write(data)
