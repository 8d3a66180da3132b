#!/usr/bin/env python3
"""Update-check benchmark, in one run on the same data:
  - FileDigest of one 512 MiB file (bench_update_files.exe digest, under
    Wine) against sha256sum and openssl dgst -sha256 on the host;
  - the digests of a game-like folder (~3,000 files, ~300 MiB), hashed
    concurrently by FileDigests, against one sha256sum over the same files;
  - ExtractPackage of a ZIP of that folder against unzip of the same archive,
    and the same archive only inflated (nothing written) to show what the
    file system costs.
Each measurement is repeated, interleaved with the others, and the fastest
run counts (the files are in the page cache after the first round). Our
times are taken inside the Windows process, so Wine's process start does not
count; the host tools are timed around their process.

Needs the win64 build (cmake --build --preset win64 --target
bench_update_files). Usage:
  python3 bench/bench_update_files.py [--size-mib 512] [--files 3000]
      [--folder-mib 300] [--rounds 3]
"""
import argparse
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
import lkharness  # noqa: E402


def make_big(path, mib):
    # Incompressible, so nothing can take a short cut.
    chunk = os.urandom(1024 * 1024)
    with open(path, "wb") as f:
        for i in range(mib):
            f.write(chunk[i % 7:] + chunk[: i % 7])


def make_folder(root, files, total_mib):
    """Game-like: a few large packs, many small files, nested folders, half
    of each file random and half repetitive so it compresses partly."""
    rng = random.Random(8)
    weights = [rng.paretovariate(1.2) for _ in range(files)]
    scale = total_mib * 1024 * 1024 / sum(weights)
    noise = os.urandom(8 * 1024 * 1024)
    paths = []
    for i, w in enumerate(weights):
        size = max(1, int(w * scale))
        folder = os.path.join(root, f"data{i % 7}", f"sub{i % 23}")
        os.makedirs(folder, exist_ok=True)
        path = os.path.join(folder, f"f{i:05d}.dat")
        half = size // 2
        start = rng.randrange(0, len(noise) - min(half, len(noise) - 1))
        body = noise[start:start + half]
        body += (b"map tile %d " % i) * ((size - len(body)) // 12 + 1)
        with open(path, "wb") as f:
            f.write(body[:size])
        paths.append(path)
    return paths


def timed(cmd, **kw):
    t = time.perf_counter()
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, **kw)
    return (time.perf_counter() - t) * 1000


def ours(args):
    exe = lkharness.build_path("bench", "bench_update_files.exe")
    proc = lkharness.run_wine(exe, args, timeout=1800)
    m = re.search(r"ms=([\d.]+) result=(\S+)", proc.stdout)
    if proc.returncode != 0 or not m:
        raise SystemExit(f"bench_update_files {args[0]} failed: {proc.stdout} {proc.stderr}")
    return float(m.group(1)), m.group(2)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--size-mib", type=int, default=512)
    ap.add_argument("--files", type=int, default=3000)
    ap.add_argument("--folder-mib", type=int, default=300)
    ap.add_argument("--rounds", type=int, default=3)
    a = ap.parse_args()
    if not os.path.exists(lkharness.build_path("bench", "bench_update_files.exe")):
        raise SystemExit("build first: cmake --build --preset win64 --target bench_update_files")

    work = tempfile.mkdtemp(prefix="lk-bench-", dir=os.path.join(lkharness.SOURCE_DIR, "build"))
    try:
        big = os.path.join(work, "big.bin")
        make_big(big, a.size_mib)
        game = os.path.join(work, "game")
        paths = make_folder(game, a.files, a.folder_mib)
        folder_bytes = sum(os.path.getsize(p) for p in paths)
        with open(os.path.join(work, "list.txt"), "w", encoding="utf-8") as f:
            f.write("\n".join(paths) + "\n")
        with open(os.path.join(work, "list-win.txt"), "w", encoding="utf-8") as f:
            f.write("\n".join(lkharness.winpath(p) for p in paths) + "\n")
        archive = os.path.join(work, "game.zip")
        subprocess.run(["zip", "-q", "-r", archive, "."], cwd=game, check=True)

        want = subprocess.run(["sha256sum", big], check=True, capture_output=True, text=True).stdout.split()[0]
        best = {}

        def keep(name, ms):
            best[name] = min(ms, best.get(name, float("inf")))

        for _ in range(a.rounds):
            keep("sha256sum", timed(["sha256sum", big]))
            keep("openssl", timed(["openssl", "dgst", "-sha256", big]))
            ms, digest = ours(["digest", lkharness.winpath(big)])
            if digest != want:
                raise SystemExit(f"FileDigest gave {digest}, sha256sum {want}")
            keep("FileDigest", ms)

            keep("sha256sum files", timed(["xargs", "-a", os.path.join(work, "list.txt"), "-d", "\n", "sha256sum"]))
            ms, count = ours(["digests", lkharness.winpath(os.path.join(work, "list-win.txt"))])
            if int(count) != len(paths):
                raise SystemExit(f"FileDigests hashed {count} of {len(paths)} files")
            keep("FileDigests", ms)

            ms, total = ours(["inflate", lkharness.winpath(archive)])
            if int(total) != folder_bytes:
                raise SystemExit(f"inflate gave {total} bytes of {folder_bytes}")
            keep("inflate", ms)

            out = os.path.join(work, "unzip-out")
            shutil.rmtree(out, ignore_errors=True)
            keep("unzip", timed(["unzip", "-q", "-o", archive, "-d", out]))
            shutil.rmtree(out, ignore_errors=True)
            copy = os.path.join(work, "copy.zip")
            shutil.copyfile(archive, copy)
            out = os.path.join(work, "ours-out")
            shutil.rmtree(out, ignore_errors=True)
            ms, _ = ours(["extract", lkharness.winpath(copy), lkharness.winpath(out)])
            keep("ExtractPackage", ms)
            shutil.rmtree(out, ignore_errors=True)

        mb = a.size_mib * 1024 * 1024 / 1e6
        fmb = folder_bytes / 1e6
        print(f"one file of {a.size_mib} MiB; {len(paths)} files of {fmb:.0f} MB in total "
              f"(archive {os.path.getsize(archive) / 1e6:.0f} MB); fastest of {a.rounds} rounds")
        rows = [
            ("FileDigest (Wine)", "FileDigest", mb), ("sha256sum", "sha256sum", mb), ("openssl dgst", "openssl", mb),
            ("FileDigests, folder (Wine)", "FileDigests", fmb), ("sha256sum, folder", "sha256sum files", fmb),
            ("ExtractPackage (Wine)", "ExtractPackage", fmb), ("unzip", "unzip", fmb),
            ("inflate only, no files (Wine)", "inflate", fmb),
        ]
        for label, key, size in rows:
            print(f"  {label:28s} {best[key]:9.0f} ms  {size / best[key]:6.2f} GB/s")
        print("ratios (throughput, ours / theirs):")
        print(f"  FileDigest / sha256sum            {best['sha256sum'] / best['FileDigest']:.2f}")
        print(f"  FileDigest / openssl              {best['openssl'] / best['FileDigest']:.2f}")
        print(f"  FileDigests / sha256sum (folder)  {best['sha256sum files'] / best['FileDigests']:.2f}")
        print(f"  ExtractPackage / unzip            {best['unzip'] / best['ExtractPackage']:.2f}")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
