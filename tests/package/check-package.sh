#!/usr/bin/env bash
# Builds the Debian package with cpack, checks it as the Debian release it is built on would (its
# name and architecture, its dependencies, stripped programs, that release's lintian, the user
# service's unit), unpacks it into a scratch root (as dpkg would install it, without needing
# root) and runs the installed programs: every symbol bound at once against this release's
# libraries, then short starts on the example configuration, with Pigrelay found where it was
# installed and no display plugin needed without the window. A package
# for another machine (arm64, built here across) runs under qemu-user when binfmt_misc hands
# its programs to qemu; otherwise that part is skipped (77) and says why.
# Usage: check-package.sh BUILD_DIR PROCESSOR   (PROCESSOR: x86_64 or aarch64)
set -euo pipefail
build=$1
processor=${2:-$(uname -m)}
case $processor in
    x86_64) architecture=amd64 machine=x86-64 triplet=x86_64-linux-gnu ;;
    aarch64) architecture=arm64 machine=aarch64 triplet=aarch64-linux-gnu ;;
    *) echo "no Debian architecture known for $processor"; exit 1 ;;
esac
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

release=$(. /etc/os-release && echo "$VERSION_ID")
(cd "$build" && DEB_HOST_ARCH=$architecture cpack -G DEB -B "$scratch/out" >/dev/null)
package=$(ls "$scratch"/out/glimrow_*.deb)
[[ "$(dpkg-deb --field "$package" Package)" == glimrow ]]
[[ "$(dpkg-deb --field "$package" Architecture)" == "$architecture" ]] || {
    echo "the package is for $(dpkg-deb --field "$package" Architecture), not $architecture"; exit 1; }
[[ "$(basename "$package")" == "glimrow_1.8.0~deb${release}_$architecture.deb" ]] || {
    echo "the package is named $(basename "$package")"; exit 1; }

# Its dependencies are this release's libraries as dpkg-shlibdeps found them, and the window's
# display plugins only recommended. A build against Qt HTTP Server 6.4 must not install beside
# a later one, whose interface differs.
depends=$(dpkg-deb --field "$package" Depends)
recommends=$(dpkg-deb --field "$package" Recommends)
for library in libqt6core6 libqt6httpserver6 libqt6websockets6 libqt6dbus6 libqrencode4 libc6; do
    [[ "$depends" =~ (^|, )$library(t64)?\ \(\>=\  ]] || {
        echo "the package does not depend on a version of $library: $depends"; exit 1; }
done
[[ "$depends" != *qt6-qpa-plugins* && "$recommends" == *qt6-qpa-plugins* ]] || {
    echo "qt6-qpa-plugins must be recommended, not required: Depends: $depends"; exit 1; }
httpserver=$(dpkg-query -W -f='${Version}' "libqt6httpserver6:$architecture" 2>/dev/null ||
             dpkg-query -W -f='${Version}' "libqt6httpserver6t64:$architecture")
if dpkg --compare-versions "$httpserver" lt 6.5; then
    [[ "$depends" == *"libqt6httpserver6 (<< 6.5)"* ]] || {
        echo "built against Qt HTTP Server $httpserver without ruling out 6.5 and later: $depends"
        exit 1; }
fi
dpkg-deb -x "$package" "$scratch/root"

program="$scratch/root/usr/bin/glimrow"
unit="$scratch/root/usr/lib/systemd/user/glimrow.service"
for file in usr/bin/glimrow usr/bin/vantor-sim usr/lib/$triplet/glimrow/libPigrelay.so \
            usr/lib/$triplet/glimrow/libEPICIO.so usr/share/applications/glimrow.desktop \
            usr/share/icons/hicolor/scalable/apps/glimrow.svg \
            usr/share/man/man1/glimrow.1.gz usr/share/man/man1/vantor-sim.1.gz \
            usr/share/doc/glimrow/copyright usr/share/doc/glimrow/changelog.gz \
            usr/share/doc/glimrow/examples/Glimrow.cfg \
            usr/share/metainfo/org.glimrow.Glimrow.metainfo.xml \
            usr/lib/udev/rules.d/60-glimrow-phidgets.rules usr/lib/systemd/user/glimrow.service; do
    [[ -e "$scratch/root/$file" ]] || { echo "missing from the package: $file"; exit 1; }
done
for elf in usr/bin/glimrow usr/bin/vantor-sim usr/lib/$triplet/glimrow/libPigrelay.so \
           usr/lib/$triplet/glimrow/libEPICIO.so; do
    kind=$(file -b "$scratch/root/$elf")
    [[ "$kind" == *"$machine"* && "$kind" == *", stripped"* ]] || {
        echo "$elf is not a stripped $machine file: $kind"; exit 1; }
    if readelf -S "$scratch/root/$elf" | grep -qE '\.(symtab|debug_info)'; then
        echo "not stripped: $elf"; exit 1
    fi
done
grep -q '^Exec=glimrow --user-config$' "$scratch/root/usr/share/applications/glimrow.desktop"
[[ $(dpkg-deb --field "$package" Description | wc -l) -gt 3 ]] || { echo "no long description"; exit 1; }

# Debian's own checks: no error and no warning.
if ! lintian_said=$(lintian --fail-on error,warning "$package" 2>&1); then
    echo "lintian:"; echo "$lintian_said"; exit 1
fi

# The unit as systemd reads it (its program is the unpacked one, as no glimrow is installed
# here); where systemd cannot run, its keys.
grep -qx 'ExecStart=/usr/bin/glimrow --headless --user-config' "$unit"
grep -qx 'ExecReload=/bin/kill -HUP $MAINPID' "$unit"
grep -qx 'Restart=on-failure' "$unit"
grep -qx 'RestartPreventExitStatus=3' "$unit"
grep -qx 'WantedBy=default.target' "$unit"
mkdir -m 700 "$scratch/run"
sed "s|/usr/bin/glimrow|$program|" "$unit" >"$scratch/glimrow.service"
if command -v systemd-analyze >/dev/null &&
    XDG_RUNTIME_DIR="$scratch/run" systemd-analyze --user --man=no verify /dev/null 2>/dev/null; then
    verified=$(XDG_RUNTIME_DIR="$scratch/run" systemd-analyze --user --man=no verify \
        "$scratch/glimrow.service" 2>&1) || { echo "$verified"; exit 1; }
    [[ -z "$verified" ]] || { echo "systemd-analyze verify: $verified"; exit 1; }
else
    echo "systemd-analyze cannot run here: the unit's keys were checked instead"
fi

if [[ "$architecture" != "$(dpkg --print-architecture)" ]]; then
    binfmt=/proc/sys/fs/binfmt_misc/qemu-$processor
    if ! head -1 "$binfmt" 2>/dev/null | grep -qx enabled; then
        echo "skipped: the installed $architecture programs cannot start here ($binfmt is not an" \
             "enabled binfmt_misc entry)"
        exit 77
    fi
fi

# Every symbol bound at start-up rather than at its first use: a symbol this release's libraries
# lack fails here, not at the first request of a browser.
for installed in "$program" "$scratch/root/usr/bin/vantor-sim"; do
    version=$(LD_BIND_NOW=1 "$installed" --version 2>&1) || {
        echo "LD_BIND_NOW=1 $(basename "$installed") --version failed: $version"; exit 1; }
    [[ "$version" == *" 1.8.0"* ]] || { echo "--version says: $version"; exit 1; }
done

# (Outputs are captured whole: grep -q ending a pipe early would fail it under pipefail.)
# The installed program must use its own libraries, not the build tree's. (The loader lists
# them itself: the host's ldd cannot read another machine's programs.)
libraries=$(LD_TRACE_LOADED_OBJECTS=1 "$program")
[[ "$libraries" == *"$scratch/root/usr/bin/../lib/$triplet/glimrow/libEPICIO.so"* ]] || {
    echo "the installed program does not find its EPICIO:"; echo "$libraries"; exit 1; }

export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$scratch" HOME="$scratch/home"
mkdir -p "$HOME"
# Started from a shell in a folder without Glimrow.cfg: said on standard error, no box waits.
status=0
(cd "$HOME" && timeout 20 "$program" 2>"$scratch/log") || status=$?
[[ $status == 1 ]] || { echo "without Glimrow.cfg the program ended with status $status"; exit 1; }
grep -q "Missing Config" "$scratch/log"
# Started as the service does: ~/.config/glimrow made with the example in it, and run there. A
# platform no plugin provides: the service must not need the window's display plugins.
sed -i 's/^DCOM\r$/TCP\r/' "$scratch/root/usr/share/doc/glimrow/examples/Glimrow.cfg"
# Checked before the first start, on a fresh account: made from the example, and found good.
"$program" --check-config --user-config 2>"$scratch/log"
grep -q "was made in" "$scratch/log"
rm "$HOME/.config/glimrow/Glimrow.cfg"
(cd "$HOME" && QT_QPA_PLATFORM=not-installed "$program" --headless --user-config --run-for 1 \
     2>"$scratch/log")
[[ -f "$HOME/.config/glimrow/Glimrow.cfg" ]] && grep -q "was made in" "$scratch/log"
grep -q "systemctl --user reload glimrow" "$scratch/log"
grep -q "update cycles run" "$scratch/log"
echo "the $architecture package installs and the installed program starts"
