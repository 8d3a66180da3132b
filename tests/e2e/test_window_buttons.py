"""The page buttons and the tools menu with real clicks: Image3/Image6 hand
their addresses to the shell, an empty address opens nothing, Image5 pops
the tools menu up below itself and its first entry starts the first remote
tool below the launcher folder. Stand-in programs (the fake client) record
that they ran."""
import os
import shutil
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import lkharness as h  # noqa: E402
from test_window_launch import FAKECLIENT  # noqa: E402


class ButtonsTest(h.TempDirTestCase):
    def setUp(self):
        super().setUp()
        self.session = h.LauncherSession()
        self.addCleanup(self.session.end)
        self.addCleanup(self.end_programs)
        for name in ("pay.exe", "reg.exe"):
            shutil.copy(FAKECLIENT, os.path.join(self.tmp, name))
        os.makedirs(os.path.join(self.tmp, "远程软件"))
        shutil.copy(FAKECLIENT, os.path.join(self.tmp, "远程软件", "远程控制1.exe"))
        self.brand = "buttons" + str(os.getpid())
        exe = os.path.join(self.tmp, "buttons.exe")
        h.pack_launcher(exe, self.brand)
        h.write_inf(os.path.join(self.tmp, "buttons.inf"), settings={
            "PayUrl": h.winpath(os.path.join(self.tmp, "pay.exe")), "WebUrl": "",
            "RegisterUrl": h.winpath(os.path.join(self.tmp, "reg.exe"))})
        self.record = os.path.join(self.tmp, "record.txt")
        self.window = self.session.start(exe, self.brand, env={"LK_FAKECLIENT_RECORD": h.winpath(self.record)})
        time.sleep(1)
        self.ctl = h.controls(self.window)

    def end_programs(self):
        for name in ("pay.exe", "reg.exe", "远程控制1.exe"):
            for pid in h.processes_running(self.tmp, name):
                os.kill(pid, 9)

    def click(self, name):
        h.click_control(self.window, self.ctl[name])

    def ran(self, name):
        h.wait_until(lambda: os.path.exists(self.record), timeout=20, what=f"{name} to run")
        command_line = h.read_bytes(self.record).decode("utf-8").splitlines()[0]
        os.remove(self.record)
        return name in command_line

    def test_pages_and_tools_menu(self):
        self.click("Image3")
        self.assertTrue(self.ran("pay.exe"))
        self.click("Image4")  # WebUrl empty: nothing opens
        time.sleep(2)
        self.assertFalse(os.path.exists(self.record))
        self.click("Image6")
        self.assertTrue(self.ran("reg.exe"))

        self.click("Image5")
        menu = h.wait_until(lambda: [w for w in h.find_windows(cls="#32768") if w.visible], timeout=10,
                            what="the tools menu")[0]
        x, y, w, hgt = self.ctl["Image5"].rect
        self.assertEqual(menu.rect[:2], (self.window.rect[0] + x, self.window.rect[1] + y + hgt))
        # The first entry, clicked as a player would (unmanaged windows under
        # the harness do not take the X keyboard focus, so keys would miss).
        h.click_at(menu.rect[0] + 20, menu.rect[1] + 8)
        self.assertTrue(self.ran("远程控制1.exe"))


if __name__ == "__main__":
    unittest.main()
