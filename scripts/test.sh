#!/usr/bin/env bash
# The project's test command: installs what is missing, builds the host,
# win64 and win32 presets, then runs every test of the host tree (native,
# with sanitizers) and of the win64 tree (under Wine and Xvfb).
# Exits non-zero when a build or any test fails.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/setup.sh || { echo "setup failed" >&2; exit 1; }
. scripts/wine-env.sh

cleanup() {
  lk_wine_stop
  lk_xvfb_stop
}
trap cleanup EXIT

status=0
build() {
  local preset=$1
  echo "== build $preset"
  cmake --preset "$preset" >"$root/build/configure-$preset.log" 2>&1 ||
    { cat "$root/build/configure-$preset.log"; return 1; }
  cmake --build --preset "$preset" -- -k 0
}

mkdir -p build
build host || status=1
build win64 || status=1
# The 32-bit build cannot run here; building and linking it is its test.
build win32 || status=1

summaries=()
run_ctest() {
  local preset=$1 log="$root/build/ctest-$1.log"
  echo "== test $preset"
  ctest --preset "$preset" --timeout 600 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  summaries+=("$preset: $(grep -E 'tests passed, [0-9]+ tests failed' "$log" | tail -n 1)")
  return "$rc"
}

run_ctest host || status=1

lk_xvfb_start || status=1
lk_wine_start
run_ctest win64 || status=1

echo
echo "== summary"
printf '%s\n' "${summaries[@]}"
passed=0 failed=0
for s in "${summaries[@]}"; do
  if [[ $s =~ ([0-9]+)%\ tests\ passed,\ ([0-9]+)\ tests\ failed\ out\ of\ ([0-9]+) ]]; then
    failed=$((failed + BASH_REMATCH[2]))
    passed=$((passed + BASH_REMATCH[3] - BASH_REMATCH[2]))
  fi
done
[ "$status" -eq 0 ] || echo "a build or test step failed" >&2
echo "tests: $passed passed, $failed failed"
exit "$status"
