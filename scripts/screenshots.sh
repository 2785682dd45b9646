#!/usr/bin/env bash
# Builds Glimrow and saves a picture of each tab of its window, drawn offscreen with the
# example configuration, into docs/images/ (the README shows some of them).
# Usage: scripts/screenshots.sh [folder]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
folder="$(realpath -m "${1:-$root/docs/images}")"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
cd "$root/examples"
QT_QPA_PLATFORM=offscreen "$root/build/src/app/glimrow" --screenshots "$folder"
