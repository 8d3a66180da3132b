"""The patcher on its own under Wine: its argument check, and replacing a
running launcher (a copy of fakeclient.exe named Game.exe) from an archive
in the Patch folder, with a missing and a damaged archive. The patcher
waits 5 s + 3 s by design, so the long cases run side by side."""
import os
import shutil
import time
import unittest
import zipfile

import lkharness

PATCHER = lkharness.build_path("patcher", "patcher.exe")
FAKECLIENT = lkharness.build_path("tests", "fakeclient.exe")
IDOK = 1


def message_boxes(text_part):
    """Visible dialogs showing a text that contains text_part."""
    return [w for w in lkharness.find_windows(cls="#32770", visible=True)
            if any(text_part in t for t in w.texts())]


class Patcher(lkharness.TempDirTestCase):
    def setUp(self):
        super().setUp()
        self.procs = []
        self.records = []
        self.addCleanup(self._end_all)

    def _end_all(self):
        # The launchers the patchers started are nobody's child here: end
        # them by the process ID they recorded.
        for rec in self.records:
            if os.path.exists(rec):
                lines = lkharness.read_bytes(rec).decode("utf-8").splitlines()
                if len(lines) >= 3:
                    lkharness.terminate_process(int(lines[2]))
        for p in self.procs:
            if p.poll() is None:
                p.kill()
                p.wait(10)

    def start(self, exe, args=(), env=None):
        p = lkharness.start_wine(exe, args, env=env)
        self.procs.append(p)
        return p

    def folder(self, name, launcher_running=True, archive=None):
        """A launcher folder: patcher.exe, Game.exe (a fake launcher that
        records its start in old.rec, running when asked), and
        Patch/L.zip with the given bytes (None: no archive)."""
        d = os.path.join(self.tmp, name)
        os.makedirs(os.path.join(d, "Patch"))
        shutil.copy(PATCHER, os.path.join(d, "patcher.exe"))
        shutil.copy(FAKECLIENT, os.path.join(d, "Game.exe"))
        if archive is not None:
            lkharness.write_bytes(os.path.join(d, "Patch", "L.zip"), archive)
        old = None
        if launcher_running:
            old = self.start(os.path.join(d, "Game.exe"),
                             env={"LK_FAKECLIENT_RECORD": lkharness.winpath(os.path.join(d, "old.rec"))})
            lkharness.wait_until(lambda: os.path.exists(os.path.join(d, "old.rec")), 30,
                                 what=f"the fake launcher in {name}")
        return d, old

    def patch(self, d, archive_name="L.zip"):
        self.records.append(os.path.join(d, "new.rec"))
        return self.start(os.path.join(d, "patcher.exe"),
                          ["Game.exe", lkharness.winpath(os.path.join(d, "Patch", archive_name)), "Game.exe"],
                          env={"LK_FAKECLIENT_RECORD": lkharness.winpath(os.path.join(d, "new.rec"))})

    def test_too_few_arguments_only_say_so(self):
        d, old = self.folder("few", archive=b"PK\x05\x06" + bytes(18))
        for args in ([], ["Game.exe", lkharness.winpath(os.path.join(d, "Patch", "L.zip"))]):
            with self.subTest(args=args):
                p = self.start(os.path.join(d, "patcher.exe"), args)
                box = lkharness.wait_until(lambda: message_boxes("参数不足"), 30, what="参数不足")[0]
                self.assertEqual(box.title, "patcher")
                # The window never shows.
                self.assertFalse(lkharness.find_windows(title="Form3", visible=True))
                lkharness.press_button(box, IDOK)
                self.assertEqual(p.wait(30), 0)
                self.assertIsNone(old.poll(), "the running launcher was ended")
                self.assertTrue(os.path.exists(os.path.join(d, "Patch", "L.zip")))

    def test_replace_missing_and_damaged_side_by_side(self):
        new_launcher = lkharness.read_bytes(FAKECLIENT) + b"new launcher build"
        # data/ in the archive lands in the launcher folder's data/.
        zpath = os.path.join(self.tmp, "good.zip")
        with zipfile.ZipFile(zpath, "w", zipfile.ZIP_DEFLATED) as z:
            z.writestr("Game.exe", new_launcher)
            z.writestr("data/a.dat", b"a v2")
        good_zip = lkharness.read_bytes(zpath)

        good, good_old = self.folder("good", archive=good_zip)
        # The same file name running in another folder: another brand's
        # launcher, which must keep running.
        other, other_old = self.folder("other")
        missing, _ = self.folder("missing", launcher_running=False)
        damaged, damaged_old = self.folder("damaged", archive=b"PK\x03\x04 damaged")
        started = time.monotonic()
        p_good = self.patch(good)
        p_missing = self.patch(missing)
        p_damaged = self.patch(damaged)

        # The window: Form3, borderless 520 x 172, with the first text.
        form = lkharness.wait_until(lambda: lkharness.find_windows(title="Form3", visible=True), 20,
                                    what="the patcher's window")[0]
        self.assertEqual(form.client, (520, 172))

        # Damaged: the error is shown, the old launcher is started anyway.
        box = lkharness.wait_until(lambda: message_boxes("L.zip"), 40, what="the unpack error")[0]
        self.assertEqual(box.title, "patcher")
        lkharness.press_button(box, IDOK)
        self.assertEqual(p_damaged.wait(30), 0)
        lkharness.wait_until(lambda: os.path.exists(os.path.join(damaged, "new.rec")), 30,
                             what="the launcher started after a failed unpack")
        self.assertIsNotNone(damaged_old.poll(), "the old launcher still runs")
        self.assertEqual(lkharness.read_bytes(os.path.join(damaged, "Game.exe")),
                         lkharness.read_bytes(FAKECLIENT))

        for p in (p_good, p_missing):
            self.assertEqual(p.wait(60), 0)
        # Five seconds before unpacking, three after.
        self.assertGreaterEqual(time.monotonic() - started, 8)

        # Good: old launcher ended, replaced, the new one started, Patch gone.
        self.assertIsNotNone(good_old.poll(), "the old launcher still runs")
        self.assertEqual(lkharness.read_bytes(os.path.join(good, "Game.exe")), new_launcher)
        self.assertEqual(lkharness.read_bytes(os.path.join(good, "data", "a.dat")), b"a v2")
        lkharness.wait_until(lambda: os.path.exists(os.path.join(good, "new.rec")), 30,
                             what="the new launcher's start")
        self.assertFalse(os.path.exists(os.path.join(good, "Patch")))
        self.assertEqual(sorted(os.listdir(good)),
                         ["Game.exe", "data", "new.rec", "old.rec", "patcher.exe"])
        # Missing archive: nothing unpacked, the launcher started all the same.
        lkharness.wait_until(lambda: os.path.exists(os.path.join(missing, "new.rec")), 30,
                             what="the launcher's start without an archive")
        self.assertFalse(os.path.exists(os.path.join(missing, "Patch")))
        # The other folder's launcher of the same file name kept running.
        self.assertIsNone(other_old.poll(), "a launcher in another folder was ended")


if __name__ == "__main__":
    unittest.main()
