"""The main window under Wine: every control where the skin puts it, the
display choices restored from Config.ini, and the skinned surface on the
screen (see-through magenta, hover pictures, dragging, hide to tray)."""
import os
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import lkharness as h  # noqa: E402

WM_LBUTTONDOWN = 0x0201
TRAY_CALLBACK = 0x8000 + 0x54  # WM_APP + 0x54


class WindowTestCase(h.TempDirTestCase):
    def setUp(self):
        super().setUp()
        self.tag = str(os.getpid())
        self.session = h.LauncherSession()
        self.addCleanup(self.session.end)

    def branded(self, name, skin=h.DEMO_SKIN, zones=(), settings=None):
        exe = os.path.join(self.tmp, name + ".exe")
        brand = name + self.tag
        h.pack_launcher(exe, brand, skin)
        h.write_inf(os.path.join(self.tmp, name + ".inf"), settings, zones)
        return exe, brand

    def close(self, window):
        h.close_window(window)
        h.wait_until(lambda: not h.find_windows(cls="TForm2", title=window.title), timeout=20,
                     what="the launcher to close")
        for p in self.session.started:
            p.wait(timeout=20)


class LayoutTest(WindowTestCase):
    def assertControl(self, c, rect=None, visible=True, size=None):
        self.assertEqual(c.visible, visible, c)
        if rect is not None:
            self.assertEqual(c.rect[:len(rect)], tuple(rect), c)
        if size is not None:
            self.assertEqual(c.rect[2:], tuple(size), c)

    def test_demo_skin_layout(self):
        exe, brand = self.branded("layout_demo")
        w = self.session.start(exe, brand)
        self.assertEqual(w.client, (982, 588))
        c = h.controls(w)
        self.assertEqual(len(c), 27)
        self.assertControl(c["Label1"], (16, 10))
        self.assertEqual(c["Label1"].text, brand)
        self.assertControl(c["Image2"], (770, 480, 180, 60))
        for name, left in (("Image3", 30), ("Image4", 140), ("Image5", 250), ("Image6", 360)):
            self.assertControl(c[name], (left, 500, 100, 32))
        self.assertControl(c["Image7"], (916, 8, 24, 24))
        self.assertControl(c["Image8"], (946, 8, 24, 24))
        self.assertControl(c["TreeView1"], (40, 80, 250, 360))
        self.assertControl(c["ComboBox1"], visible=False)
        self.assertControl(c["WebBrowser1"], (330, 80, 410, 290))
        self.assertControl(c["WebBrowser2"], (770, 80, 190, 280))
        self.assertControl(c["CheckBox1"], (770, 440, 13, 13))
        self.assertControl(c["Label10"], (786, 440))
        self.assertControl(c["Resolution"], (770, 380, 87))
        self.assertControl(c["InterfaceSelection"], (770, 410, 87))
        self.assertControl(c["Image1"], (40, 455, 18, 18))
        self.assertControl(c["Label2"], (60, 456))
        self.assertEqual(c["Label2"].text, "服务器状态")
        self.assertControl(c["Label3"], (330, 390))
        self.assertControl(c["Label4"], (330 + 410 - 130, 390))
        # Rows on, cx 410: the bar 30 in and 75 narrower, the percentage 5 after it.
        self.assertControl(c["Label5"], (330, 420))
        self.assertControl(c["ProgressBar1"], (360, 422, 335, 9))
        self.assertControl(c["Label7"], (360 + 335 + 5, 420))
        self.assertControl(c["Label6"], (330, 450))
        self.assertControl(c["ProgressBar2"], (360, 452, 335, 9))
        self.assertControl(c["Label8"], (700, 450))
        # CloudShieldSwitch 0 hides the shield label whatever the skin says.
        self.assertControl(c["Label9"], (40, 540), visible=False)
        # Choice lists at their defaults without Config.ini.
        self.assertEqual(c["Resolution"].state, 0)
        self.assertEqual(c["InterfaceSelection"].state, 1)
        self.assertEqual(c["CheckBox1"].state, 0)
        self.assertEqual(c["Label1"].rect[3], 15)  # 10.5 -> 10 points

    def test_drop_down_switches_off_no_background_rows_off(self):
        skin = h.make_skin(os.path.join(self.tmp, "skin_b"), {
            "ServerListType": "0", "ControlServerList1Point": "50,60", "BrandNameSwitch": "0",
            "ControlCustomerHubSwitch": "0", "ControlwebsiteSwitch": "0", "ControlPlayerToolsSwitch": "0",
            "ControlRegistrationSwitch": "0", "Control24Switch": "0", "Control16Switch": "0",
            "ControlCloudShieldSwitch": "0", "ControlprogressBar2Switch": "0",
            "ControlprogressBar2Point": "100,400", "ControlprogressBar2Size": "228,9",
            "ControlprogressBar1Switch": "1", "ControlprogressBar1Point": "100,430",
            "ControlprogressBar1Size": "228,9", "ControltitletxtFont": "Tahoma, 10.9",
        }, drop=("ControlServerListPoint", "ControlServerListSizet", "ControlbackImage", "ControlbackSizet"))
        exe, brand = self.branded("layout_b", skin)
        w = self.session.start(exe, brand)
        self.assertEqual(w.client, (982, 588))  # design-time size without a background
        c = h.controls(w)
        self.assertControl(c["TreeView1"], visible=False)
        self.assertControl(c["ComboBox1"], (50, 60, 121))
        self.assertEqual(c["ComboBox1"].state, 0)  # "选择游戏分区", its only entry
        for name in ("Label1", "Image3", "Image4", "Image5", "Image6", "WebBrowser1", "WebBrowser2", "Label9"):
            self.assertControl(c[name], visible=False)
        # Always shown whatever the switches.
        for name in ("Image2", "Image7", "Image8"):
            self.assertControl(c[name])
        # Row off with cx 228: 183 wide at the row's left; on: 153 wide, 30 in.
        self.assertControl(c["Label5"], visible=False)
        self.assertControl(c["ProgressBar1"], (100, 402, 183, 9))
        self.assertControl(c["Label7"], (100 + 183 + 5, 400))
        self.assertControl(c["Label6"], (100, 430))
        self.assertControl(c["ProgressBar2"], (130, 432, 153, 9))
        self.assertControl(c["Label8"], (130 + 153 + 5, 430))
        # 10.9 points are 10: the same height as the demo's 10.5.
        self.assertEqual(c["Label1"].rect[3], 15)

    def test_title_font_eleven_points_and_system_colour(self):
        skin = h.make_skin(os.path.join(self.tmp, "skin_c"), {
            "ControltitletxtFont": "Tahoma, 11", "ControltitletxtColor": "COLOR_WINDOWTEXT"})
        exe, brand = self.branded("layout_c", skin)
        w = self.session.start(exe, brand)
        c = h.controls(w)
        self.assertGreater(c["Label1"].rect[3], 15)


class RestoreTest(WindowTestCase):
    def test_config_ini_cases(self):
        exe, brand = self.branded("restore")
        config = os.path.join(self.tmp, "Config.ini")
        cases = [
            # Config.ini options -> (Resolution, InterfaceSelection, CheckBox1)
            ({"ScreenWidth": "1366", "ScreenHeight": "768", "Interface": "2", "FullScreenMode": "1"}, (2, 2, 1)),
            ({"ScreenWidth": "1366", "Interface": "5", "FullScreenMode": "true"}, (0, 1, 0)),
            ({"ScreenWidth": "1920", "ScreenHeight": "1080", "Interface": "abc"}, (6, 1, 0)),
            ({"Interface": "0", "ScreenWidth": "1366", "ScreenHeight": "769"}, (0, 0, 0)),
        ]
        for options, want in cases:
            with self.subTest(options=options):
                with open(config, "w", encoding="ascii") as f:
                    f.write("[Options]\r\n" + "".join(f"{k}={v}\r\n" for k, v in options.items()))
                w = self.session.start(exe, brand)
                c = h.controls(w)
                self.assertEqual((c["Resolution"].state, c["InterfaceSelection"].state, c["CheckBox1"].state),
                                 want)
                self.close(w)


class ScreenTest(WindowTestCase):
    """Pixels of the demo skin on the screen, and real mouse input."""

    def test_surface_hover_drag_and_tray(self):
        exe, brand = self.branded("screen")
        w = self.session.start(exe, brand)
        time.sleep(1.5)
        left, top = w.rect[0], w.rect[1]
        shot = h.screenshot()
        h.save_artifact("demo_skin_window.png")
        # Magenta corner of the background: the screen behind shows through.
        behind = h.pixel(shot, shot[0] - 1, shot[1] - 1)
        self.assertEqual(h.pixel(shot, left, top), behind)
        self.assertNotEqual(h.pixel(shot, left, top), (255, 0, 255))
        # An opaque part of the background is painted (not the screen behind).
        self.assertNotEqual(h.pixel(shot, left + 600, top + 20), behind)

        # Hover: the start button's picture changes under the mouse and back.
        c = h.controls(w)
        bx, by, bw, bh = c["Image2"].rect
        cx, cy = left + bx + bw // 2, top + by + bh // 3
        h.xdotool("mousemove", left + 600, top + 560)
        time.sleep(0.7)
        normal = h.pixel(h.screenshot(), cx, cy)
        h.xdotool("mousemove", cx, cy)
        time.sleep(0.7)
        hover = h.pixel(h.screenshot(), cx, cy)
        h.save_artifact("demo_skin_hover.png")
        self.assertNotEqual(hover, normal)
        h.xdotool("mousemove", left + 600, top + 560)
        time.sleep(0.7)
        self.assertEqual(h.pixel(h.screenshot(), cx, cy), normal)

        # A right drag on the background does not move the window.
        px, py = left + 600, top + 30
        h.xdotool("mousemove", px, py)
        h.xdotool("mousedown", 3)
        h.xdotool("mousemove", px + 40, py + 20)
        h.xdotool("mousemove", px + 80, py + 50)
        h.xdotool("mouseup", 3)
        time.sleep(0.7)
        self.assertEqual(self.session.window(brand).rect[:2], (left, top))
        # A left drag moves it by the mouse's distance.
        h.xdotool("key", "Escape")
        h.xdotool("mousemove", px, py)
        h.xdotool("mousedown", 1)
        h.xdotool("mousemove", px + 30, py + 20)
        h.xdotool("mousemove", px + 80, py + 50)
        h.xdotool("mouseup", 1)
        moved = h.wait_until(lambda: self.session.window(brand).rect[:2] == (left + 80, top + 50) or None,
                             timeout=5, what="the window to follow the drag")
        self.assertTrue(moved)
        left, top = left + 80, top + 50

        # Image7 hides the window; the tray icon brings it back, normal.
        h.click_control(self.session.window(brand), c["Image7"], pause=0.3)
        h.wait_until(lambda: not self.session.window(brand).visible, timeout=10, what="the window to hide")
        tray = [t for t in h.find_windows(cls="LkTrayIconWindow") if t.pid == w.pid]
        self.assertTrue(tray)
        h.post_message(tray[0].hwnd, TRAY_CALLBACK, 1, WM_LBUTTONDOWN)
        back = h.wait_until(lambda: [x for x in h.find_windows(cls="TForm2", title=brand)
                                     if x.visible and not x.iconic], timeout=10, what="the window to return")
        self.assertEqual(back[0].rect[:2], (left, top))


if __name__ == "__main__":
    unittest.main()
