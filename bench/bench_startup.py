#!/usr/bin/env python3
"""Start-up benchmark: the branded demo launcher (demo skin, the demo's
configuration with its zones and update switch, every address on a closed
local port) against a bare Win32 window program, both started and timed
inside the same Wine by bench_startup.exe, interleaved run by run. For the
launcher it takes, in the same run, the time to its visible main window,
to a filled zone tree and to both web browser controls. Prints each
figure's median and its ratio to the bare window's median.

Needs the win64 build (bench_startup, launcher) and the host launcher-kit.
Usage:
  python3 bench/bench_startup.py [--runs 15]
  python3 bench/bench_startup.py --trace --launcher build/win64-trace/launcher/launcher.exe
      (a launcher built with -DLK_STARTUP_TRACE=ON: also prints the median
      time of every start-up mark, see docs/DEVELOPING.md "Start-up time")
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
import lkservers  # noqa: E402

KIT = os.path.join(ROOT, "build", "host", "tools", "launcher-kit")
BENCH = h.build_path("bench", "bench_startup.exe")


def kit(*args):
    subprocess.run([KIT, *args], check=True, capture_output=True)


def times(exe, cls, launcher=False, env=None):
    """One start; a dict of milestone -> ms."""
    args = ["time", h.winpath(exe), cls, "1"] + (["launcher"] if launcher else [])
    out = h.run_wine(BENCH, args, timeout=600, check=True, env=env).stdout.replace("\r", "")
    found = {k: float(v) for k, v in re.findall(r"^(\w+)=(\S+)$", out, re.M)}
    for k, v in found.items():
        if v < 0:
            raise SystemExit(f"{exe}: milestone {k} not reached")
    return found


def prepare(folder, launcher_exe):
    exe = os.path.join(folder, "demo.exe")
    kit("pack", "--launcher", launcher_exe, "--out", exe, "--brand", "基准", "--token", "t",
        "--skin", os.path.join(ROOT, "skins", "demo"))
    # The demo's configuration; nothing listens on its ports, so the update
    # run ends at once and silently, and the pages stay empty.
    closed = str(lkservers.closed_port())
    with open(os.path.join(ROOT, "demo", "zones.txt.in"), encoding="utf-8") as f:
        text = (f.read().replace("@LOGIN_PORT@", closed).replace("@CLOSED_PORT@", closed)
                .replace("@UPDATE_URL@", f"http://127.0.0.1:{closed}/update.ini").replace("@SITE_PORT@", closed))
    desc = os.path.join(folder, "zones.txt")
    with open(desc, "w", encoding="utf-8") as f:
        f.write(text)
    kit("inf", desc, os.path.join(folder, "demo.inf"))
    return exe


def read_trace(path):
    """Runs of (mark, ms since process creation, ms since the mark before)."""
    runs, run = [], []
    if not os.path.exists(path):
        return runs
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            parts = line.rstrip("\n").split("\t")
            if parts[0] == "end":
                runs.append(run)
                run = []
            elif len(parts) == 3:
                run.append((parts[0], float(parts[1]), float(parts[2])))
    return runs


def print_trace(runs):
    names = [m for m, _, _ in runs[0]]
    print(f"\nstart-up marks, median of {len(runs)} runs (ms):")
    print("| mark | since process creation | step |")
    print("|---|---|---|")
    for i, name in enumerate(names):
        at = [r[i][1] for r in runs if len(r) > i and r[i][0] == name]
        step = [r[i][2] for r in runs if len(r) > i and r[i][0] == name]
        print(f"| {name} | {statistics.median(at):.1f} | {statistics.median(step):.1f} |")


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--runs", type=int, default=15)
    ap.add_argument("--launcher", default=h.build_path("launcher", "launcher.exe"),
                    help="the launcher.exe to brand (default: the win64 build's)")
    ap.add_argument("--trace", action="store_true", help="collect the marks of a timing build")
    opts = ap.parse_args()
    tmp = tempfile.mkdtemp(prefix="lk-bench-startup-")
    try:
        launcher = prepare(tmp, opts.launcher)
        trace = os.path.join(tmp, "trace.txt")
        env = {"LK_STARTUP_TRACE_FILE": h.winpath(trace)} if opts.trace else None
        bare, ours = [], []
        for _ in range(opts.runs):
            # bench_startup.exe started without arguments is the bare program.
            bare.append(times(BENCH, "BareWindow")["visible"])
            ours.append(times(launcher, "TForm2", launcher=True, env=env))
        b = statistics.median(bare)
        print(f"{opts.runs} runs each, medians:")
        print(f"bare Win32 window, visible:        {b:7.1f} ms")
        for key, what in (("visible", "visible"), ("tree", "zone tree filled"),
                          ("browsers", "both browser controls")):
            m = statistics.median(r[key] for r in ours)
            print(f"demo launcher, {what + ':':<22}{m:7.1f} ms   ratio to bare {m / b:.2f}")
        if opts.trace:
            runs = read_trace(trace)
            if not runs:
                raise SystemExit("no start-up marks: build the launcher with -DLK_STARTUP_TRACE=ON")
            print_trace(runs)
    finally:
        shutil.rmtree(tmp, ignore_errors=True)


if __name__ == "__main__":
    main()
