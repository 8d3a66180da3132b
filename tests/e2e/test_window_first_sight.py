"""The launcher window is usable the moment it becomes visible: the zone tree
is already filled, a click on a zone or on a button given right then is
handled, and both notice panels get their browser controls right after."""
import os
import re
import socket
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import lkharness as h  # noqa: E402

_ITEM = re.compile(r"^item (\S+) level=(-?\d+) selected=(\d) rect=(-?\d+),(-?\d+),(-?\d+),(-?\d+) text=(.*)$")
_CONTROL = re.compile(r"^control (\S+) id=(-?\d+) class=(.*?) visible=(\d) "
                      r"rect=(-?\d+),(-?\d+),(-?\d+),(-?\d+) state=(-?\d+) text=(.*)$")


class FirstSight:
    """What wininspect saw the moment the window became visible."""

    def __init__(self, out):
        lines = out.replace("\r", "").splitlines()
        self.hwnd = next(line.split()[1] for line in lines if line.startswith("window "))
        self.browsers = int(next(line.split("=")[1] for line in lines if line.startswith("browsers=")))
        by_id = {c.id: c for c in (h.Control(m) for m in map(_CONTROL.match, lines) if m)}
        self.controls = {name: by_id[i] for name, i in h.CONTROL_IDS.items() if i in by_id}
        self.items = [h.TreeItem(m) for m in map(_ITEM.match, lines) if m]


class FirstSightTest(h.TempDirTestCase):
    def setUp(self):
        super().setUp()
        self.session = h.LauncherSession()
        self.addCleanup(self.session.end)
        self.listener = socket.socket()
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(64)
        self.addCleanup(self.listener.close)
        port = self.listener.getsockname()[1]
        self.brand = "first" + str(os.getpid())
        self.exe = os.path.join(self.tmp, "first.exe")
        h.pack_launcher(self.exe, self.brand)
        # Pages on a port nobody serves: the panels get their addresses, and
        # under Wine nothing renders either way.
        h.write_inf(os.path.join(self.tmp, "first.inf"),
                    {"NoticeUrl": "http://127.0.0.1:9/notice.html", "WebUr2": "http://127.0.0.1:9/web2.html"},
                    zones=[h.zone("电信区", "一区", port), h.zone("电信区", "二区", port),
                           h.zone("网通区", "三区", port)])

    def start_and_look(self, click=None):
        """Starts the launcher and returns what was there at first sight;
        click: a point of the client area clicked at that moment."""
        self.session.started.append(h.start_wine(self.exe, cwd=self.tmp))
        args = ["firstsight", "TForm2", self.brand] + ([str(v) for v in click] if click else [])
        r = h.run_wine(h.WININSPECT, args, timeout=90)
        self.assertEqual(r.returncode, 0, "the window never became visible")
        seen = FirstSight(r.stdout)
        window = h.wait_until(lambda: self.session.window(self.brand), what="the window")
        self.session.pids.add(window.pid)
        return seen, window

    def close(self, window):
        h.close_window(window)
        h.wait_until(lambda: not h.find_windows(cls="TForm2", title=self.brand), timeout=20,
                     what="the launcher to close")

    def test_tree_filled_at_first_sight_then_a_zone_click_at_first_sight_is_handled(self):
        seen, window = self.start_and_look()
        self.assertEqual([(i.level, i.text) for i in seen.items],
                         [(0, "电信区"), (1, "一区"), (1, "二区"), (0, "网通区"), (1, "三区")])
        self.assertFalse(any(i.selected for i in seen.items))
        tree = seen.controls["TreeView1"]
        self.assertTrue(tree.visible)
        target = next(i for i in seen.items if i.text == "三区")
        self.assertGreater(target.rect[3], target.rect[1], "the zone's row is on screen")
        # The panels are there from the start, as empty areas in their place.
        self.assertEqual(seen.controls["WebBrowser1"].rect, (330, 80, 410, 290))
        self.assertEqual(seen.controls["WebBrowser2"].rect, (770, 80, 190, 280))
        # Both browser controls come right after the first paint.
        h.wait_until(lambda: h.run_wine(h.WININSPECT, ["count", window.hwnd, "Shell Embedding"])
                     .stdout.strip() == "2", timeout=15, what="both browser controls")
        self.close(window)

        # Again, now clicking the zone the moment the window is visible.
        x = tree.rect[0] + (target.rect[0] + target.rect[2]) // 2
        y = tree.rect[1] + (target.rect[1] + target.rect[3]) // 2
        seen, window = self.start_and_look(click=(x, y))
        status = h.wait_until(
            lambda: (lambda t: t if t.startswith("运行中：") else None)(h.controls(window)["Label2"].text),
            timeout=15, what="the probe of the zone clicked at first sight")
        self.assertRegex(status, r"^运行中：\d+ ms$")
        selected = [i.text for i in h.tree_items(seen.controls["TreeView1"].hwnd) if i.selected]
        self.assertEqual(selected, ["三区"])

    def test_button_click_at_first_sight_is_handled(self):
        seen, _ = self.start_and_look()
        hide = seen.controls["Image7"]
        self.close(self.session.window(self.brand))
        # The hide-to-tray button, clicked the moment the window is visible.
        x, y, w, hgt = hide.rect
        self.start_and_look(click=(x + w // 2, y + hgt // 2))
        h.wait_until(lambda: not self.session.window(self.brand).visible, timeout=15,
                     what="the window hidden by the button clicked at first sight")


if __name__ == "__main__":
    unittest.main()
