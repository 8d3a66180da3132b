#!/usr/bin/env python3
"""Update-check benchmark: the branded launcher against an update site whose
game files are all up to date, timed inside Wine from its window being shown
to "更新完成。" (bench_update_check.exe), with the digest cache from the run
before (warm) and without it (cold), against sha256sum over the same files,
in one run, for the game-like folder of bench_update_files.py (3,000 files,
300 MiB) and for a folder of 2 GiB. Each measurement is repeated,
interleaved, and the fastest run counts (the files are in the page cache
after the first round for every contender).

Needs the win64 build (bench_update_check target) and the host
launcher-kit. Usage:
  python3 bench/bench_update_check.py [--files 3000] [--folder-mib 300]
      [--big-gib 2] [--rounds 3]
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
sys.path.insert(0, HERE)
import lkharness as h  # noqa: E402
from bench_update_files import make_folder  # noqa: E402
from lkservers import Nginx  # noqa: E402

KIT = os.path.join(ROOT, "build", "host", "tools", "launcher-kit")
BRAND = "benchupdate"


def prepare(tmp, name, files, mib):
    game, site = os.path.join(tmp, name, "game"), os.path.join(tmp, name, "site")
    os.makedirs(game)
    paths = make_folder(game, files, mib)
    nginx = Nginx(site)
    exe = os.path.join(game, "bench.exe")
    h.pack_launcher(exe, BRAND)
    h.write_inf(os.path.join(game, "bench.inf"),
                settings={"UpDateSwitch": "1", "UpDateUrl": f"{nginx.url}update.ini"})
    subprocess.run([KIT, "publish", game, site, "--url", nginx.url, "--launcher", "bench.exe"], check=True,
                   capture_output=True)
    return game, exe, paths, nginx


def launcher_check(exe):
    timer = h.build_path("bench", "bench_update_check.exe")
    out = h.run_wine(timer, [h.winpath(exe), str(h.CONTROL_IDS["Label3"])], timeout=1200).stdout
    fields = dict(part.split("=", 1) for part in out.split() if "=" in part)
    if not fields.get("text", "").startswith("更新完成"):
        raise SystemExit(f"the check did not end with 更新完成。: {out}")
    return float(fields["done"]) - float(fields["shown"])


def sha256sum(paths):
    t = time.perf_counter()
    subprocess.run(["sha256sum", *paths], check=True, stdout=subprocess.DEVNULL)
    return (time.perf_counter() - t) * 1000


def measure(label, game, exe, paths, rounds):
    cache = os.path.join(game, "lk-digest.cache")
    cold, warm, sums = [], [], []
    for _ in range(rounds):
        if os.path.exists(cache):
            os.remove(cache)
        cold.append(launcher_check(exe))
        warm.append(launcher_check(exe))
        sums.append(sha256sum(paths))
    c, w, s = min(cold), min(warm), min(sums)
    print(f"{label}, all up to date; fastest of {rounds} (ms, window shown to 更新完成。):")
    print(f"  launcher, warm digest cache   {w:8.0f}   {[round(x) for x in warm]}")
    print(f"  launcher, no digest cache     {c:8.0f}   {[round(x) for x in cold]}")
    print(f"  sha256sum over the same files {s:8.0f}   {[round(x) for x in sums]}")
    print(f"  ratio warm / sha256sum:  {w / s:.3f}")
    print(f"  ratio cold / sha256sum:  {c / s:.3f}")
    return w, c, s


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--files", type=int, default=3000)
    ap.add_argument("--folder-mib", type=int, default=300)
    ap.add_argument("--big-gib", type=int, default=2, help="0 leaves the large folder out")
    ap.add_argument("--rounds", type=int, default=3)
    opts = ap.parse_args()
    tmp = tempfile.mkdtemp(prefix="lk-bench-check-")
    servers = []
    try:
        sets = [("game-like", opts.files, opts.folder_mib)]
        if opts.big_gib:
            sets.append(("large", opts.files, opts.big_gib * 1024))
        results = []
        for label, files, mib in sets:
            game, exe, paths, nginx = prepare(tmp, label, files, mib)
            servers.append(nginx)
            size = sum(os.path.getsize(p) for p in paths)
            results.append(measure(f"{len(paths)} files, {size / 2**20:.0f} MiB ({label})", game, exe, paths,
                                   opts.rounds))
        if len(results) == 2:
            print(f"warm time, large / game-like folder: {results[1][0] / results[0][0]:.2f} "
                  f"(sha256sum: {results[1][2] / results[0][2]:.2f})")
    finally:
        for n in servers:
            n.stop()
        shutil.rmtree(tmp, ignore_errors=True)


if __name__ == "__main__":
    main()
