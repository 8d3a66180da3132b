#!/usr/bin/env python3
"""Archives from our ZIP writer, checked by other tools: Python's zipfile and
Info-ZIP's unzip must read every entry, with UTF-8 names, the same bytes and
the empty folder. Usage: check_zip_interop.py <zip_writer_sample>."""
import os
import subprocess
import sys
import tempfile
import zipfile


def expected_files(root):
    out = {}
    for dirpath, _, filenames in os.walk(root):
        for n in filenames:
            p = os.path.join(dirpath, n)
            with open(p, "rb") as f:
                out[os.path.relpath(p, root).replace(os.sep, "/")] = f.read()
    return out


def main():
    failures = []
    with tempfile.TemporaryDirectory() as tmp:
        subprocess.run([sys.argv[1], tmp], check=True)
        for name in ("plain", "zip64"):
            archive = os.path.join(tmp, name + ".zip")
            want = expected_files(os.path.join(tmp, name + "-expected"))
            with zipfile.ZipFile(archive) as z:
                if z.testzip() is not None:
                    failures.append(f"{name}: zipfile CRC check failed")
                infos = z.infolist()
                for i in infos:
                    if not i.flag_bits & 0x800:
                        failures.append(f"{name}: {i.filename} lacks the UTF-8 flag")
                got = {i.filename: z.read(i) for i in infos if not i.is_dir()}
                dirs = [i.filename for i in infos if i.is_dir()]
                if got != want:
                    failures.append(f"{name}: zipfile read {sorted(got)} instead of {sorted(want)}")
                if dirs != ["空目录/"]:
                    failures.append(f"{name}: folders {dirs}")
            env = dict(os.environ, LC_ALL="C.UTF-8")
            test = subprocess.run(["unzip", "-tq", archive], capture_output=True, text=True, errors="replace",
                                  env=env)
            if test.returncode != 0:
                failures.append(f"{name}: unzip -t: {test.stdout}{test.stderr}")
            dest = os.path.join(tmp, name + "-unzip")
            run = subprocess.run(["unzip", "-q", archive, "-d", dest], capture_output=True, text=True,
                                 errors="replace", env=env)
            if run.returncode != 0:
                failures.append(f"{name}: unzip: {run.stdout}{run.stderr}")
            elif expected_files(dest) != want or not os.path.isdir(os.path.join(dest, "空目录")):
                failures.append(f"{name}: unzip unpacked other files")
    for f in failures:
        print("FAIL", f)
    print("ok" if not failures else f"{len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
