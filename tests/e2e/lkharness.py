"""Shared helpers for the end-to-end tests: paths of the built programs and
running Windows programs under the project's Wine.

Environment (set by ctest): LK_SOURCE_DIR, LK_BUILD_DIR (the win64 tree),
LK_WINE_RUN (scripts/wine-run). DISPLAY comes from the test command's Xvfb.
"""
import os
import shutil
import subprocess
import tempfile
import unittest

SOURCE_DIR = os.environ.get("LK_SOURCE_DIR", os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..")))
BUILD_DIR = os.environ.get("LK_BUILD_DIR", os.path.join(SOURCE_DIR, "build", "win64"))
WINE_RUN = os.environ.get("LK_WINE_RUN", os.path.join(SOURCE_DIR, "scripts", "wine-run"))


def build_path(*parts):
    """A file of the win64 build tree."""
    return os.path.join(BUILD_DIR, *parts)


def winpath(path):
    """The Windows form of a Linux path: Wine maps / to drive Z:."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def run_wine(exe, args=(), timeout=60, cwd=None, check=False, env=None):
    """Runs a Windows program to its end; returns CompletedProcess with text
    output decoded as UTF-8 (our programs write UTF-8). env: variables added
    to the environment (Wine hands them to the Windows program)."""
    full_env = dict(os.environ, **env) if env else None
    proc = subprocess.run([WINE_RUN, exe, *args], cwd=cwd, timeout=timeout,
                          stdin=subprocess.DEVNULL, capture_output=True, env=full_env)
    proc.stdout = proc.stdout.decode("utf-8", "replace")
    proc.stderr = proc.stderr.decode("utf-8", "replace")
    if check and proc.returncode != 0:
        raise AssertionError(f"{exe} {args} exited {proc.returncode}: {proc.stderr}")
    return proc


def start_wine(exe, args=(), cwd=None):
    """Starts a Windows program and returns the Popen (output discarded)."""
    return subprocess.Popen([WINE_RUN, exe, *args], cwd=cwd, stdin=subprocess.DEVNULL,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


class TempDirTestCase(unittest.TestCase):
    """A test case with a fresh folder self.tmp, removed afterwards."""

    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="lk-e2e-")
        self.addCleanup(shutil.rmtree, self.tmp, True)
