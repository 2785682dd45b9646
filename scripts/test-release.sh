#!/usr/bin/env bash
# Builds Glimrow against the Debian release this runs on and runs every test there: the amd64
# build and its suite, then the arm64 cross build with its suite under qemu; leaves the
# release's two packages in build/. On the machine itself the builds are build/ and
# build-arm64/; inside another release's root (scripts/in-release-root.sh) build-deb13/ and
# build-deb13-arm64/ (or -deb12), beside them in the same tree.
# Usage: scripts/test-release.sh [--fuzz]   (--fuzz: each fuzz target for a few seconds too)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
fuzz=false
[[ "${1:-}" == --fuzz ]] && fuzz=true
release=$(. /etc/os-release && echo "$VERSION_ID")
build="$root/build${GLIMROW_RELEASE_ROOT:+-deb$GLIMROW_RELEASE_ROOT}"

if $fuzz; then
    "$root/scripts/install-deps.sh" --fuzz --arm64
else
    "$root/scripts/install-deps.sh" --arm64
fi
echo "== Debian $release, amd64, in ${build#"$root/"}/"
# The benchmarks are built by scripts/run-benchmarks.sh, which runs them; leaving them out here
# keeps the test run well within CI's time.
cmake -S "$root" -B "$build" -DGLIMROW_WERROR=ON -DGLIMROW_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" -j2
QT_QPA_PLATFORM=offscreen ctest --test-dir "$build" --output-on-failure -j2
if $fuzz; then
    "$root/scripts/fuzz.sh" 5
fi
mkdir -p "$root/build"
cpack --config "$build/CPackConfig.cmake" -B "$root/build" >/dev/null
rm -rf "$root/build/_CPack_Packages"
echo "amd64 package: $(ls "$root"/build/glimrow_*~deb"$release"_amd64.deb)"
"$root/scripts/run-arm64-tests.sh"
