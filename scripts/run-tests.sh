#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test against both Debian releases we ship
# for, 12 and 13: this machine's own natively (and each fuzz target for a few seconds), the
# other one in a root of its own (scripts/in-release-root.sh), each for amd64 and for arm64
# under qemu. Leaves the four packages in build/ and checks that each release's packages are
# refused by the other release's apt.
# Usage: scripts/run-tests.sh
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
release=$(. /etc/os-release && echo "$VERSION_ID")
case $release in
    12) other=13 ;;
    13) other=12 ;;
    *) echo "run-tests.sh: this is Debian ${release:-unknown}; Glimrow is built on Debian 12 or 13" >&2
       exit 1 ;;
esac

took() { echo "== $1 took $(( (SECONDS - $2) / 60 )) min $(( (SECONDS - $2) % 60 )) s"; }
start=$SECONDS
"$root/scripts/test-release.sh" --fuzz
took "Debian $release (amd64, fuzzing, arm64)" "$start"
start=$SECONDS
"$root/scripts/in-release-root.sh" "$other" scripts/test-release.sh
took "Debian $other in its root (the root, amd64, arm64)" "$start"

for architecture in amd64 arm64; do
    "$root/tests/package/check-refused.sh" "$root"/build/glimrow_*~deb"$other"_"$architecture".deb
    "$root/scripts/in-release-root.sh" "$other" \
        tests/package/check-refused.sh "$root"/build/glimrow_*~deb"$release"_"$architecture".deb
done
echo "Packages in build/:"
ls -1 "$root"/build/glimrow_*.deb
