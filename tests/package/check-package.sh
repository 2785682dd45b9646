#!/usr/bin/env bash
# Builds the Debian package with cpack, checks it as Debian would (its architecture, stripped
# programs, lintian, the user service's unit), unpacks it into a scratch root (as dpkg would
# install it, without needing root) and runs the installed program: --version, then short
# starts on the example configuration, with Pigrelay found where it was installed. A package
# for another machine (arm64, built here across) runs under qemu-user when binfmt_misc hands
# its programs to qemu; otherwise that part is skipped (77) and says why.
# Usage: check-package.sh BUILD_DIR PROCESSOR   (PROCESSOR: x86_64 or aarch64)
set -euo pipefail
build=$1
processor=${2:-$(uname -m)}
case $processor in
    x86_64) architecture=amd64 machine=x86-64 ;;
    aarch64) architecture=arm64 machine=aarch64 ;;
    *) echo "no Debian architecture known for $processor"; exit 1 ;;
esac
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

(cd "$build" && cpack -G DEB -B "$scratch/out" >/dev/null)
package=$(ls "$scratch"/out/glimrow_*.deb)
[[ "$(dpkg-deb --field "$package" Package)" == glimrow ]]
[[ "$(dpkg-deb --field "$package" Architecture)" == "$architecture" ]] || {
    echo "the package is for $(dpkg-deb --field "$package" Architecture), not $architecture"; exit 1; }
[[ "$(basename "$package")" == "glimrow_1.8.0_$architecture.deb" ]] || {
    echo "the package is named $(basename "$package")"; exit 1; }
dpkg-deb -x "$package" "$scratch/root"

program="$scratch/root/usr/bin/glimrow"
unit="$scratch/root/usr/lib/systemd/user/glimrow.service"
for file in usr/bin/glimrow usr/bin/vantor-sim usr/lib/glimrow/libPigrelay.so \
            usr/lib/glimrow/libEPICIO.so usr/share/applications/glimrow.desktop \
            usr/share/icons/hicolor/scalable/apps/glimrow.svg \
            usr/share/man/man1/glimrow.1.gz usr/share/man/man1/vantor-sim.1.gz \
            usr/share/doc/glimrow/copyright usr/share/doc/glimrow/changelog.gz \
            usr/share/doc/glimrow/examples/Glimrow.cfg \
            usr/lib/udev/rules.d/60-glimrow-phidgets.rules usr/lib/systemd/user/glimrow.service; do
    [[ -e "$scratch/root/$file" ]] || { echo "missing from the package: $file"; exit 1; }
done
for elf in usr/bin/glimrow usr/bin/vantor-sim usr/lib/glimrow/libPigrelay.so \
           usr/lib/glimrow/libEPICIO.so; do
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

export QT_QPA_PLATFORM=offscreen
# (Outputs are captured whole: grep -q ending a pipe early would fail it under pipefail.)
version=$("$program" --version)
[[ "$version" == *"glimrow 1.8.0"* ]] || { echo "--version says: $version"; exit 1; }
# The installed program must use its own libraries, not the build tree's. (The loader lists
# them itself: the host's ldd cannot read another machine's programs.)
libraries=$(LD_TRACE_LOADED_OBJECTS=1 "$program")
[[ "$libraries" == *"$scratch/root/usr/bin/../lib/glimrow/libEPICIO.so"* ]] || {
    echo "the installed program does not find its EPICIO:"; echo "$libraries"; exit 1; }

export XDG_RUNTIME_DIR="$scratch" HOME="$scratch/home"
mkdir -p "$HOME"
# Started from a shell in a folder without Glimrow.cfg: said on standard error, no box waits.
status=0
(cd "$HOME" && timeout 20 "$program" 2>"$scratch/log") || status=$?
[[ $status == 1 ]] || { echo "without Glimrow.cfg the program ended with status $status"; exit 1; }
grep -q "Missing Config" "$scratch/log"
# Started as the service does: ~/.config/glimrow made with the example in it, and run there.
sed -i 's/^DCOM\r$/TCP\r/' "$scratch/root/usr/share/doc/glimrow/examples/Glimrow.cfg"
(cd "$HOME" && "$program" --headless --user-config --run-for 1 2>"$scratch/log")
[[ -f "$HOME/.config/glimrow/Glimrow.cfg" ]] && grep -q "was made in" "$scratch/log"
grep -q "systemctl --user reload glimrow" "$scratch/log"
grep -q "update cycles run" "$scratch/log"
echo "the $architecture package installs and the installed program starts"
