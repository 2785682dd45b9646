#!/usr/bin/env bash
# Installs the Debian packages Glimrow needs to build, test and run, on Debian 12 or 13 (their
# names differ only where a version is in the name). Safe to run again: packages already
# present are left alone.
# Usage: scripts/install-deps.sh [--fuzz] [--arm64]
#   --fuzz:  also clang and its sanitizer runtimes
#   --arm64: also the cross compiler, qemu-user and the arm64 libraries for the arm64 build
set -euo pipefail

packages=(
    build-essential cmake pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev
    qt6-httpserver-dev qt6-websockets-dev chromium
    libqrencode-dev zbar-tools
    fonts-liberation
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    lintian file systemd
    g++-mingw-w64-i686 binutils-mingw-w64-i686
    dbus
)

# The sanitizer runtimes are named for the release's clang.
case $(. /etc/os-release && echo "$VERSION_ID") in
    12) clang_version=14 ;;
    *) clang_version=19 ;;
esac

arm64=false
for option in "$@"; do
    case $option in
        --fuzz) packages+=(clang "libclang-rt-$clang_version-dev") ;;
        # The arm64 libraries sit beside the amd64 ones (multiarch). Never qt6-base-dev-tools:arm64
        # or dbus-daemon:arm64: they would replace the host's moc, uic, qdbusxml2cpp and dbus.
        --arm64)
            arm64=true
            packages+=(crossbuild-essential-arm64 qemu-user-static binfmt-support file
                       qt6-base-dev:arm64 qt6-httpserver-dev:arm64 qt6-websockets-dev:arm64
                       libgl-dev:arm64 libgtest-dev:arm64 libgmock-dev:arm64
                       libbenchmark-dev:arm64 qt6-qpa-plugins:arm64 libqrencode-dev:arm64) ;;
        *) echo "install-deps.sh: unknown option $option" >&2; exit 2 ;;
    esac
done

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

if ((${#missing[@]} == 0)); then
    exit 0
fi

sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then
    sudo_cmd=(sudo)
fi
echo "Installing: ${missing[*]}"
if $arm64 && ! dpkg --print-foreign-architectures | grep -qx arm64; then
    "${sudo_cmd[@]}" dpkg --add-architecture arm64
fi
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
