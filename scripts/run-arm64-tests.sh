#!/usr/bin/env bash
# The cockpit computer's build: cross-compiles Glimrow for arm64 (64-bit Raspberry Pi OS) against
# the arm64 libraries of the Debian release this runs on into build-arm64/ (build-deb13-arm64/
# inside another release's root), runs the whole test suite there under qemu-user, and makes
# build/glimrow_<version>~deb<release>_arm64.deb beside the amd64 package.
# Tests that start the arm64 programs as processes need binfmt_misc to hand them to qemu; this
# script registers it when it can (as root), and those tests say "skipped" when it could not.
# Usage: scripts/run-arm64-tests.sh
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build${GLIMROW_RELEASE_ROOT:+-deb$GLIMROW_RELEASE_ROOT}-arm64"
"$root/scripts/install-deps.sh" --arm64

sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then
    sudo_cmd=(sudo -n)
fi
binfmt=/proc/sys/fs/binfmt_misc/qemu-aarch64
if ! head -1 "$binfmt" 2>/dev/null | grep -qx enabled; then
    if [[ ! -e /proc/sys/fs/binfmt_misc/register ]]; then
        "${sudo_cmd[@]}" mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc 2>/dev/null || true
    fi
    "${sudo_cmd[@]}" /lib/systemd/systemd-binfmt /usr/lib/binfmt.d/qemu-aarch64.conf \
        2>/dev/null || true
    if ! head -1 "$binfmt" 2>/dev/null | grep -qx enabled; then
        echo "binfmt_misc cannot hand arm64 programs to qemu here (no root, or no binfmt_misc):" \
             "the tests that start them are skipped"
    fi
fi

# Without debug information (the package is stripped anyway) and without the benchmarks, which
# are run on the build machine: the cross build is the longest step of CI.
cmake -S "$root" -B "$build" -DGLIMROW_WERROR=ON -DGLIMROW_BUILD_BENCHMARKS=OFF \
      -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -DNDEBUG" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -DNDEBUG" \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/aarch64-linux-gnu.cmake" >/dev/null
cmake --build "$build" -j2
QT_QPA_PLATFORM=offscreen ctest --test-dir "$build" --output-on-failure -j2
# dpkg-shlibdeps finds the arm64 libraries by the architecture it is told.
mkdir -p "$root/build"
DEB_HOST_ARCH=arm64 cpack --config "$build/CPackConfig.cmake" -B "$root/build" >/dev/null
rm -rf "$root/build/_CPack_Packages"
release=$(. /etc/os-release && echo "$VERSION_ID")
echo "arm64 package: $(ls "$root"/build/glimrow_*~deb"$release"_arm64.deb)"
