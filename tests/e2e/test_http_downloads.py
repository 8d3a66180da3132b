"""Runs http_tests.exe (WinHTTP client, item sizes and item downloads) under
Wine against a private nginx and the odd-answer server on 127.0.0.1."""
import os
import unittest

import lkharness
from lkservers import Nginx, OddServer, closed_port


class HttpDownloads(lkharness.TempDirTestCase):
    def setUp(self):
        super().setUp()
        self.root = os.path.join(self.tmp, "site")
        os.makedirs(self.root)
        # Random contents: a transfer that mixed up or dropped pieces shows.
        for name, size in (("small.zip", 4321), ("big.zip", 5 * 1024 * 1024 + 17), ("upa.zip", 777)):
            with open(os.path.join(self.root, name), "wb") as f:
                f.write(os.urandom(size))
        self.nginx = Nginx(self.root, tls=True)
        self.addCleanup(self.nginx.stop)
        self.odd = OddServer()
        self.addCleanup(self.odd.stop)

    def test_http_tests_pass_against_real_servers(self):
        exe = lkharness.build_path("tests", "http_tests.exe")
        self.assertTrue(os.path.exists(exe), exe)
        env = {
            "LK_NGINX_URL": self.nginx.url,
            "LK_NGINX_ROOT": lkharness.winpath(self.root),
            "LK_ODD_URL": self.odd.url,
            "LK_CLOSED_URL": f"http://127.0.0.1:{closed_port()}/",
            "LK_HTTPS_URL": self.nginx.tls_url,
            "LK_NGINX_LOG": lkharness.winpath(self.nginx.access_log),
        }
        proc = lkharness.run_wine(exe, ["--gtest_brief=1"], timeout=600, env=env)
        print(proc.stdout[-6000:])
        print(proc.stderr[-3000:])
        self.assertEqual(proc.returncode, 0, "http_tests failed")
        self.assertIn("PASSED", proc.stdout)


if __name__ == "__main__":
    unittest.main()
