#!/usr/bin/env bash
# A package made for another Debian release must be refused by this one's apt with an unmet
# dependency it names, never installed to crash later. Only simulated: nothing is installed.
# Usage: check-refused.sh PACKAGE.deb
set -euo pipefail
package=$1
release=$(. /etc/os-release && echo "$VERSION_ID")
architecture=$(dpkg-deb --field "$package" Architecture)
if [[ "$architecture" != "$(dpkg --print-architecture)" ]] &&
    ! dpkg --print-foreign-architectures | grep -qx "$architecture"; then
    echo "skipped: $architecture is not an architecture this system installs"
    exit 0
fi
if said=$(apt-get install --simulate --no-install-recommends "$package" 2>&1); then
    echo "Debian $release's apt would install $(basename "$package"):"
    echo "$said"
    exit 1
fi
if ! grep -q "unmet dependencies" <<<"$said"; then
    echo "Debian $release's apt refused $(basename "$package") without naming what is unmet:"
    echo "$said"
    exit 1
fi
echo "Debian $release refuses $(basename "$package"): $(grep -m1 'Depends:' <<<"$said" | sed 's/^ *//')"
