#!/usr/bin/env bash
# Builds the Debian package with cpack, unpacks it into a scratch root (as dpkg would install
# it, without needing root) and runs the installed program: --version, then a short offscreen
# start on the example configuration, with Pigrelay found where it was installed.
# Usage: check-package.sh BUILD_DIR
set -euo pipefail
build=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

(cd "$build" && cpack -G DEB -B "$scratch/out" >/dev/null)
package=$(ls "$scratch"/out/glimrow_*.deb)
[[ "$(dpkg-deb --field "$package" Package)" == glimrow ]]
dpkg-deb -x "$package" "$scratch/root"

program="$scratch/root/usr/bin/glimrow"
for file in usr/bin/glimrow usr/bin/vantor-sim usr/lib/glimrow/libPigrelay.so \
            usr/lib/glimrow/libEPICIO.so usr/share/applications/glimrow.desktop \
            usr/share/icons/hicolor/scalable/apps/glimrow.svg; do
    [[ -e "$scratch/root/$file" ]] || { echo "missing from the package: $file"; exit 1; }
done

export QT_QPA_PLATFORM=offscreen
# (Outputs are captured whole: grep -q ending a pipe early would fail it under pipefail.)
version=$("$program" --version)
[[ "$version" == *"glimrow 1.8.0"* ]] || { echo "--version says: $version"; exit 1; }
# The installed program must use its own libraries, not the build tree's.
libraries=$(ldd "$program")
[[ "$libraries" == *"$scratch/root/usr/bin/../lib/glimrow/libEPICIO.so"* ]] || {
    echo "the installed program does not find its EPICIO:"; echo "$libraries"; exit 1; }

mkdir "$scratch/run"
cp "$scratch/root/usr/share/doc/glimrow/Glimrow.cfg" "$scratch/run/"
sed -i 's/^DCOM\r$/TCP\r/' "$scratch/run/Glimrow.cfg"
(cd "$scratch/run" && TMPDIR="$scratch/run" "$program" --run-for 1 2>"$scratch/run/log")
grep -q "update cycles run" "$scratch/run/log"
echo "the package installs and the installed program starts"
