"""Runs update_run_tests.exe (the whole update run with a recording window)
under Wine against a private nginx, which serves the sites the tests write
with launcher-kit publish, and the odd-answer server for a slow body."""
import os
import unittest

import lkharness
from lkservers import Nginx, OddServer, closed_port


class UpdateRun(lkharness.TempDirTestCase):
    def setUp(self):
        super().setUp()
        self.root = os.path.join(self.tmp, "sites")
        os.makedirs(self.root)
        self.nginx = Nginx(self.root, refuse_head=True)
        self.addCleanup(self.nginx.stop)
        self.odd = OddServer()
        self.addCleanup(self.odd.stop)

    def test_update_run_against_real_servers(self):
        exe = lkharness.build_path("tests", "update_run_tests.exe")
        self.assertTrue(os.path.exists(exe), exe)
        env = {
            "LK_NGINX_URL": self.nginx.url,
            "LK_NGINX_ROOT": lkharness.winpath(self.root),
            "LK_NOHEAD_URL": self.nginx.nohead_url,
            "LK_ODD_URL": self.odd.url,
            "LK_CLOSED_URL": f"http://127.0.0.1:{closed_port()}/",
            "LK_FAKECLIENT": lkharness.winpath(lkharness.build_path("tests", "fakeclient.exe")),
            "LK_PATCHER": lkharness.winpath(lkharness.build_path("patcher", "patcher.exe")),
            "LK_NGINX_LOG": lkharness.winpath(self.nginx.access_log),
        }
        proc = lkharness.run_wine(exe, ["--gtest_brief=1"], timeout=170, env=env)
        print(proc.stdout[-8000:])
        print(proc.stderr[-3000:])
        self.assertEqual(proc.returncode, 0, "update_run_tests failed")
        self.assertIn("PASSED", proc.stdout)


if __name__ == "__main__":
    unittest.main()
