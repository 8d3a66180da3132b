"""Keys and signatures between the host and Windows: keys made by the Linux
launcher-kit and by launcher-kit.exe under Wine, signatures made with
libcrypto on the host and with BCrypt under Wine, each checked by the other
side and by the openssl command; and the branded launcher starting with an
update key in its package, or a damaged one.

The host side comes from the host build (build/host), which the test
command builds first."""
import hashlib
import os
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import lkharness as h  # noqa: E402

HOST_KIT = os.path.join(h.SOURCE_DIR, "build", "host", "tools", "launcher-kit")
HOST_TOOL = os.path.join(h.SOURCE_DIR, "build", "host", "tests", "signature_tool")
WIN_TOOL = h.build_path("tests", "signature_tool.exe")
IDOK = 1


def host(*args):
    return subprocess.run(list(args), capture_output=True, text=True, timeout=60)


def openssl_verifies(pub, message, sig):
    return host("openssl", "dgst", "-sha256", "-verify", pub, "-signature", sig, message).returncode == 0


def der_fingerprint(pub):
    der = subprocess.run(["openssl", "pkey", "-pubin", "-in", pub, "-outform", "DER"], capture_output=True,
                         check=True).stdout
    return hashlib.sha256(der).hexdigest()


@unittest.skipUnless(os.path.exists(HOST_KIT) and os.path.exists(HOST_TOOL),
                     "the host build (build/host) is missing: build the host preset first")
class KeysAndSignaturesAcrossPlatforms(h.TempDirTestCase):
    def wine(self, exe, *args):
        return h.run_wine(exe, [a if not a.startswith("/") else h.winpath(a) for a in args], timeout=120)

    def sign(self, side, key, message, sig):
        r = self.wine(WIN_TOOL, "sign", key, message, sig) if side == "wine" else host(HOST_TOOL, "sign", key,
                                                                                        message, sig)
        self.assertEqual(r.returncode, 0, r.stderr)

    def verifies(self, side, pub, message, sig):
        r = self.wine(WIN_TOOL, "verify", pub, message, sig) if side == "wine" else host(HOST_TOOL, "verify", pub,
                                                                                          message, sig)
        self.assertIn(r.returncode, (0, 1), r.stderr)
        return r.returncode == 0

    def test_keys_and_signatures_of_either_side_work_on_the_other(self):
        linux, windows = os.path.join(self.tmp, "linux"), os.path.join(self.tmp, "windows")
        r = host(HOST_KIT, "keygen", "--out", linux)
        self.assertEqual(r.returncode, 0, r.stderr)
        r = self.wine(h.LAUNCHER_KIT, "keygen", "--out", windows)
        self.assertEqual(r.returncode, 0, r.stderr)
        # The key made under Wine is an openssl key like the host's.
        self.assertEqual(host("openssl", "pkey", "-in", windows + ".key", "-check", "-noout").returncode, 0)
        self.assertEqual(host("openssl", "pkey", "-in", windows + ".key").stdout.encode(),
                         h.read_bytes(windows + ".key"))
        self.assertIn(f"fingerprint {der_fingerprint(windows + '.pub')}", r.stdout)

        message = os.path.join(self.tmp, "update.ini")
        h.write_bytes(message, b"\xef\xbb\xbf[UpdateData]\r\nUpdateUrl=http://127.0.0.1/\r\n" + os.urandom(5000))
        tampered = message + ".tampered"
        h.write_bytes(tampered, h.read_bytes(message).replace(b"127.0.0.1", b"127.0.0.2"))
        for key in (linux, windows):
            for signer, checker in (("host", "wine"), ("wine", "host")):
                what = f"{os.path.basename(key)} key, signed on {signer}"
                sig = os.path.join(self.tmp, f"{os.path.basename(key)}-{signer}.sig")
                self.sign(signer, key + ".key", message, sig)
                self.assertTrue(self.verifies(checker, key + ".pub", message, sig), what)
                self.assertTrue(openssl_verifies(key + ".pub", message, sig), what)
                self.assertFalse(self.verifies(checker, key + ".pub", tampered, sig), what)
                other = windows if key == linux else linux
                self.assertFalse(self.verifies(checker, other + ".pub", message, sig), what)
            # The openssl command's own signature, checked under Wine.
            sig = os.path.join(self.tmp, "openssl.sig")
            r = host("openssl", "dgst", "-sha256", "-sign", key + ".key", "-out", sig, message)
            self.assertEqual(r.returncode, 0, r.stderr)
            self.assertTrue(self.verifies("wine", key + ".pub", message, sig))
            self.assertFalse(self.verifies("wine", key + ".pub", tampered, sig))

    def test_packing_with_a_key_from_the_other_side(self):
        linux, windows = os.path.join(self.tmp, "linux"), os.path.join(self.tmp, "windows")
        self.assertEqual(host(HOST_KIT, "keygen", "--out", linux).returncode, 0)
        self.assertEqual(self.wine(h.LAUNCHER_KIT, "keygen", "--out", windows).returncode, 0)
        a, b = os.path.join(self.tmp, "a.exe"), os.path.join(self.tmp, "b.exe")
        r = host(HOST_KIT, "pack", "--launcher", h.LAUNCHER, "--out", a, "--brand", "跨平台", "--token", "t",
                 "--skin", h.DEMO_SKIN, "--update-key", windows + ".pub")
        self.assertEqual(r.returncode, 0, r.stderr)
        r = self.wine(h.LAUNCHER_KIT, "pack", "--launcher", h.LAUNCHER, "--out", b, "--brand", "跨平台",
                      "--token", "t", "--skin", h.DEMO_SKIN, "--update-key", windows + ".pub")
        self.assertEqual(r.returncode, 0, r.stderr)
        # Both kits write the same launcher.
        self.assertEqual(h.read_bytes(a), h.read_bytes(b))
        want = f"update key: {der_fingerprint(windows + '.pub')} "
        self.assertIn(want, self.wine(h.LAUNCHER_KIT, "inspect", a).stdout)
        self.assertIn(want, host(HOST_KIT, "inspect", b).stdout)
        # Re-packed under Wine with the Linux key: replaced.
        r = self.wine(h.LAUNCHER_KIT, "pack", "--launcher", a, "--out", b, "--brand", "跨平台", "--token", "t",
                      "--skin", h.DEMO_SKIN, "--update-key", linux + ".pub")
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertIn(f"update key: {der_fingerprint(linux + '.pub')} ", host(HOST_KIT, "inspect", b).stdout)


class LauncherStartWithAKey(h.TempDirTestCase):
    def setUp(self):
        super().setUp()
        self.session = h.LauncherSession()
        self.addCleanup(self.session.end)
        self.tag = str(os.getpid())
        key = os.path.join(self.tmp, "k")
        r = h.run_wine(h.LAUNCHER_KIT, ["keygen", "--out", h.winpath(key)])
        self.assertEqual(r.returncode, 0, r.stderr)
        self.pub = key + ".pub"

    def pack(self, name, brand):
        exe = os.path.join(self.tmp, name + ".exe")
        r = h.run_wine(h.LAUNCHER_KIT, ["pack", "--launcher", h.winpath(h.LAUNCHER), "--out", h.winpath(exe),
                                        "--brand", brand, "--token", "t", "--skin", h.winpath(h.DEMO_SKIN),
                                        "--update-key", h.winpath(self.pub)], timeout=120)
        self.assertEqual(r.returncode, 0, r.stderr)
        h.write_inf(os.path.join(self.tmp, name + ".inf"))
        return exe

    def message_boxes(self, exe):
        title = os.path.splitext(os.path.basename(exe))[0]
        return [w for w in h.find_windows(cls="#32770", title=title) if w.visible]

    def test_a_key_changes_nothing_at_start_and_a_damaged_one_is_shown(self):
        brand = "有密钥" + self.tag
        exe = self.pack("lk_keyed", brand)
        window = self.session.start(exe, brand)
        self.assertEqual(window.client, (982, 588))
        self.assertEqual(self.message_boxes(exe), [])
        self.session.end()

        # One byte of the key's point changed: the message names the key,
        # then the window opens with the brand as before.
        brand = "坏密钥" + self.tag
        exe = self.pack("lk_badkey", brand)
        data = bytearray(h.read_bytes(exe))
        data[len(data) - 37] ^= 0x01
        h.write_bytes(exe, bytes(data))
        self.session.brands.add(brand)
        self.session.started.append(h.start_wine(exe, cwd=self.tmp))
        box = h.wait_until(lambda: self.message_boxes(exe), what="the key message")[0]
        self.session.pids.add(box.pid)
        self.assertTrue(any(t.startswith("启动器数据损坏: 更新公钥无效: ") for t in box.texts()), box.texts())
        self.assertEqual(h.find_windows(cls="TForm2", title=brand), [])
        h.press_button(box, IDOK)
        h.wait_until(lambda: [w for w in h.find_windows(cls="TForm2", title=brand) if w.visible],
                     what="the window after the message")


if __name__ == "__main__":
    unittest.main(verbosity=2)
