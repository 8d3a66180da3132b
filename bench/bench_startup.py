#!/usr/bin/env python3
"""Start-up benchmark: the time from starting a program under Wine until its
window is visible on the X display, for
  - the branded demo launcher (demo skin, a .inf with a few zones),
  - a bare Win32 window program (bench/bare_window.cpp),
alternating, several runs each; prints the medians and their ratio.

Needs the win64 build, a running Xvfb and Wine (source scripts/wine-env.sh;
lk_xvfb_start; lk_wine_start). Usage:
  python3 bench/bench_startup.py [--runs 7]
"""
import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
import lkharness as h  # noqa: E402


def visible_window(title):
    r = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", f"^{title}$"], capture_output=True,
                       text=True, timeout=10)
    return r.stdout.split()


def time_to_window(exe, args, title, cwd):
    start = time.monotonic()
    proc = h.start_wine(exe, args, cwd=cwd)
    while not visible_window(title):
        if time.monotonic() - start > 60:
            raise RuntimeError(f"no window {title}")
        time.sleep(0.01)
    elapsed = time.monotonic() - start
    for w in h.find_windows(title=title):
        h.terminate_process(w.pid)
    proc.wait(timeout=30)
    time.sleep(1)
    return elapsed


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=7)
    opts = parser.parse_args()
    with tempfile.TemporaryDirectory(prefix="lk-bench-") as tmp:
        exe = os.path.join(tmp, "bench.exe")
        brand = "benchbrand"
        h.pack_launcher(exe, brand)
        h.write_inf(os.path.join(tmp, "bench.inf"),
                    zones=[h.zone("组", f"区{i}", 1) for i in range(5)])
        bare = h.build_path("bench", "bare_window.exe")
        launcher_times, bare_times = [], []
        for _ in range(opts.runs):
            launcher_times.append(time_to_window(exe, [], brand, tmp))
            bare_times.append(time_to_window(bare, ["barewindow"], "barewindow", tmp))
        lm, bm = statistics.median(launcher_times), statistics.median(bare_times)
        print(f"launcher to visible window: median {lm * 1000:.0f} ms "
              f"({', '.join(f'{t * 1000:.0f}' for t in launcher_times)})")
        print(f"bare window to visible window: median {bm * 1000:.0f} ms "
              f"({', '.join(f'{t * 1000:.0f}' for t in bare_times)})")
        print(f"ratio launcher / bare: {lm / bm:.2f}")


if __name__ == "__main__":
    main()
