"""Killing the launcher or the patcher hard (the Wine process, SIGKILL) in
the middle of an update, then starting the launcher again: the download
resumes where it was cut (nginx's log shows the Range), an interrupted
unpacking leaves each file old or new and its temporaries are tidied, and
the next start completes the update."""
import hashlib
import os
import shutil
import sys
import time
import unittest
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import lkharness as h  # noqa: E402
from lkservers import Nginx  # noqa: E402
from test_update_launcher import brand_of, questions  # noqa: E402
from lkharness import processes_running  # noqa: E402

IDOK = 1


def sha(path):
    d = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            d.update(block)
    return d.hexdigest()


def kill_all(folder, name):
    for pid in processes_running(folder, name):
        try:
            os.kill(pid, 9)
        except ProcessLookupError:
            pass


def temporaries(folder):
    """Our writer's temporaries below folder."""
    found = []
    for base, _, files in os.walk(folder):
        found += [os.path.join(base, f) for f in files if ".lk-part" in f]
    return found


class UpdateKill(h.TempDirTestCase):
    def setUp(self):
        super().setUp()
        tag = str(os.getpid())
        self.brand_a, self.brand_b = "killA" + tag, "killB" + tag
        self.session = h.LauncherSession()
        self.addCleanup(self.session.end)
        self.site = os.path.join(self.tmp, "site")
        os.makedirs(self.site)
        self.nginx = Nginx(self.site, slow_rate="3m")
        self.addCleanup(self.nginx.stop)
        self.game = os.path.join(self.tmp, "game")
        os.makedirs(os.path.join(self.game, "data"))
        self.addCleanup(kill_all, self.game, "patcher.exe")
        self.addCleanup(kill_all, self.game, "launcher.exe")
        self.settings = {"UpDateSwitch": "1", "UpDateUrl": self.nginx.url + "update.ini"}
        self.exe = h.pack_launcher(os.path.join(self.game, "launcher.exe"), self.brand_a)
        h.write_inf(os.path.join(self.game, "launcher.inf"), self.settings, [h.zone("区", "一区", 1)])
        self.release = os.path.join(self.tmp, "release")
        os.makedirs(os.path.join(self.release, "data"))

    def publish(self, url):
        r = h.run_wine(h.LAUNCHER_KIT, ["publish", h.winpath(self.release), h.winpath(self.site), "--url", url],
                       timeout=300)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)

    def same_launcher_in_release(self):
        for name in ("launcher.exe", "launcher.inf"):
            shutil.copy(os.path.join(self.game, name), os.path.join(self.release, name))

    def start_and_accept(self, brand):
        window = self.session.start(self.exe, brand, timeout=60)
        box = h.wait_until(lambda: questions(window.pid), timeout=60, what="the update question")[0]
        h.click_dialog_button(box, IDOK)
        return window

    def kill_launcher(self):
        kill_all(self.game, "launcher.exe")
        h.wait_until(lambda: not processes_running(self.game, "launcher.exe"), timeout=20,
                     what="the killed launcher to go")

    def status(self, window):
        try:
            return h.controls(window)["Label3"].text
        except (AssertionError, KeyError):
            return ""

    def wait_done(self, window, timeout=120):
        h.wait_until(lambda: self.status(window) == "更新完成。", timeout=timeout, what="更新完成。")

    def test_a_download_cut_by_a_kill_resumes_at_the_next_start(self):
        self.same_launcher_in_release()
        big = os.path.join(self.release, "data", "big.bin")
        h.write_bytes(big, os.urandom(20 * 1024 * 1024))
        self.publish(self.nginx.slow_url)
        h.write_bytes(os.path.join(self.game, "data", "big.bin"), b"old")

        self.start_and_accept(self.brand_a)
        partial = os.path.join(self.game, "Patch", "file_0.zip.lkpart")
        h.wait_until(lambda: os.path.exists(partial) and os.path.getsize(partial) > 3 * 1024 * 1024, timeout=60,
                     interval=0.05, what="a few MB of the item")
        self.kill_launcher()
        kept = os.path.getsize(partial)
        self.assertLess(kept, os.path.getsize(os.path.join(self.site, "file_0.zip")))
        self.assertEqual(h.read_bytes(os.path.join(self.game, "data", "big.bin")), b"old")

        window = self.start_and_accept(self.brand_a)
        self.wait_done(window)
        self.assertEqual(sha(os.path.join(self.game, "data", "big.bin")), sha(big))
        self.assertFalse(os.path.exists(os.path.join(self.game, "Patch")))
        # The second start asked nginx only for what was missing, with the
        # item's validator.
        ranged = [line for line in self.nginx.access_lines()
                  if line.startswith("GET /slow/file_0.zip 206 range=\"bytes=")]
        self.assertEqual(len(ranged), 1, self.nginx.access_lines())
        # Every byte written before the kill was kept and not asked for again.
        self.assertEqual(int(ranged[0].split("bytes=")[1].split("-")[0]), kept)
        self.assertNotIn('if_range=""', ranged[0])

    def test_a_kill_while_unpacking_leaves_each_file_old_or_new(self):
        self.same_launcher_in_release()
        # Compressible: a small archive that unpacks into many bytes, so the
        # unpacking takes long enough to be cut.
        new_bytes = b"new game data " * (20 * 1024 * 1024)
        h.write_bytes(os.path.join(self.release, "data", "huge.bin"), new_bytes)
        self.publish(self.nginx.url)
        target = os.path.join(self.game, "data", "huge.bin")
        h.write_bytes(target, b"old")

        self.start_and_accept(self.brand_a)
        journal = os.path.join(self.game, "Patch", "lk-unpack.journal")
        h.wait_until(lambda: temporaries(os.path.join(self.game, "data")), timeout=60, interval=0.02,
                     what="the unpacking to begin")
        self.kill_launcher()
        # Old (or, had the kill come later, wholly new): never half.
        got = h.read_bytes(target)
        self.assertIn(got, (b"old", new_bytes))
        self.assertTrue(os.path.exists(journal) or got == new_bytes)
        print("killed while unpacking; the file was", "old" if got == b"old" else "already new",
              "and", len(temporaries(self.game)), "temporaries were left")

        window = self.start_and_accept(self.brand_a) if got == b"old" else self.session.start(self.exe, self.brand_a)
        self.wait_done(window)
        self.assertEqual(h.read_bytes(target), new_bytes)
        self.assertEqual(temporaries(self.game), [])
        self.assertFalse(os.path.exists(os.path.join(self.game, "Patch")))

    def test_a_kill_of_the_patcher_while_it_replaces_leaves_the_old_launcher(self):
        # The release: brand B's launcher; its archive also brings a large
        # file, so the patcher's unpacking takes long enough to be cut.
        h.pack_launcher(os.path.join(self.release, "launcher.exe"), self.brand_b)
        shutil.copy(os.path.join(self.game, "launcher.inf"), os.path.join(self.release, "launcher.inf"))
        self.publish(self.nginx.url)
        archive = os.path.join(self.site, "launcher.zip")
        with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED) as z:
            z.write(os.path.join(self.release, "launcher.exe"), "launcher.exe")
            z.writestr("bundle.bin", b"bundled " * (40 * 1024 * 1024))
        old_launcher = sha(self.exe)

        self.start_and_accept(self.brand_a)
        # bundle.bin is new, so it is written under its own name (the
        # launcher under a temporary one, as it replaces the old).
        bundle = os.path.join(self.game, "bundle.bin")
        h.wait_until(lambda: os.path.exists(bundle) and os.path.getsize(bundle) > 0, timeout=90, interval=0.02,
                     what="the patcher to unpack")
        kill_all(self.game, "patcher.exe")
        h.wait_until(lambda: not processes_running(self.game, "patcher.exe"), timeout=20, what="the patcher to go")
        # The patcher ended the old launcher before it unpacked; nothing of
        # the archive has replaced anything yet, and the journal names the
        # half-written new file for the next start.
        self.assertEqual(processes_running(self.game, "launcher.exe"), [])
        self.assertEqual(sha(self.exe), old_launcher)
        with open(os.path.join(self.game, "Patch", "lk-unpack.journal"), encoding="utf-8") as f:
            self.assertIn("N\t" + h.winpath(bundle), f.read())

        # The next start tidies, asks again and completes through the patcher.
        self.start_and_accept(self.brand_a)
        new = h.wait_until(lambda: [w for w in h.find_windows(cls="TForm2", title=self.brand_b) if w.visible],
                           timeout=120, what="the new launcher's window")[0]
        self.session.pids.add(new.pid)
        self.assertEqual(brand_of(self.exe), self.brand_b)
        self.assertEqual(os.path.getsize(os.path.join(self.game, "bundle.bin")), 8 * 40 * 1024 * 1024)
        self.wait_done(new)
        self.assertEqual(temporaries(self.game), [])


if __name__ == "__main__":
    unittest.main()
