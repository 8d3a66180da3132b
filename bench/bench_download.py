#!/usr/bin/env python3
"""Item download benchmark: one 512 MiB item from a private nginx on
127.0.0.1, fetched in one run by
  - curl -o file (the reference on the host),
  - the launcher's DownloadFile (bench_download.exe item) under Wine,
  - a bare WinHTTP read loop (bench_download.exe bare) in the same Wine,
  - and, to tell the client's cost from the progress hand-over's, the
    HTTP client alone writing to a file (bench_download.exe client);
then the launcher's peak memory for a 1 GiB item. Prints the ratios.

Needs the win64 build (cmake --build --preset win64). Usage:
  python3 bench/bench_download.py [--size-mib 512] [--big-mib 1024]
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
import lkharness  # noqa: E402
from lkservers import Nginx  # noqa: E402


def make_item(path, mib):
    # Incompressible, so no layer can take a short cut.
    chunk = os.urandom(1024 * 1024)
    with open(path, "wb") as f:
        for _ in range(mib):
            f.write(chunk)


def run_exe(args):
    exe = lkharness.build_path("bench", "bench_download.exe")
    proc = lkharness.run_wine(exe, args, timeout=1800)
    m = re.search(r"ms=(\d+) bytes=(-?\d+) peak_working_set=(\d+) peak_private=(\d+)", proc.stdout)
    if proc.returncode != 0 or not m:
        raise SystemExit(f"bench_download {args[0]} failed: {proc.stdout} {proc.stderr}")
    return {"ms": int(m[1]), "bytes": int(m[2]), "ws": int(m[3]), "private": int(m[4])}


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--size-mib", type=int, default=512)
    ap.add_argument("--big-mib", type=int, default=1024)
    ap.add_argument("--repeat", type=int, default=3,
                    help="runs per contestant, interleaved; the fastest counts (the machine is shared)")
    opts = ap.parse_args()

    tmp = tempfile.mkdtemp(prefix="lk-bench-")
    try:
        site = os.path.join(tmp, "site")
        patch = os.path.join(tmp, "Patch")
        os.makedirs(site)
        os.makedirs(patch)
        make_item(os.path.join(site, "item.zip"), opts.size_mib)
        size = opts.size_mib * 1024 * 1024
        nginx = Nginx(site)
        try:
            # Warm the page cache and Wine once, so no contestant pays for it.
            subprocess.run(["curl", "--noproxy", "*", "-s", "-o", "/dev/null", nginx.url + "item.zip"], check=True)
            lkharness.run_wine("cmd", ["/c", "exit"], timeout=120)

            out = os.path.join(tmp, "curl.out")
            bare_out = os.path.join(tmp, "bare.out")
            curl_ms, item_ms, bare_ms, client_ms = [], [], [], []
            for _ in range(opts.repeat):
                t0 = time.monotonic()
                subprocess.run(["curl", "--noproxy", "*", "-s", "-o", out, nginx.url + "item.zip"], check=True)
                curl_ms.append((time.monotonic() - t0) * 1000)
                assert os.path.getsize(out) == size
                os.remove(out)

                item = run_exe(["item", nginx.url, "item.zip", lkharness.winpath(patch)])
                assert item["bytes"] == size, item
                item_ms.append(item["ms"])
                os.remove(os.path.join(patch, "item.zip"))

                bare = run_exe(["bare", nginx.url + "item.zip", lkharness.winpath(bare_out)])
                assert bare["bytes"] == size, bare
                bare_ms.append(bare["ms"])
                os.remove(bare_out)

                client = run_exe(["client", nginx.url + "item.zip", lkharness.winpath(bare_out)])
                assert client["bytes"] == size, client
                client_ms.append(client["ms"])
                os.remove(bare_out)
            os.remove(os.path.join(site, "item.zip"))

            make_item(os.path.join(site, "big.zip"), opts.big_mib)
            big = run_exe(["item", nginx.url, "big.zip", lkharness.winpath(patch)])
            assert big["bytes"] == opts.big_mib * 1024 * 1024, big
        finally:
            nginx.stop()

        def rate(ms):
            return size / (ms / 1000) / 1e9

        def runs(values):
            return " ".join(f"{v:.0f}" for v in values)

        c, i, b, h = min(curl_ms), min(item_ms), min(bare_ms), min(client_ms)
        print(f"item: {opts.size_mib} MiB from nginx on 127.0.0.1, fastest of {opts.repeat} runs (all runs in ms)")
        print(f"  curl -o file           {c:8.0f} ms  {rate(c):6.3f} GB/s   [{runs(curl_ms)}]")
        print(f"  DownloadFile (Wine)    {i:8.0f} ms  {rate(i):6.3f} GB/s   [{runs(item_ms)}]")
        print(f"  bare WinHTTP (Wine)    {b:8.0f} ms  {rate(b):6.3f} GB/s   [{runs(bare_ms)}]")
        print(f"  HttpClient alone (Wine){h:8.0f} ms  {rate(h):6.3f} GB/s   [{runs(client_ms)}]")
        print(f"  DownloadFile / curl time:         {i / c:6.2f}")
        print(f"  DownloadFile / bare WinHTTP time: {i / b:6.2f}")
        print(f"peak memory of the launcher's download of {opts.big_mib} MiB:"
              f" working set {big['ws'] / 2**20:.1f} MiB, private {big['private'] / 2**20:.1f} MiB"
              f" ({big['ms']} ms)")
    finally:
        shutil.rmtree(tmp, True)


if __name__ == "__main__":
    main()
