#!/usr/bin/env python3
"""Start-up benchmark: the branded demo launcher from process start to its
visible main window, against a bare Win32 window program, both started and
timed inside the same Wine by bench_startup.exe. Prints the medians and
their ratio.

Needs the win64 build and the host launcher-kit. Usage:
  python3 bench/bench_startup.py [--runs 15]
"""
import argparse
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.abspath(os.path.join(HERE, ".."))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
import lkharness as h  # noqa: E402


def times(exe, cls, runs):
    out = h.run_wine(h.build_path("bench", "bench_startup.exe"), ["time", h.winpath(exe), cls, str(runs)],
                     timeout=600, check=True).stdout
    values = [float(v) for v in re.search(r"ms=(\S+)", out).group(1).split(",")]
    if any(v < 0 for v in values):
        raise SystemExit(f"{exe}: no visible {cls} window appeared")
    return values


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--runs", type=int, default=15)
    runs = ap.parse_args().runs
    tmp = tempfile.mkdtemp(prefix="lk-bench-startup-")
    try:
        launcher = os.path.join(tmp, "demo.exe")
        subprocess.run([os.path.join(ROOT, "build", "host", "tools", "launcher-kit"), "pack",
                        "--launcher", h.build_path("launcher", "launcher.exe"), "--out", launcher,
                        "--brand", "基准", "--token", "t", "--skin", os.path.join(ROOT, "skins", "demo")],
                       check=True, capture_output=True)
        # No .inf: the launcher shows its missing-file message box, which is
        # a visible window of its own; give it a configuration without zones.
        with open(os.path.join(tmp, "demo.inf"), "w", encoding="ascii") as f:
            f.write("[LoginData]\r\nCloudShieldSwitch=0\r\nUpDateSwitch=0\r\n")
        # bench_startup.exe started without arguments is the bare program.
        bare_times = times(h.build_path("bench", "bench_startup.exe"), "BareWindow", runs)
        launcher_times = times(launcher, "TForm2", runs)
        b, l = statistics.median(bare_times), statistics.median(launcher_times)
        print(f"bare Win32 window: median {b:.1f} ms over {runs} runs")
        print(f"branded demo launcher: median {l:.1f} ms over {runs} runs")
        print(f"ratio launcher / bare: {l / b:.2f}")
    finally:
        shutil.rmtree(tmp, ignore_errors=True)


if __name__ == "__main__":
    main()
