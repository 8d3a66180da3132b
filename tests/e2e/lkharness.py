"""Shared helpers for the end-to-end tests: paths of the built programs and
running Windows programs under the project's Wine.

Environment (set by ctest): LK_SOURCE_DIR, LK_BUILD_DIR (the win64 tree),
LK_WINE_RUN (scripts/wine-run). DISPLAY comes from the test command's Xvfb.
"""
import os
import shutil
import subprocess
import sys
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


def processes_running(folder, exe_name):
    """Linux processes (Wine's Windows processes among them) of the program
    exe_name in the folder (the command line names it in Unix or in Windows
    form, so the folder's own name is matched)."""
    fragment = os.path.basename(folder)
    found = []
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                cmd = f.read().replace(b"\0", b" ").decode("utf-8", "replace")
        except OSError:
            continue
        first = cmd.split(" ", 1)[0] if not cmd.startswith('"') else cmd[1:].split('"', 1)[0]
        if fragment in first and re.split(r"[\\/]", first)[-1].lower() == exe_name:
            found.append(int(pid))
    return found


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def write_bytes(path, data):
    with open(path, "wb") as f:
        f.write(data)


# --- The main window: branded launchers, controls, screen pixels ----------

DEMO_SKIN = os.path.join(SOURCE_DIR, "skins", "demo")

# Child window IDs of TForm2's controls by design name: generated by the
# build from the launcher's own list (TForm2ControlId in launcher/LMain.h).
sys.path.insert(0, build_path("tests", "e2e"))
from lk_control_ids import CONTROL_IDS  # noqa: E402

_CONTROL_LINE = re.compile(r"^control (\S+) id=(-?\d+) class=(.*?) visible=(\d) "
                           r"rect=(-?\d+),(-?\d+),(-?\d+),(-?\d+) state=(-?\d+) text=(.*)$")
_ITEM_LINE = re.compile(r"^item (\S+) level=(-?\d+) selected=(\d) rect=(-?\d+),(-?\d+),(-?\d+),(-?\d+) text=(.*)$")


class Control:
    """One child window of a form as wininspect saw it."""

    def __init__(self, m):
        self.hwnd = m.group(1)
        self.id = int(m.group(2))
        self.cls = m.group(3)
        self.visible = m.group(4) == "1"
        self.rect = tuple(int(m.group(i)) for i in range(5, 9))  # left, top, width, height
        self.state = int(m.group(9))
        self.text = m.group(10)

    def __repr__(self):
        return f"<{self.cls} {self.id} {self.rect} visible={self.visible} state={self.state} {self.text!r}>"


def controls(window):
    """The form's controls by design name (see CONTROL_IDS)."""
    out = run_wine(WININSPECT, ["children", window.hwnd], check=True).stdout
    by_id = {}
    for line in out.splitlines():
        m = _CONTROL_LINE.match(line)
        if m:
            c = Control(m)
            by_id[c.id] = c
    return {name: by_id[i] for name, i in CONTROL_IDS.items() if i in by_id}


class TreeItem:
    def __init__(self, m):
        self.handle = m.group(1)
        self.level = int(m.group(2))
        self.selected = m.group(3) == "1"
        self.rect = tuple(int(m.group(i)) for i in range(4, 8))  # left, top, right, bottom
        self.text = m.group(8)

    def __repr__(self):
        return f"<item {self.text!r} level={self.level} selected={self.selected} {self.rect}>"


def click_at(x, y, pause=0.2):
    """A real left click at a screen point. The mouse moves there first and
    rests a moment, so the control sees it arrive (hover) before the press."""
    xdotool("mousemove", x, y)
    time.sleep(pause)
    xdotool("click", 1)


def control_centre(window, control):
    """The screen point in the middle of a control of a form. The form is
    borderless, so its window rectangle is its client area, to which the
    control's rect is relative."""
    x, y, w, hgt = control.rect
    return window.rect[0] + x + w // 2, window.rect[1] + y + hgt // 2


def click_control(window, control, pause=0.2):
    click_at(*control_centre(window, control), pause=pause)


def tree_item_screen_rect(window, tree, item):
    """A tree item's rectangle on the screen (left, top, right, bottom); the
    item's rect is relative to the tree, the tree's to the form."""
    left = window.rect[0] + tree.rect[0]
    top = window.rect[1] + tree.rect[1]
    return (left + item.rect[0], top + item.rect[1], left + item.rect[2], top + item.rect[3])


def click_tree_item(window, tree, item):
    """A real left click in the middle of a tree item: the zone tree reacts
    to nothing else."""
    l, t, r, b = tree_item_screen_rect(window, tree, item)
    click_at((l + r) // 2, (t + b) // 2)


def click_dialog_button(window, control_id):
    """Clicks a dialog's button with the real mouse, in its middle. The
    children's rects are relative to the client area, which lies inside the
    frame: equal side borders, the caption above."""
    out = run_wine(WININSPECT, ["children", window.hwnd], check=True).stdout
    button = next(c for c in map(Control, filter(None, map(_CONTROL_LINE.match, out.splitlines())))
                  if c.id == control_id)
    left, top, right, bottom = window.rect
    border = (right - left - window.client[0]) // 2
    client_left, client_top = left + border, bottom - border - window.client[1]
    x, y, w, hgt = button.rect
    click_at(client_left + x + w // 2, client_top + y + hgt // 2)


def tree_items(tree_hwnd):
    """The items of a tree control in display order."""
    out = run_wine(WININSPECT, ["tree", tree_hwnd], check=True).stdout
    return [TreeItem(m) for m in map(_ITEM_LINE.match, out.splitlines()) if m]


def post_message(hwnd, msg, wparam, lparam):
    run_wine(WININSPECT, ["post", hwnd, str(msg), str(wparam), str(lparam)], check=True)


def make_skin(folder, overrides=None, drop=()):
    """A copy of the demo skin in `folder` with skin.txt keys replaced
    (overrides: key -> value) or left out (drop)."""
    shutil.copytree(DEMO_SKIN, folder)
    overrides = dict(overrides or {})
    lines = []
    with open(os.path.join(folder, "skin.txt"), encoding="utf-8") as f:
        for line in f:
            key = line.split("=", 1)[0].strip()
            if "=" in line and not line.lstrip().startswith("#"):
                if key in drop:
                    continue
                if key in overrides:
                    line = f"{key} = {overrides.pop(key)}\n"
            lines.append(line)
    lines += [f"{k} = {v}\n" for k, v in overrides.items()]
    with open(os.path.join(folder, "skin.txt"), "w", encoding="utf-8") as f:
        f.writelines(lines)
    return folder


def pack_launcher(exe, brand, skin=DEMO_SKIN, token="tok-1"):
    r = run_wine(LAUNCHER_KIT, ["pack", "--launcher", winpath(LAUNCHER), "--out", winpath(exe), "--brand", brand,
                                "--token", token, "--skin", winpath(skin)], timeout=120)
    if r.returncode != 0:
        raise AssertionError(f"pack failed: {r.stdout} {r.stderr}")
    return exe


def zone(group, name, port, address="127.0.0.1", client="game"):
    return {"GroupName": group, "ListAreaName": name, "ReaDistrictName": name, "ServerAddress": address,
            "LoginPort": str(port), "RegisteredPorts": "0", "PlatFormID": "1", "ChannelID": "c",
            "ServerID": "1", "ClientFileName": client}


def write_inf(inf_path, settings=None, zones=()):
    """The launcher configuration file made by `launcher-kit inf`."""
    base = {"WebUrl": "", "PayUrl": "", "RegisterUrl": "", "UpDateUrl": "", "NoticeUrl": "", "WebUr2": "",
            "Grouping": "g", "UpDateSwitch": "0", "CloudShieldSwitch": "0"}
    base.update(settings or {})
    text = "[LoginData]\n" + "".join(f"{k} = {v}\n" for k, v in base.items())
    for z in zones:
        text += "[Zone]\n" + "".join(f"{k} = {v}\n" for k, v in z.items())
    desc = inf_path + ".txt"
    with open(desc, "w", encoding="utf-8") as f:
        f.write(text)
    r = run_wine(LAUNCHER_KIT, ["inf", winpath(desc), winpath(inf_path)])
    if r.returncode != 0:
        raise AssertionError(f"inf failed: {r.stdout} {r.stderr}")
    os.remove(desc)


class LauncherSession:
    """Starts branded launchers and ends whatever they left behind."""

    def __init__(self):
        self.started = []
        self.brands = set()
        self.pids = set()

    def start(self, exe, brand, timeout=30, env=None):
        self.brands.add(brand)
        self.started.append(start_wine(exe, cwd=os.path.dirname(exe), env=env))
        w = wait_until(lambda: [w for w in find_windows(cls="TForm2", title=brand) if w.visible],
                       timeout=timeout, what=f"the window of {brand}")[0]
        self.pids.add(w.pid)
        return w

    def window(self, brand):
        found = find_windows(cls="TForm2", title=brand)
        return found[0] if found else None

    def end(self):
        try:
            for w in top_windows():
                if w.pid in self.pids:
                    terminate_process(w.pid)
        finally:
            for p in self.started:
                try:
                    p.wait(timeout=20)
                except subprocess.TimeoutExpired:
                    p.kill()
                    p.wait()


def screenshot():
    """The whole X screen as (width, height, rgb bytes)."""
    data = subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"], capture_output=True, timeout=60,
                          check=True).stdout
    # P6\n<w> <h>\n<max>\n<bytes>
    parts = data.split(b"\n", 3)
    w, h = (int(v) for v in parts[1].split())
    return w, h, parts[3]


def pixel(shot, x, y):
    w, _, px = shot
    i = 3 * (y * w + x)
    return tuple(px[i:i + 3])


def save_artifact(name):
    """Keeps a screenshot of the screen under build/<preset>/artifacts."""
    folder = build_path("artifacts")
    os.makedirs(folder, exist_ok=True)
    subprocess.run(["import", "-window", "root", os.path.join(folder, name)], timeout=60, check=True)


def xdotool(*args):
    subprocess.run(["xdotool", *[str(a) for a in args]], check=True, timeout=30)
