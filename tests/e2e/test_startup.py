"""Start-up of a branded launcher under Wine: the window titled with the
brand, one launcher per brand, and the messages for damaged packages."""
import os
import shutil
import struct
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import lkharness as h  # noqa: E402

SW_MINIMIZE = 6
IDOK = 1
DEMO_SKIN = os.path.join(h.SOURCE_DIR, "skins", "demo")


def package_offset(data):
    return struct.unpack_from("<i", data, len(data) - 4)[0]


class StartupTest(h.TempDirTestCase):
    def setUp(self):
        super().setUp()
        self.tag = str(os.getpid())
        self.started = []    # Popen objects of the launchers started here
        self.ours = set()    # window titles that belong to this test
        self.pids = set()    # Windows process ids to end at the end
        self.addCleanup(self.end_everything)

    # --- helpers ----------------------------------------------------------

    def pack(self, name, brand, token="tok-1"):
        exe = os.path.join(self.tmp, name + ".exe")
        r = h.run_wine(h.LAUNCHER_KIT, ["pack", "--launcher", h.winpath(h.LAUNCHER), "--out", h.winpath(exe),
                                        "--brand", brand, "--token", token, "--skin", h.winpath(DEMO_SKIN)],
                       timeout=120)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.ours.update({brand, name})
        # The window loads its configuration file while it is made; without
        # one it would stop at the missing-file message first.
        h.write_inf(os.path.join(self.tmp, name + ".inf"))
        return exe

    def start(self, exe):
        p = h.start_wine(exe)
        self.started.append(p)
        return p

    def launcher_windows(self, brand):
        return h.find_windows(cls="TForm2", title=brand)

    def message_boxes(self, exe):
        # Message dialogs are captioned with the application title: the exe
        # name without its extension.
        title = os.path.splitext(os.path.basename(exe))[0]
        return [w for w in h.find_windows(cls="#32770", title=title) if w.visible]

    def end_everything(self):
        try:
            for w in h.top_windows():
                if w.title in self.ours and w.cls in ("TForm2", "#32770"):
                    self.pids.add(w.pid)
            for pid in self.pids:
                h.terminate_process(pid)
        finally:
            for p in self.started:
                try:
                    p.wait(timeout=20)
                except subprocess.TimeoutExpired:
                    p.kill()
                    p.wait()

    # --- tests ------------------------------------------------------------

    def test_branded_window_and_single_instance_per_brand(self):
        brand_a, brand_b = "测试品牌甲" + self.tag, "测试品牌乙" + self.tag
        exe_a = self.pack("lk_a", brand_a)
        exe_b = self.pack("lk_b", brand_b)

        self.start(exe_a)
        first = h.wait_until(lambda: [w for w in self.launcher_windows(brand_a) if w.visible],
                             what="the first launcher's window")
        self.assertEqual(len(first), 1)
        self.assertEqual(first[0].client, (982, 588))
        # Mapped on the X display, once.
        self.assertEqual(len(h.x_windows(brand_a)), 1)

        # Minimised, then started again: the second process ends at once,
        # the first window comes back, and there is never a second one.
        h.show_window(first[0], SW_MINIMIZE)
        h.wait_until(lambda: self.launcher_windows(brand_a)[0].iconic, what="minimised")
        second = h.run_wine(exe_a, timeout=60)
        self.assertEqual(second.returncode, 0)
        # Restoring crosses into the first process; give it a moment.
        after = h.wait_until(lambda: [w for w in self.launcher_windows(brand_a) if not w.iconic],
                             timeout=10, what="the first window restored")
        self.assertEqual(len(self.launcher_windows(brand_a)), 1)
        self.assertEqual(after[0].hwnd, first[0].hwnd)
        self.assertTrue(after[0].visible)
        h.wait_until(lambda: int(h.foreground_window(), 16) == int(first[0].hwnd, 16),
                     timeout=10, what="the first window in the foreground")
        self.assertEqual(len(h.x_windows(brand_a)), 1)

        # Another brand is another launcher.
        self.start(exe_b)
        h.wait_until(lambda: [w for w in self.launcher_windows(brand_b) if w.visible],
                     what="the other brand's window")
        self.assertEqual(len(self.launcher_windows(brand_a)), 1)

        # Closing the window ends the launcher; then the brand may start again.
        h.close_window(self.launcher_windows(brand_a)[0])
        self.assertEqual(self.started[0].wait(timeout=30), 0)
        self.start(exe_a)
        h.wait_until(lambda: self.launcher_windows(brand_a), what="a new launcher of the first brand")

    def test_impossible_brand_length_shows_the_message_and_no_window(self):
        program = h.read_bytes(h.LAUNCHER)
        # A package whose brand length equals the whole file's length.
        tail_len = 4 + 51 + 4 + 32 + 4
        total = len(program) + tail_len
        package = struct.pack("<i", total) + bytes(51) + struct.pack("<i", 0) + bytes(32) + \
            struct.pack("<i", len(program))
        exe = os.path.join(self.tmp, "lk_bad.exe")
        h.write_bytes(exe, program + package)
        self.ours.add("lk_bad")
        p = self.start(exe)
        box = h.wait_until(lambda: self.message_boxes(exe), what="the length message")[0]
        self.assertIn(f"{total}品牌数据 长度比总长度{total}还长", box.texts())
        self.assertEqual([w for w in h.top_windows() if w.pid == box.pid and w.cls == "TForm2"], [])
        h.press_button(box, IDOK)
        self.assertNotEqual(p.wait(timeout=30), 0)
        self.assertEqual(self.message_boxes(exe), [])

    def test_negative_brand_length_is_shown_then_an_untitled_window_opens(self):
        exe = self.pack("lk_neg", "负长度" + self.tag)
        data = bytearray(h.read_bytes(exe))
        struct.pack_into("<i", data, package_offset(data), -2)
        h.write_bytes(exe, bytes(data))
        self.start(exe)
        box = h.wait_until(lambda: self.message_boxes(exe), what="the decoding error")[0]
        self.pids.add(box.pid)
        self.assertIn("启动器数据损坏: 品牌数据长度 -2 为负数", box.texts())
        h.press_button(box, IDOK)
        # Neither block was decoded: the window opens with an empty title.
        window = h.wait_until(lambda: [w for w in h.find_windows(cls="TForm2", visible=True)
                                       if w.pid == box.pid], what="the untitled window")
        self.assertEqual(window[0].title, "")

    def test_impossible_skin_length_shows_the_skin_message(self):
        exe = self.pack("lk_skin", "皮肤长度" + self.tag)
        data = bytearray(h.read_bytes(exe))
        at = package_offset(data)
        brand_len = struct.unpack_from("<i", data, at)[0]
        struct.pack_into("<i", data, at + 4 + brand_len, len(data) + 1)
        h.write_bytes(exe, bytes(data))
        p = self.start(exe)
        box = h.wait_until(lambda: self.message_boxes(exe), what="the skin length message")[0]
        self.assertIn(f"{len(data) + 1}皮肤数据 长度比总长度{len(data)}还长", box.texts())
        h.press_button(box, IDOK)
        self.assertNotEqual(p.wait(timeout=30), 0)
        self.assertEqual(h.find_windows(cls="TForm2", title="皮肤长度" + self.tag), [])

    def test_damaged_image_is_shown_then_the_window_opens(self):
        brand = "坏图" + self.tag
        exe = self.pack("lk_png", brand)
        data = bytearray(h.read_bytes(exe))
        at = data.index(b"\x89PNG", package_offset(data))
        data[at + 1:at + 4] = b"XYZ"  # the background's signature
        h.write_bytes(exe, bytes(data))
        self.start(exe)
        box = h.wait_until(lambda: self.message_boxes(exe), what="the decoding error")[0]
        self.assertTrue(any(t.startswith("PNG 图像无法解码: ") for t in box.texts()), box.texts())
        self.assertEqual(self.launcher_windows(brand), [])
        h.press_button(box, IDOK)
        # The brand block was decoded before the skin: the window has its title.
        h.wait_until(lambda: [w for w in self.launcher_windows(brand) if w.visible],
                     what="the window after the message")


if __name__ == "__main__":
    unittest.main(verbosity=2)
