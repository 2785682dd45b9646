#!/usr/bin/env bash
# Runs a command inside a root of another Debian release (12 "bookworm" or 13 "trixie"), with
# this source tree at the same path, so that Glimrow is built and tested against that release's
# own compiler and libraries. The root is made with debootstrap from the Debian archive this
# machine's apt already uses, kept in /var/cache/glimrow/ between runs, and made afresh when it
# is missing, older than a week, or made to an older recipe (raise `recipe` when how it is
# made changes). What it needs
# inside is installed by scripts/install-deps.sh, run there as here.
# Needs root (or sudo without a password): debootstrap, chroot and mounts do.
# Usage: scripts/in-release-root.sh 12|13 COMMAND [ARG...]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
release=${1:?which Debian release: 12 or 13}
shift
case $release in
    12) codename=bookworm ;;
    13) codename=trixie ;;
    *) echo "in-release-root.sh: no Debian release $release (12 or 13)" >&2; exit 2 ;;
esac
if [[ $(id -u) -ne 0 ]]; then
    exec sudo -n "$0" "$release" "$@"
fi

cache=/var/cache/glimrow
system="$cache/debian$release"
mkdir -p "$cache"
# One run at a time in a root: a second waits rather than remaking it under the first.
exec 9>"$system.lock"
flock 9

# The archive apt uses here (deb822 sources or the one-line form), and no other.
mirror=$(sed -n 's/^URIs: *\([^ ]*\).*/\1/p' /etc/apt/sources.list.d/*.sources 2>/dev/null |
         grep -v security | head -1 || true)
if [[ -z "$mirror" ]]; then
    mirror=$(awk '$1 == "deb" && $0 !~ /security/ {for (i = 2; i <= NF; i++) if ($i ~ /^[a-z]+:\/\//) {print $i; exit}}' \
             /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null || true)
fi
mirror=${mirror:-http://deb.debian.org/debian}

recipe=1
stamp="$system/etc/glimrow-root"
if [[ ! -f "$stamp" || "$(cat "$stamp")" != "$recipe" ]] ||
    [[ -n "$(find "$stamp" -mtime +7)" ]]; then
    command -v debootstrap >/dev/null ||
        env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends debootstrap
    echo "Making a Debian $release root in $system from $mirror"
    rm -rf "$system.new"
    debootstrap --variant=minbase "$codename" "$system.new" "$mirror" >"$cache/debootstrap.log" ||
        { tail -20 "$cache/debootstrap.log"; exit 1; }
    echo "deb $mirror $codename main" >"$system.new/etc/apt/sources.list"
    echo "deb $mirror $codename-updates main" >>"$system.new/etc/apt/sources.list"
    echo "$recipe" >"$system.new/etc/glimrow-root"
    rm -rf "$system"
    mv "$system.new" "$system"
fi
cp /etc/resolv.conf "$system/etc/resolv.conf" 2>/dev/null || true
mkdir -p "$system$root"

# The mounts live in a namespace of their own, so they go away with the command, whatever way
# it ends. /proc whole, binfmt_misc included: arm64 programs are handed to the host's qemu.
export GLIMROW_RELEASE_ROOT=$release
exec unshare --mount --propagation private -- bash -c '
    set -e
    system=$1 root=$2
    shift 2
    mount --rbind /proc "$system/proc"
    mount --rbind /sys "$system/sys"
    mount --rbind /dev "$system/dev"
    mount --bind "$root" "$system$root"
    cd /
    exec chroot "$system" env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        HOME=/root LANG=C.UTF-8 TERM="${TERM:-dumb}" DEBIAN_FRONTEND=noninteractive \
        GLIMROW_RELEASE_ROOT="$GLIMROW_RELEASE_ROOT" \
        bash -c "cd \"\$0\" && exec \"\$@\"" "$root" "$@"
' bash "$system" "$root" "$@"
