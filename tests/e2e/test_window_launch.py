"""The start button with real clicks: the refusals, a started client with
its command line and Config.ini, hide and tray, and the clients ended when
the launcher closes (while a program whose name merely contains the
client's name keeps running)."""
import os
import shutil
import socket
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import lkharness as h  # noqa: E402
from test_window_zones import ONLINE, closed_port  # noqa: E402

FAKECLIENT = h.build_path("tests", "fakeclient.exe")
TRAY_CALLBACK = 0x8000 + 0x54
WM_LBUTTONDOWN = 0x0201
IDOK = 1
TOKEN = "tok-1 x"


def read_ini(path):
    data = h.read_bytes(path)
    text = data.decode("utf-16") if data[:2] in (b"\xff\xfe", b"\xfe\xff") else data.decode("gbk")
    values = {}
    for line in text.splitlines():
        if "=" in line:
            k, v = line.split("=", 1)
            values[k.strip()] = v.strip()
    return values


class LaunchTest(h.TempDirTestCase):
    def setUp(self):
        super().setUp()
        self.session = h.LauncherSession()
        self.addCleanup(self.session.end)
        self.listener = socket.socket()
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(64)
        self.addCleanup(self.listener.close)
        self.port = self.listener.getsockname()[1]
        zones = [h.zone("电信区", "一区", self.port, client="game"),
                 h.zone("电信区", "二区", closed_port(), client="game"),
                 h.zone("电信区", "缺区", self.port, client="missing")]
        self.brand = "launch" + str(os.getpid())
        self.exe = os.path.join(self.tmp, "launch.exe")
        h.pack_launcher(self.exe, self.brand, token=TOKEN)
        h.write_inf(os.path.join(self.tmp, "launch.inf"), zones=zones)
        shutil.copy(FAKECLIENT, os.path.join(self.tmp, "game.exe"))
        # Not the launcher's: its name only contains the client's name.
        shutil.copy(FAKECLIENT, os.path.join(self.tmp, "mygame.exe"))
        self.record = os.path.join(self.tmp, "record.txt")
        self.config = os.path.join(self.tmp, "Config.ini")
        self.addCleanup(self.end_clients)

    def end_clients(self):
        for pid in h.processes_running(self.tmp, "game.exe") + h.processes_running(self.tmp, "mygame.exe"):
            try:
                os.kill(pid, 9)
            except OSError:
                pass
        if getattr(self, "unrelated", None):
            self.unrelated.wait(timeout=30)

    def click_control(self, name):
        h.click_control(self.session.window(self.brand), self.ctl[name])

    def click_zone(self, text):
        item = [i for i in h.tree_items(self.ctl["TreeView1"].hwnd) if i.text == text][0]
        h.click_tree_item(self.session.window(self.brand), self.ctl["TreeView1"], item)

    def status(self):
        return h.controls(self.session.window(self.brand))["Label2"].text

    def expect_box(self, title, text):
        box = h.wait_until(lambda: [w for w in h.find_windows(cls="#32770", title=title) if w.visible],
                           timeout=10, what=f"the box {title}")[0]
        self.assertIn(text, box.texts())
        h.press_button(box, IDOK)
        h.wait_until(lambda: not [w for w in h.find_windows(cls="#32770", title=title) if w.visible],
                     timeout=10, what="the box to close")

    def test_start_refusals_client_and_close(self):
        env = {"LK_FAKECLIENT_RECORD": h.winpath(self.record)}
        w = self.session.start(self.exe, self.brand, env=env)
        time.sleep(1)
        self.ctl = h.controls(w)
        self.unrelated = h.start_wine(os.path.join(self.tmp, "mygame.exe"))

        # No zone chosen.
        self.click_control("Image2")
        self.expect_box("警告", "服务器暂未开放！")
        # A zone whose probe failed.
        self.click_zone("二区")
        h.wait_until(lambda: self.status() == "连接失败", timeout=10, what="the failed probe")
        self.click_control("Image2")
        self.expect_box("警告", "服务器暂未开放！")
        # A missing client: the full path, then the text, nothing between.
        self.click_zone("缺区")
        h.wait_until(lambda: ONLINE.match(self.status()), timeout=10, what="the probe")
        self.click_control("Image2")
        self.expect_box("launch", h.winpath(os.path.join(self.tmp, "missing.exe")) + "应用路径不存在")
        self.assertFalse(os.path.exists(self.config))
        self.assertFalse(os.path.exists(self.record))

        # The main path.
        self.click_zone("一区")
        h.wait_until(lambda: ONLINE.match(self.status()), timeout=10, what="the probe")
        self.click_control("Image2")
        h.wait_until(lambda: os.path.exists(self.record), timeout=20, what="the client's record")
        game = h.winpath(os.path.join(self.tmp, "game.exe"))
        command_line = h.read_bytes(self.record).decode("utf-8").splitlines()[0]
        self.assertEqual(command_line, f'"{game}" {TOKEN}')
        h.wait_until(lambda: not self.session.window(self.brand).visible, timeout=10, what="the window to hide")
        options = h.wait_until(lambda: os.path.exists(self.config) and read_ini(self.config).get("ScreenHeight")
                               and read_ini(self.config), timeout=10, what="Config.ini")
        self.assertEqual(options, {"ServerAddr": "127.0.0.1", "Param1": str(self.port), "Interface": "1",
                                   "FullScreenMode": "0", "ScreenWidth": "800", "ScreenHeight": "600"})

        # The tray brings the window back; a second press starts a second client.
        tray = [t for t in h.find_windows(cls="LkTrayIconWindow") if t.pid == w.pid][0]
        h.post_message(tray.hwnd, TRAY_CALLBACK, 1, WM_LBUTTONDOWN)
        h.wait_until(lambda: self.session.window(self.brand).visible, timeout=10, what="the window to return")
        time.sleep(1)
        os.remove(self.record)
        self.click_control("Image2")
        h.wait_until(lambda: os.path.exists(self.record), timeout=20, what="the second client")
        h.wait_until(lambda: len(h.processes_running(self.tmp, "game.exe")) >= 2, timeout=10, what="two clients")

        # Closing the launcher ends its clients, not mygame.exe.
        h.post_message(tray.hwnd, TRAY_CALLBACK, 1, WM_LBUTTONDOWN)
        h.wait_until(lambda: self.session.window(self.brand).visible, timeout=10, what="the window to return")
        self.ctl = h.controls(self.session.window(self.brand))
        self.click_control("Image8")
        h.wait_until(lambda: not h.find_windows(cls="TForm2", title=self.brand), timeout=20,
                     what="the launcher to close")
        h.wait_until(lambda: not h.processes_running(self.tmp, "game.exe"), timeout=20, what="the clients to end")
        self.assertTrue(h.processes_running(self.tmp, "mygame.exe"))

    def test_failed_write_ends_the_press(self):
        # Config.ini is a folder: the profile writer cannot write it.
        os.makedirs(self.config)
        w = self.session.start(self.exe, self.brand, env={"LK_FAKECLIENT_RECORD": h.winpath(self.record)})
        time.sleep(1)
        self.ctl = h.controls(w)
        self.click_zone("一区")
        h.wait_until(lambda: ONLINE.match(self.status()), timeout=10, what="the probe")
        self.click_control("Image2")
        self.expect_box("launch", "Unable to write to " + h.winpath(self.config))
        # The client runs, the window was not hidden, and the client is not
        # the launcher's to end.
        h.wait_until(lambda: os.path.exists(self.record), timeout=20, what="the client")
        self.assertTrue(self.session.window(self.brand).visible)
        h.close_window(self.session.window(self.brand))
        h.wait_until(lambda: not h.find_windows(cls="TForm2", title=self.brand), timeout=20,
                     what="the launcher to close")
        time.sleep(2)
        self.assertTrue(h.processes_running(self.tmp, "game.exe"))


if __name__ == "__main__":
    unittest.main()
