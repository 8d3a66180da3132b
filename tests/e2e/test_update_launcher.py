"""The branded launcher updating itself under Wine, against nginx on
127.0.0.1 serving a site written by `launcher-kit publish`: the question
answered OK (game file unpacked, configuration reloaded into the tree, the
patcher replacing the running launcher with another brand's build, which
then finds nothing more to update) and Cancel (nothing downloaded, the
manifest's remote tools in the menu). A launcher of the same file name in
another folder keeps running throughout. The patcher waits 5 s + 3 s by
design."""
import os
import re
import shutil
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import lkharness as h  # noqa: E402
from lkservers import Nginx  # noqa: E402
from test_window_launch import FAKECLIENT  # noqa: E402

IDOK = 1
IDCANCEL = 2
GAME_BYTES = b"level data v2\n" * 100


def brand_of(exe):
    """The brand a launcher exe on disk carries, as `launcher-kit inspect` reads it."""
    r = h.run_wine(h.LAUNCHER_KIT, ["inspect", h.winpath(exe)], timeout=60)
    m = re.search(r"^BrandName = (.*)$", r.stdout, re.M)
    return m.group(1).strip() if m else None


def questions(pid):
    return [w for w in h.find_windows(cls="#32770", title="提示", visible=True) if w.pid == pid]


class UpdateLauncher(h.TempDirTestCase):
    def setUp(self):
        super().setUp()
        tag = str(os.getpid())
        self.brand_a, self.brand_b, self.brand_c = "updA" + tag, "updB" + tag, "updC" + tag
        self.session = h.LauncherSession()
        self.addCleanup(self.session.end)
        self.addCleanup(self.end_strays)

        site = os.path.join(self.tmp, "site")
        os.makedirs(site)
        self.nginx = Nginx(site)
        self.addCleanup(self.nginx.stop)
        settings = {"UpDateSwitch": "1", "UpDateUrl": self.nginx.url + "update.ini"}
        self.old_zones = [h.zone("电信区", "旧一区", 1)]
        self.new_zones = [h.zone("电信区", "新一区", 1), h.zone("网通区", "新二区", 1)]

        # The player's folder: brand A with one zone.
        self.game = os.path.join(self.tmp, "gameA")
        os.makedirs(self.game)
        self.exe = h.pack_launcher(os.path.join(self.game, "launcher.exe"), self.brand_a)
        h.write_inf(os.path.join(self.game, "launcher.inf"), settings, self.old_zones)

        # The release: brand B, more zones, a game file; the same update
        # address, so B finds itself up to date.
        release = os.path.join(self.tmp, "release")
        os.makedirs(os.path.join(release, "data"))
        h.pack_launcher(os.path.join(release, "launcher.exe"), self.brand_b)
        h.write_inf(os.path.join(release, "launcher.inf"), settings, self.new_zones)
        h.write_bytes(os.path.join(release, "data", "game.dat"), GAME_BYTES)
        self.release_inf = h.read_bytes(os.path.join(release, "launcher.inf"))
        r = h.run_wine(h.LAUNCHER_KIT, ["publish", h.winpath(release), h.winpath(site), "--url", self.nginx.url,
                                        "--remote-caption1", "远程甲", "--remote-path1", "工具\\tool1.exe",
                                        "--remote-caption2", "远程乙", "--remote-path2", "工具\\tool2.exe"],
                       timeout=120)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)

        # Another folder's launcher of the same file name, not updating.
        self.other = os.path.join(self.tmp, "otherC")
        os.makedirs(self.other)
        self.other_exe = h.pack_launcher(os.path.join(self.other, "launcher.exe"), self.brand_c)
        h.write_inf(os.path.join(self.other, "launcher.inf"), {"UpDateSwitch": "0"}, self.old_zones)

    def end_strays(self):
        # The patcher and the launcher it starts are nobody's child here.
        for folder, name in ((self.game, "patcher.exe"), (self.game, "launcher.exe"),
                             (self.other, "launcher.exe")):
            for pid in h.processes_running(folder, name):
                try:
                    os.kill(pid, 9)
                except ProcessLookupError:
                    pass

    def start_both(self):
        other = self.session.start(self.other_exe, self.brand_c, timeout=60)
        window = self.session.start(self.exe, self.brand_a)
        box = h.wait_until(lambda: questions(window.pid), timeout=30, what="the update question")[0]
        self.assertIn("检测到有内容要更新，是否进行更新。", box.texts())
        return other, window, box

    def zone_names(self, window):
        try:
            tree = h.controls(window)["TreeView1"]
            return {item.text for item in h.tree_items(tree.hwnd)}
        except (AssertionError, KeyError):
            return set()  # the window went away meanwhile

    def still_running(self, window):
        return any(w.pid == window.pid for w in h.find_windows(cls="TForm2", title=window.title))

    def test_ok_updates_files_configuration_and_the_launcher_itself(self):
        started = time.monotonic()
        other, window, box = self.start_both()
        self.assertIn("旧一区", self.zone_names(window))
        h.click_dialog_button(box, IDOK)

        # The files arrive, then the patcher starts and at once ends the old
        # launcher (its 5 s wait comes after that), so the reload of the
        # configuration races the end of the window: the tree is checked in
        # the new launcher, the replaced .inf here.
        h.wait_until(lambda: os.path.exists(os.path.join(self.game, "patcher.exe")), timeout=30,
                     what="patcher.exe to be written")
        self.assertEqual(h.read_bytes(os.path.join(self.game, "data", "game.dat")), GAME_BYTES)
        self.assertEqual(h.read_bytes(os.path.join(self.game, "launcher.inf")), self.release_inf)
        h.wait_until(lambda: [w for w in h.find_windows(cls="TForm3", title="Form3") if w.visible],
                     timeout=10, what="the patcher's window")

        # The patcher ends the old launcher and starts the new build.
        h.wait_until(lambda: not self.still_running(window), timeout=30, what="the old launcher to end")
        self.assertIsNotNone(self.session.started[1].wait(timeout=30))
        new = h.wait_until(lambda: [w for w in h.find_windows(cls="TForm2", title=self.brand_b) if w.visible],
                           timeout=40, what="the new launcher's window")[0]
        self.session.pids.add(new.pid)
        self.assertNotEqual(new.pid, window.pid)
        self.assertEqual(brand_of(self.exe), self.brand_b)

        # B's own run finds the manifest up to date: no question, the final
        # display, and the Patch folder gone.
        h.wait_until(lambda: any(c.text == "更新完成。" for c in h.controls(new).values()), timeout=20,
                     what="更新完成。 in the new launcher")
        self.assertEqual(questions(new.pid), [])
        h.wait_until(lambda: not os.path.exists(os.path.join(self.game, "Patch")), timeout=20,
                     what="the Patch folder to go")
        h.wait_until(lambda: not h.processes_running(self.game, "patcher.exe"), timeout=20,
                     what="the patcher to end")
        names = self.zone_names(new)
        self.assertIn("新一区", names)
        self.assertIn("新二区", names)
        self.assertNotIn("旧一区", names)

        # The same file name in another folder was never touched.
        self.assertTrue(self.still_running(other))
        self.assertEqual(brand_of(self.other_exe), self.brand_c)
        print(f"update with self-replacement took {time.monotonic() - started:.1f} s")

    def test_cancel_downloads_nothing_and_menu_takes_manifest_tools(self):
        os.makedirs(os.path.join(self.game, "工具"))
        shutil.copy(FAKECLIENT, os.path.join(self.game, "工具", "tool1.exe"))
        # The record variable reaches the tool through the launcher's environment.
        other = self.session.start(self.other_exe, self.brand_c, timeout=60)
        record = os.path.join(self.tmp, "record.txt")
        window = self.session.start(self.exe, self.brand_a, env={"LK_FAKECLIENT_RECORD": h.winpath(record)})
        box = h.wait_until(lambda: questions(window.pid), timeout=30, what="the update question")[0]
        h.click_dialog_button(box, IDCANCEL)
        h.wait_until(lambda: not questions(window.pid), timeout=10, what="the question to close")
        time.sleep(3)
        for gone in ("data", "Patch", "patcher.exe"):
            self.assertFalse(os.path.exists(os.path.join(self.game, gone)), gone)
        self.assertEqual(brand_of(self.exe), self.brand_a)
        self.assertTrue(self.still_running(window))
        self.assertTrue(self.still_running(other))
        names = self.zone_names(window)
        self.assertIn("旧一区", names)
        self.assertNotIn("新二区", names)
        self.assertEqual(h.processes_running(self.game, "patcher.exe"), [])

        # The manifest's remote tools were set before the question: the
        # menu's first entry now starts 工具\tool1.exe.
        ctl = h.controls(window)
        h.click_control(window, ctl["Image5"])
        menu = h.wait_until(lambda: [m for m in h.find_windows(cls="#32768") if m.visible], timeout=10,
                            what="the tools menu")[0]
        h.click_at(menu.rect[0] + 20, menu.rect[1] + 8)
        h.wait_until(lambda: os.path.exists(record), timeout=20, what="the manifest's tool to run")
        self.assertIn("tool1.exe", h.read_bytes(record).decode("utf-8").splitlines()[0])
        for pid in h.processes_running(os.path.join(self.game, "工具"), "tool1.exe"):
            os.kill(pid, 9)


if __name__ == "__main__":
    unittest.main()
