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
            usr/share/icons/hicolor/scalable/apps/glimrow.svg \
            usr/share/man/man1/glimrow.1.gz usr/share/man/man1/vantor-sim.1.gz \
            usr/share/doc/glimrow/copyright usr/share/doc/glimrow/changelog.gz \
            usr/share/doc/glimrow/examples/Glimrow.cfg \
            usr/lib/udev/rules.d/60-glimrow-phidgets.rules; do
    [[ -e "$scratch/root/$file" ]] || { echo "missing from the package: $file"; exit 1; }
done
for elf in usr/bin/glimrow usr/bin/vantor-sim usr/lib/glimrow/libPigrelay.so \
           usr/lib/glimrow/libEPICIO.so; do
    if readelf -S "$scratch/root/$elf" | grep -qE '\.(symtab|debug_info)'; then
        echo "not stripped: $elf"; exit 1
    fi
done
grep -q '^Exec=glimrow --user-config$' "$scratch/root/usr/share/applications/glimrow.desktop"
[[ $(dpkg-deb --field "$package" Description | wc -l) -gt 3 ]] || { echo "no long description"; exit 1; }

export QT_QPA_PLATFORM=offscreen
# (Outputs are captured whole: grep -q ending a pipe early would fail it under pipefail.)
version=$("$program" --version)
[[ "$version" == *"glimrow 1.8.0"* ]] || { echo "--version says: $version"; exit 1; }
# The installed program must use its own libraries, not the build tree's.
libraries=$(ldd "$program")
[[ "$libraries" == *"$scratch/root/usr/bin/../lib/glimrow/libEPICIO.so"* ]] || {
    echo "the installed program does not find its EPICIO:"; echo "$libraries"; exit 1; }

export XDG_RUNTIME_DIR="$scratch" HOME="$scratch/home"
mkdir -p "$HOME"
# Started from a shell in a folder without Glimrow.cfg: said on standard error, no box waits.
status=0
(cd "$HOME" && timeout 20 "$program" 2>"$scratch/log") || status=$?
[[ $status == 1 ]] || { echo "without Glimrow.cfg the program ended with status $status"; exit 1; }
grep -q "Missing Config" "$scratch/log"
# Started from the menu: ~/.config/glimrow made with the example in it, and run there.
sed -i 's/^DCOM\r$/TCP\r/' "$scratch/root/usr/share/doc/glimrow/examples/Glimrow.cfg"
(cd "$HOME" && "$program" --user-config --run-for 1 2>"$scratch/log")
[[ -f "$HOME/.config/glimrow/Glimrow.cfg" ]] && grep -q "was made in" "$scratch/log"
grep -q "update cycles run" "$scratch/log"
echo "the package installs and the installed program starts"
