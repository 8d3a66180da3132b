"""The configuration load inside window construction, with .inf files
written entry by entry: the tree's shape (shared groups, a third level,
gaps in the keys, eleven fields), and the errors that end the load and the
rest of window construction while the window still opens."""
import os
import shutil
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import lkharness as h  # noqa: E402

IDOK = 1


def encode(text):
    r = h.run_wine(h.LAUNCHER_KIT, ["encode", text], check=True)
    return r.stdout.strip()


def entry(group, name, port="1", extra=""):
    return f"{group}|{name}|r|127.0.0.1|{port}|0|1|c|1|game{extra}"


class ConfigLoadTest(h.TempDirTestCase):
    def setUp(self):
        super().setUp()
        self.session = h.LauncherSession()
        self.addCleanup(self.session.end)
        self.tag = str(os.getpid())

    def launcher(self, name, settings=None, servers=None, config_ini=None):
        """A branded launcher with a hand-written .inf (servers: key -> entry
        text, scrambled here), or none when settings is None."""
        exe = os.path.join(self.tmp, name + ".exe")
        brand = name + self.tag
        h.pack_launcher(exe, brand)
        if settings is not None:
            lines = ["[LoginData]"] + [f"{k}={v}" for k, v in settings.items()] + ["[Server]"]
            lines += [f"{k}={encode(v)}" for k, v in (servers or {}).items()]
            h.write_bytes(os.path.join(self.tmp, name + ".inf"), ("\r\n".join(lines) + "\r\n").encode("ascii"))
        if config_ini:
            h.write_bytes(os.path.join(self.tmp, "Config.ini"), config_ini.encode("ascii"))
        return exe, brand

    def start_expecting_box(self, exe, brand, text):
        """Starts the launcher, answers the message dialog that construction
        shows (captioned with the exe's name), returns the opened window."""
        self.session.brands.add(brand)
        self.session.started.append(h.start_wine(exe, cwd=self.tmp))
        title = os.path.splitext(os.path.basename(exe))[0]
        box = h.wait_until(lambda: [w for w in h.find_windows(cls="#32770", title=title) if w.visible],
                           timeout=30, what="the message dialog")[0]
        self.session.pids.add(box.pid)
        self.assertIn(text, box.texts())
        h.press_button(box, IDOK)
        return h.wait_until(lambda: [w for w in h.find_windows(cls="TForm2", title=brand) if w.visible],
                            timeout=20, what="the window")[0]

    def tree(self, window):
        return [(i.level, i.text) for i in h.tree_items(h.controls(window)["TreeView1"].hwnd)]

    def settings(self, **over):
        s = {"WebUrl": "", "PayUrl": "", "RegisterUrl": "", "UpDateUrl": "", "NoticeUrl": "", "WebUr2": "",
             "Grouping": "", "UpDateSwitch": "01", "CloudShieldSwitch": "0"}
        s.update(over)
        return s

    def test_tree_shape(self):
        servers = {
            "0": entry("甲", "一区"),
            "1": entry("甲", "二区"),
            "2": entry("一区", "三级"),          # group named like an earlier zone: third level
            "3": entry("乙", "四区", port="70000"),  # kept as 4464
            "4": entry("乙", "五区", extra="|eleventh"),
            "6": entry("丙", "六区"),          # after the gap: never read
        }
        exe, brand = self.launcher("cfg_tree", self.settings(), servers)
        w = self.session.start(exe, brand)
        time.sleep(0.5)
        self.assertEqual(self.tree(w), [(0, "甲"), (1, "一区"), (2, "三级"), (1, "二区"), (0, "乙"), (1, "四区"),
                                        (1, "五区")])
        # Construction wrote the desktop shortcut under the exe's name (the
        # tests' Wine desktop is the private HOME, or its Desktop folder).
        home = os.path.join(os.environ.get("LK_WINE_DIR", os.path.join(h.SOURCE_DIR, "build", "wine")), "home")
        self.assertTrue(any(os.path.exists(os.path.join(d, "cfg_tree.lnk"))
                            for d in (home, os.path.join(home, "Desktop"))))

    def test_zone_error_ends_load_and_construction(self):
        servers = {"0": entry("甲", "一区"), "1": entry("甲", "坏区", port="-1"), "2": entry("甲", "后区")}
        exe, brand = self.launcher("cfg_port", self.settings(), servers,
                                   config_ini="[Options]\r\nInterface=2\r\nFullScreenMode=1\r\n")
        w = self.start_expecting_box(exe, brand, "'-1' is not a valid integer value")
        self.assertEqual(self.tree(w), [(0, "甲"), (1, "一区")])
        c = h.controls(w)
        # The steps after the load did not run: defaults stay.
        self.assertEqual(c["InterfaceSelection"].state, 1)
        self.assertEqual(c["CheckBox1"].state, 0)
        self.assertEqual(w.title, brand)

    def test_shield_switch_out_of_range_lists_no_zone(self):
        exe, brand = self.launcher("cfg_shield", self.settings(CloudShieldSwitch="4294967296"),
                                   {"0": entry("甲", "一区")})
        w = self.start_expecting_box(exe, brand, "'4294967296' is not a valid integer value")
        self.assertEqual(self.tree(w), [])

    def test_missing_file_is_a_message_and_construction_goes_on(self):
        exe, brand = self.launcher("cfg_missing", None, config_ini="[Options]\r\nInterface=2\r\n")
        inf = h.winpath(os.path.join(self.tmp, "cfg_missing.inf"))
        w = self.start_expecting_box(exe, brand, inf + " 配置文件不存在，请重新下载登录器。")
        self.assertEqual(self.tree(w), [])
        self.assertEqual(h.controls(w)["InterfaceSelection"].state, 2)

    def test_shield_label(self):
        # Switch 1 without Shield.rc: the message, no shield label, and
        # construction goes on (the restore runs).
        exe, brand = self.launcher("cfg_noshield", self.settings(CloudShieldSwitch="1"), {"0": entry("甲", "一区")},
                                   config_ini="[Options]\r\nInterface=2\r\n")
        w = self.start_expecting_box(exe, brand, h.winpath(self.tmp) + "\\Shield.rc不存在")
        c = h.controls(w)
        self.assertFalse(c["Label9"].visible)
        self.assertEqual(c["InterfaceSelection"].state, 2)
        h.close_window(w)
        h.wait_until(lambda: not h.find_windows(cls="TForm2", title=brand), timeout=20, what="the close")
        # Vendor 1 answering 150: the shield runs and the label shows.
        h.write_bytes(os.path.join(self.tmp, "Shield.rc"), b"[Res]\r\nKeys=k\r\n")
        shutil.copy(h.build_path("tests", "shield_vendor1.dll"), os.path.join(self.tmp, "clinkAPI.dll"))
        w = self.session.start(exe, brand, env={"LK_SHIELD_RESULT": "150"})
        c = h.controls(w)
        self.assertTrue(c["Label9"].visible)
        self.assertEqual(c["Label9"].rect[:2], (40, 540))
        self.assertEqual(c["Label9"].text, "守护中")


if __name__ == "__main__":
    unittest.main()
