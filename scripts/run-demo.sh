#!/usr/bin/env bash
# Installs what is needed, builds, and starts Glimrow on the example configuration
# (examples/Glimrow.cfg, with examples/ as the working directory).
# Without a display the window is drawn offscreen and saved as a picture instead.
# Usage: scripts/run-demo.sh
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"

cd "$root/examples"
if [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]]; then
    exec "$root/build/src/app/glimrow"
fi

pictures="$root/build/screenshots"
echo "No display found (DISPLAY and WAYLAND_DISPLAY are unset): starting offscreen."
QT_QPA_PLATFORM=offscreen "$root/build/src/app/glimrow" --screenshots "$pictures"
echo "Pictures of the window, one per tab, are in $pictures (tab0.png is the Control tab)."
echo "To see it live, run this command from a desktop session (or over ssh -X)."
