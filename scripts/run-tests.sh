#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test, then each fuzz target for a few
# seconds; then the same for the arm64 build under qemu, leaving both Debian packages in build/.
# Usage: scripts/run-tests.sh
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# Everything at once: one package-list update on a fresh machine, not three.
"$root/scripts/install-deps.sh" --fuzz --arm64
# The benchmarks are built by scripts/run-benchmarks.sh, which runs them; leaving them out here
# keeps the test run well within CI's time.
"$root/scripts/build.sh" -DGLIMROW_BUILD_BENCHMARKS=OFF
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$root/build" --output-on-failure -j2
"$root/scripts/fuzz.sh" 5
(cd "$root/build" && cpack -G DEB >/dev/null)
echo "amd64 package: $(ls "$root"/build/glimrow_*_amd64.deb)"
"$root/scripts/run-arm64-tests.sh"
