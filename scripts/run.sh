#!/usr/bin/env bash
# The launcher's main job. For now: installs what is missing, builds every
# program for Windows (x64 and x86) and the host, and prints where they are.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
mkdir -p build
for preset in host win64 win32; do
  cmake --preset "$preset" >"build/configure-$preset.log" 2>&1 || { cat "build/configure-$preset.log"; exit 1; }
  cmake --build --preset "$preset"
done
echo
echo "Programs built:"
found=0
for f in build/win64/launcher/launcher.exe build/win32/launcher/launcher.exe \
         build/win64/patcher/patcher.exe build/win32/patcher/patcher.exe \
         build/host/tools/launcher-kit build/win64/tools/launcher-kit.exe; do
  if [ -f "$f" ]; then echo "  $(pwd)/$f"; found=1; fi
done
[ "$found" -eq 1 ] || echo "  (none yet: the libraries and tests are in build/host, build/win64 and build/win32)"
