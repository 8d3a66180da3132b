#!/usr/bin/env bash
# Runs every libFuzzer target of the host build for a set time each
# (default 300 s), keeping a corpus per target in build/fuzz-corpus.
# Usage: scripts/fuzz.sh [seconds-per-target]
set -euo pipefail
cd "$(dirname "$0")/.."
secs=${1:-300}
cmake --preset host >/dev/null
cmake --build --preset host
for exe in build/host/fuzz/fuzz_*; do
  [ -x "$exe" ] || continue
  name=$(basename "$exe")
  mkdir -p "build/fuzz-corpus/$name"
  echo "== $name for ${secs}s"
  "$exe" -max_total_time="$secs" -rss_limit_mb=2048 "build/fuzz-corpus/$name"
done
