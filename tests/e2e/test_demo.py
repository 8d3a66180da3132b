"""The README's first command, in the mode CI can run: the demo launcher
comes up with the demo zones, the pending update is answered with OK and
applied, a zone is probed and the start button runs the demo client with
the brand's launch token. Screenshots stay in build/win64/artifacts/."""
import os
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import lkharness as h  # noqa: E402


class DemoTest(unittest.TestCase):
    def test_demo_check_mode(self):
        demo = os.path.join(h.SOURCE_DIR, "demo", "demo.py")
        r = subprocess.run([sys.executable, demo, "--check"], stdin=subprocess.DEVNULL,
                           capture_output=True, text=True, timeout=600)
        print(r.stdout, r.stderr)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertIn("update applied (更新完成。)", r.stdout)
        self.assertIn("DEMO-TOKEN-2026", r.stdout)


if __name__ == "__main__":
    unittest.main()
