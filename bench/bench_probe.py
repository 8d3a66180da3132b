#!/usr/bin/env python3
"""Probe benchmark: TestServerConnection's measured time against a plain
connect to the same loopback listener (the difference in ms), and the
timeout's accuracy against a listener that never accepts and whose backlog
is full (should be 2000 ms). Both inside the same Wine.

Needs the win64 build. Usage: python3 bench/bench_probe.py [--runs 50]
"""
import argparse
import os
import re
import socket
import statistics
import sys
import threading

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
import lkharness as h  # noqa: E402


def run(args):
    return h.run_wine(h.build_path("bench", "bench_probe.exe"), args, timeout=600, check=True).stdout


def accepting_listener():
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    s.listen(64)

    def serve():
        while True:
            try:
                c, _ = s.accept()
                c.close()
            except OSError:
                return
    threading.Thread(target=serve, daemon=True).start()
    return s


def full_listener():
    """listen(0) and one queued connection: Linux keeps backlog + 1, so the
    next connect is never answered."""
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    s.listen(0)
    fillers = []
    for _ in range(2):
        c = socket.socket()
        c.setblocking(False)
        try:
            c.connect(s.getsockname())
        except BlockingIOError:
            pass
        fillers.append(c)
    return s, fillers


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--runs", type=int, default=50)
    runs = ap.parse_args().runs
    listener = accepting_listener()
    out = run([str(listener.getsockname()[1]), str(runs)])
    m = re.search(r"probe=(\S+) raw=(\S+)", out)
    probe = [int(v) for v in m.group(1).split(",")]
    raw = [float(v) for v in m.group(2).split(",")]
    diffs = [p - r for p, r in zip(probe, raw)]
    print(f"accepting loopback listener, {runs} probes:")
    print(f"  probe median {statistics.median(probe)} ms, plain connect median {statistics.median(raw):.2f} ms")
    print(f"  probe - plain connect: median {statistics.median(diffs):.2f} ms, max {max(diffs):.2f} ms")
    listener.close()

    full, fillers = full_listener()
    out = run(["timeout", str(full.getsockname()[1]), "3"])
    t = [float(v) for v in re.search(r"timeout=(\S+)", out).group(1).split(",")]
    print(f"never-accepting listener: probe gave -1 after {', '.join(f'{v:.0f}' for v in t)} ms "
          f"(target 2000 ms; off by at most {max(abs(v - 2000) for v in t):.0f} ms)")
    for c in fillers:
        c.close()
    full.close()


if __name__ == "__main__":
    main()
