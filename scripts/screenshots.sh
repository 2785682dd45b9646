#!/usr/bin/env bash
# Builds Glimrow and saves a picture of each tab of its window and of the Virtual Hardware
# window, drawn offscreen with the example configuration and vantor-sim serving, into
# docs/images/ (the README shows some of them).
# Usage: scripts/screenshots.sh [folder]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
folder="$(realpath -m "${1:-$root/docs/images}")"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
if [[ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ]]; then
    exec dbus-run-session -- "$root/scripts/screenshots.sh" "$folder"
fi
cd "$root/examples"
"$root/build/bin/vantor-sim" --no-tcp &
simulator=$!
trap 'kill "$simulator" 2>/dev/null || true' EXIT
QT_QPA_PLATFORM=offscreen "$root/build/bin/glimrow" --virtual-hardware --screenshots "$folder"
