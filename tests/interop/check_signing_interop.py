#!/usr/bin/env python3
"""Keys and signatures of launcher-kit against the openssl command: keygen's
files are what openssl reads and writes itself; signatures made by either
side verify on the other; tampering and wrong keys fail on both; keys made
by openssl (PKCS #8, SEC 1, DER) work in our tools; inspect's fingerprint is
openssl's. Usage: check_signing_interop.py <launcher-kit> <signature_tool>."""
import hashlib
import os
import stat
import subprocess
import sys
import tempfile
import unittest

KIT, TOOL = sys.argv[1], sys.argv[2]
SKIN = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "skins", "demo")


def run(*args, check=True):
    r = subprocess.run(list(args), capture_output=True, text=True)
    if check and r.returncode != 0:
        raise AssertionError(f"{args} exited {r.returncode}: {r.stdout}{r.stderr}")
    return r


def openssl_verifies(pub, message, sig):
    return run("openssl", "dgst", "-sha256", "-verify", pub, "-signature", sig, message,
               check=False).returncode == 0


def tool_verifies(pub, message, sig):
    r = run(TOOL, "verify", pub, message, sig, check=False)
    if r.returncode not in (0, 1):
        raise AssertionError(f"signature_tool verify failed: {r.stderr}")
    return r.returncode == 0


def read(path):
    with open(path, "rb") as f:
        return f.read()


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def der_fingerprint(pub):
    der = subprocess.run(["openssl", "pkey", "-pubin", "-in", pub, "-outform", "DER"],
                         capture_output=True, check=True).stdout
    return hashlib.sha256(der).hexdigest()


class SigningInterop(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="lk-sign-")
        self.addCleanup(subprocess.run, ["rm", "-rf", self.tmp])

    def path(self, name):
        return os.path.join(self.tmp, name)

    def messages(self):
        out = []
        for i, size in enumerate([0, 1, 55, 64, 1000, 100_000]):
            p = self.path(f"m{i}")
            write(p, os.urandom(size))
            out.append(p)
        return out

    def test_keygen_writes_what_openssl_reads_and_writes(self):
        name = self.path("update")
        r = run(KIT, "keygen", "--out", name)
        key, pub = name + ".key", name + ".pub"
        self.assertEqual(stat.S_IMODE(os.stat(key).st_mode), 0o600)
        run("openssl", "pkey", "-in", key, "-check", "-noout")
        # openssl writes the same bytes back: PKCS #8 and SubjectPublicKeyInfo PEM.
        self.assertEqual(run("openssl", "pkey", "-in", key).stdout.encode(), read(key))
        self.assertEqual(run("openssl", "pkey", "-in", key, "-pubout").stdout.encode(), read(pub))
        self.assertIn(f"fingerprint {der_fingerprint(pub)}\n", r.stdout)

        # Never replaced without --force; with it, a new pair, still private.
        before = read(key), read(pub)
        r = run(KIT, "keygen", "--out", name, check=False)
        self.assertEqual(r.returncode, 1)
        self.assertIn("exists already", r.stderr)
        self.assertEqual((read(key), read(pub)), before)
        os.remove(pub)
        self.assertEqual(run(KIT, "keygen", "--out", name, check=False).returncode, 1)
        self.assertEqual(read(key), before[0])
        run(KIT, "keygen", "--out", name, "--force")
        self.assertNotEqual(read(key), before[0])
        self.assertEqual(stat.S_IMODE(os.stat(key).st_mode), 0o600)
        run("openssl", "pkey", "-in", key, "-check", "-noout")
        self.assertEqual([n for n in os.listdir(self.tmp) if ".new-" in n], [])

    def check_pair(self, key, pub, label):
        """Signatures of the pair, by our tool and by openssl, checked by both."""
        for message in self.messages():
            ours, theirs = message + ".ours.sig", message + ".openssl.sig"
            run(TOOL, "sign", key, message, ours)
            run("openssl", "dgst", "-sha256", "-sign", key, "-out", theirs, message)
            for sig in (ours, theirs):
                self.assertTrue(openssl_verifies(pub, message, sig), (label, sig))
                self.assertTrue(tool_verifies(pub, message, sig), (label, sig))
            # One changed byte of the message or of the signature.
            tampered = message + ".tampered"
            data = bytearray(read(message) or b"\0")
            data[len(data) // 2] ^= 0x01
            write(tampered, bytes(data))
            self.assertFalse(openssl_verifies(pub, tampered, ours), label)
            self.assertFalse(tool_verifies(pub, tampered, ours), label)
            self.assertFalse(tool_verifies(pub, tampered, theirs), label)
            sig = bytearray(read(ours))
            sig[-1] ^= 0x40
            write(ours + ".bad", bytes(sig))
            self.assertFalse(tool_verifies(pub, message, ours + ".bad"), label)

    def test_signatures_cross_with_openssl_for_keys_from_either_side(self):
        name = self.path("ours")
        run(KIT, "keygen", "--out", name)
        self.check_pair(name + ".key", name + ".pub", "keygen")

        # Keys openssl made, in the forms its commands write.
        pkcs8, sec1 = self.path("pkcs8.key"), self.path("sec1.key")
        run("openssl", "genpkey", "-algorithm", "EC", "-pkeyopt", "ec_paramgen_curve:P-256", "-out", pkcs8)
        write(sec1, run("openssl", "ecparam", "-name", "prime256v1", "-genkey").stdout.encode())
        for key in (pkcs8, sec1):
            pub = key + ".pub"
            run("openssl", "pkey", "-in", key, "-pubout", "-out", pub)
            self.check_pair(key, pub, os.path.basename(key))
        der_key, der_pub = self.path("der.key"), self.path("der.pub")
        run("openssl", "pkey", "-in", pkcs8, "-outform", "DER", "-out", der_key)
        run("openssl", "pkey", "-in", pkcs8, "-pubout", "-outform", "DER", "-out", der_pub)
        message = self.messages()[4]
        run(TOOL, "sign", der_key, message, message + ".sig")
        self.assertTrue(openssl_verifies(pkcs8 + ".pub", message, message + ".sig"))
        self.assertTrue(tool_verifies(der_pub, message, message + ".sig"))

        # Another key's public half accepts none of them.
        self.assertFalse(tool_verifies(name + ".pub", message, message + ".sig"))
        self.assertFalse(openssl_verifies(name + ".pub", message, message + ".sig"))

    def test_many_signatures_in_every_der_form_pass_openssl(self):
        # About half of all r and s need a leading zero byte in DER; 32
        # signatures meet both forms with near certainty.
        name = self.path("k")
        run(KIT, "keygen", "--out", name)
        message = self.path("m")
        write(message, b"[UpdateData]\r\n")
        lengths = set()
        for i in range(32):
            sig = self.path(f"s{i}")
            run(TOOL, "sign", name + ".key", message, sig)
            lengths.add(len(read(sig)))
            self.assertTrue(openssl_verifies(name + ".pub", message, sig), i)
        self.assertGreater(len(lengths), 1)

    def test_pack_stores_the_key_openssl_made_and_inspect_shows_its_fingerprint(self):
        key, pub, der_pub = self.path("o.key"), self.path("o.pub"), self.path("o.der")
        run("openssl", "genpkey", "-algorithm", "EC", "-pkeyopt", "ec_paramgen_curve:P-256", "-out", key)
        run("openssl", "pkey", "-in", key, "-pubout", "-out", pub)
        run("openssl", "pkey", "-in", key, "-pubout", "-outform", "DER", "-out", der_pub)
        program = self.path("launcher.exe")
        write(program, b"MZ" + os.urandom(3000))
        for given in (pub, der_pub):
            out = self.path("branded.exe")
            run(KIT, "pack", "--launcher", program, "--out", out, "--brand", "b", "--token", "t",
                "--skin", SKIN, "--update-key", given)
            shown = run(KIT, "inspect", out).stdout
            self.assertIn(f"update key: {hashlib.sha256(read(der_pub)).hexdigest()} ", shown)
            # The key block is the DER openssl writes.
            self.assertIn(read(der_pub), read(out))


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
