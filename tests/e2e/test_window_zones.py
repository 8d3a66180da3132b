"""The zone tree with real clicks: the status probe against real TCP
listeners on 127.0.0.1, the left-click rule, the red names of the chosen
zone, and a click while a probe runs."""
import os
import re
import socket
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import lkharness as h  # noqa: E402

ONLINE = re.compile(r"^运行中：(\d+) ms$")


def closed_port():
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


def never_accepting_listener():
    """A listener whose queue is full: further connects get no answer."""
    server = socket.socket()
    server.bind(("127.0.0.1", 0))
    server.listen(0)
    fillers = []
    for _ in range(8):
        c = socket.socket()
        c.settimeout(0.3)
        try:
            c.connect(server.getsockname())
            fillers.append(c)
        except OSError:
            c.close()
            break
    return server, fillers


def is_red(p):
    return p[0] > 180 and p[1] < 80 and p[2] < 80


class ZoneTreeTest(h.TempDirTestCase):
    def setUp(self):
        super().setUp()
        self.session = h.LauncherSession()
        self.addCleanup(self.session.end)
        self.listener = socket.socket()
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(64)
        self.addCleanup(self.listener.close)
        self.slow, fillers = never_accepting_listener()
        self.addCleanup(self.slow.close)
        for f in fillers:
            self.addCleanup(f.close)
        ok = self.listener.getsockname()[1]
        zones = [h.zone("电信区", "一区", ok), h.zone("电信区", "二区", closed_port()),
                 h.zone("电信区", "慢区", self.slow.getsockname()[1]), h.zone("网通区", "一区", ok)]
        self.brand = "zones" + str(os.getpid())
        exe = os.path.join(self.tmp, "zones.exe")
        h.pack_launcher(exe, self.brand)
        h.write_inf(os.path.join(self.tmp, "zones.inf"), zones=zones)
        self.window = self.session.start(exe, self.brand)
        time.sleep(1)
        self.ctl = h.controls(self.window)
        self.tree = self.ctl["TreeView1"]

    def items(self):
        return h.tree_items(self.tree.hwnd)

    def item_screen_rect(self, item):
        return h.tree_item_screen_rect(self.window, self.tree, item)

    def click(self, item):
        h.click_tree_item(self.window, self.tree, item)

    def status(self):
        return h.controls(self.window)["Label2"].text

    def dot_pixel(self):
        return h.pixel(h.screenshot(), *h.control_centre(self.window, self.ctl["Image1"]))

    def has_red(self, shot, item):
        l, t, r, b = self.item_screen_rect(item)
        return any(is_red(h.pixel(shot, x, y)) for x in range(l, r) for y in range(t, b))

    def test_probe_rules_with_real_clicks(self):
        items = self.items()
        self.assertEqual([(i.level, i.text) for i in items],
                         [(0, "电信区"), (1, "一区"), (1, "二区"), (1, "慢区"), (0, "网通区"), (1, "一区")])
        self.assertFalse(any(i.selected for i in items))  # FormShow cleared it
        group_a, zone1, zone2, slow, group_b, zone1b = items

        # A reachable zone: time in whole ms and the green dot.
        self.click(zone1)
        text = h.wait_until(lambda: ONLINE.match(self.status()) and self.status(), timeout=10,
                            what="the probe result")
        self.assertLess(int(ONLINE.match(text).group(1)), 2000)
        r, g, b = self.dot_pixel()
        self.assertGreater(g, r + 60)
        # Every node named like the chosen zone is drawn red; others are not.
        shot = h.screenshot()
        h.save_artifact("zones_selected_red.png")
        self.assertTrue(self.has_red(shot, zone1))
        self.assertTrue(self.has_red(shot, zone1b))
        self.assertFalse(self.has_red(shot, zone2))
        self.assertFalse(self.has_red(shot, group_b))

        # A group node changes nothing.
        self.click(group_b)
        time.sleep(1.5)
        self.assertEqual(self.status(), text)
        self.assertTrue(self.has_red(h.screenshot(), zone1))

        # The arrow keys: the selection is undone, no probe starts.
        h.xdotool("key", "Down")
        time.sleep(1.5)
        self.assertFalse(any(i.selected for i in self.items()))
        self.assertEqual(self.status(), text)

        # A closed port: "连接失败" and the grey dot.
        self.click(zone2)
        h.wait_until(lambda: self.status() == "连接失败", timeout=10, what="the failed probe")
        r, g, b = self.dot_pixel()
        self.assertLess(abs(g - r), 30)
        self.assertFalse(self.has_red(h.screenshot(), zone1))

        # A listener that never answers: the probe times out at about 2 s; a
        # click meanwhile starts nothing and the probed zone stays selected.
        start = time.monotonic()
        self.click(slow)
        h.wait_until(lambda: self.status() == "连接中...", timeout=5, what="the probe to start")
        self.click(zone1)
        time.sleep(0.3)
        self.assertEqual([i.text for i in self.items() if i.selected], ["慢区"])
        # Every status read until the timeout: a probe of 一区 started by the
        # click would show "运行中" before the slow zone's failure. (Reading
        # takes a Wine process start, so how many reads fall into the 2 s
        # varies with the machine's load; none may show another zone.)
        seen = []
        h.wait_until(lambda: seen.append(self.status()) or seen[-1] == "连接失败", timeout=10,
                     what="the probe's timeout")
        self.assertEqual(set(seen) - {"连接中...", "连接失败"}, set(), seen)
        elapsed = time.monotonic() - start
        self.assertGreater(elapsed, 1.8)
        self.assertLess(elapsed, 6)
        self.assertEqual([i.text for i in self.items() if i.selected], ["慢区"])

    def test_tray_selects_the_first_node_of_the_chosen_name(self):
        items = self.items()
        zone1, zone1b = items[1], items[5]
        self.click(zone1b)
        h.wait_until(lambda: ONLINE.match(self.status()), timeout=10, what="the probe result")
        self.assertEqual([i.selected for i in self.items()], [False] * 5 + [True])
        # The shell hands a click on the icon over while the left button is
        # down; hold it on the window's surface and press the icon.
        x, y = self.ctl["Label3"].rect[:2]
        h.xdotool("mousemove", self.window.rect[0] + x + 5, self.window.rect[1] + y + 5)
        h.xdotool("mousedown", 1)
        try:
            time.sleep(0.3)
            tray = [t for t in h.find_windows(cls="LkTrayIconWindow") if t.pid == self.window.pid][0]
            h.post_message(tray.hwnd, 0x8000 + 0x54, 1, 0x0201)
            time.sleep(1)
        finally:
            h.xdotool("mouseup", 1)
        # The first node in tree order named like the chosen zone.
        self.assertEqual([i.selected for i in self.items()], [False, True] + [False] * 4)
        self.assertEqual(zone1.text, zone1b.text)
        h.wait_until(lambda: ONLINE.match(self.status()), timeout=10, what="the new probe")


if __name__ == "__main__":
    unittest.main()
