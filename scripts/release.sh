#!/usr/bin/env bash
# Builds what an operator ships, into dist/<version>/ with SHA-256 sums:
#   launcher-x64.exe, launcher-x86.exe   the launcher, patcher embedded
#   launcher-kit-x64.exe                 launcher-kit for Windows
#   launcher-kit-linux-x86_64            launcher-kit for Linux
# The Windows programs are static, self-contained exes; symbols stripped.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
mkdir -p build
for preset in release-win64 release-win32 release-linux; do
  cmake --preset "$preset" >"build/configure-$preset.log" 2>&1 || { cat "build/configure-$preset.log"; exit 1; }
  cmake --build --preset "$preset" --target launcher-kit $( [ "$preset" != release-linux ] && echo launcher )
done

version=$(sed -n 's/^project(launcher_suite VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
out="dist/$version"
rm -rf "$out"
mkdir -p "$out"
install -m 0755 build/release-win64/launcher/launcher.exe "$out/launcher-x64.exe"
install -m 0755 build/release-win32/launcher/launcher.exe "$out/launcher-x86.exe"
install -m 0755 build/release-win64/tools/launcher-kit.exe "$out/launcher-kit-x64.exe"
install -m 0755 build/release-linux/tools/launcher-kit "$out/launcher-kit-linux-x86_64"
x86_64-w64-mingw32-strip "$out/launcher-x64.exe" "$out/launcher-kit-x64.exe"
i686-w64-mingw32-strip "$out/launcher-x86.exe"
strip "$out/launcher-kit-linux-x86_64"
(cd "$out" && sha256sum -- * >SHA256SUMS)
echo "release $version in $(pwd)/$out:"
cat "$out/SHA256SUMS"
