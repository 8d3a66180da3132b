#!/usr/bin/env python3
"""Update-check benchmark: the branded launcher from its start to
"更新完成。" against an update site of --files game files that are all up to
date (so the run fetches the manifest, hashes every file and finds nothing
to do), against `sha256sum` over the same files, in one run. Prints both
times and their ratio.

Needs the win64 build and the host launcher-kit; Wine and a display are
started when missing. Usage:
  python3 bench/bench_update_check.py [--files 1000] [--kib 64]
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.abspath(os.path.join(HERE, ".."))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
import lkharness as h  # noqa: E402
from lkservers import Nginx  # noqa: E402

KIT = os.path.join(ROOT, "build", "host", "tools", "launcher-kit")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--files", type=int, default=1000)
    ap.add_argument("--kib", type=int, default=64, help="size of each game file")
    opts = ap.parse_args()
    tmp = tempfile.mkdtemp(prefix="lk-bench-update-")
    nginx = None
    try:
        game, site = os.path.join(tmp, "game"), os.path.join(tmp, "site")
        files = []
        for i in range(opts.files):
            path = os.path.join(game, "data", f"d{i // 100}", f"f{i}.dat")
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(os.urandom(opts.kib * 1024))
            files.append(path)
        nginx = Nginx(site)
        exe = os.path.join(game, "bench.exe")
        h.pack_launcher(exe, "benchupdate")
        h.write_inf(os.path.join(game, "bench.inf"),
                    settings={"UpDateSwitch": "1", "UpDateUrl": f"http://127.0.0.1:{nginx.port}/update.ini"})
        subprocess.run([KIT, "publish", game, site, "--url", f"http://127.0.0.1:{nginx.port}/",
                        "--launcher", "bench.exe", "--manifest", "update.ini"], check=True, capture_output=True)

        start = time.monotonic()
        launcher = h.start_wine(exe, cwd=game)
        window = h.wait_until(lambda: h.find_windows(cls="TForm2", title="benchupdate", visible=True), 120,
                              0.05, "the launcher window")[0]
        h.wait_until(lambda: h.controls(window)["Label3"].text == "更新完成。", 600, 0.05, "更新完成。")
        launcher_s = time.monotonic() - start
        if h.find_windows(title="提示", visible=True):
            raise SystemExit("the launcher asked to update: the site does not match the files")
        h.close_window(window)
        launcher.wait(60)

        start = time.monotonic()
        subprocess.run(["sha256sum", *files], check=True, stdout=subprocess.DEVNULL)
        sha_s = time.monotonic() - start
        print(f"{opts.files} files of {opts.kib} KiB, all up to date:")
        print(f"  launcher start to 更新完成。: {launcher_s * 1000:.0f} ms")
        print(f"  sha256sum over the same files: {sha_s * 1000:.0f} ms")
        print(f"  ratio launcher / sha256sum: {launcher_s / sha_s:.2f}")
    finally:
        if nginx:
            nginx.stop()
        shutil.rmtree(tmp, ignore_errors=True)


if __name__ == "__main__":
    main()
