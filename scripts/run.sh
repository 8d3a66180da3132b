#!/usr/bin/env bash
# The launcher's main job on an embedded default: installs what is missing,
# builds the launcher and launcher-kit, then runs the demo (demo/demo.py): a
# branded demo launcher with demo zones, a login server that answers and one
# that does not, and an update site with one pending update, all on
# 127.0.0.1. On your display when there is one, otherwise under Xvfb with a
# screenshot saved. Extra arguments go to demo.py (--check, --headless).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
mkdir -p build
cmake --preset host >build/configure-host.log 2>&1 || { cat build/configure-host.log; exit 1; }
cmake --build --preset host --target launcher-kit
cmake --preset win64 >build/configure-win64.log 2>&1 || { cat build/configure-win64.log; exit 1; }
cmake --build --preset win64 --target launcher democlient wininspect
exec python3 demo/demo.py "$@"
