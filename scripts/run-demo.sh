#!/usr/bin/env bash
# Installs what is needed, builds, and starts the demo: the stand-in data server vantor-sim
# beside Glimrow with virtual Phidget boards on the example configuration (examples/Glimrow.cfg,
# with examples/ as the working directory). Without a display the windows are drawn offscreen
# and saved as pictures.
# Usage: scripts/run-demo.sh
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

if [[ -z "${GLIMROW_DEMO_BUILT:-}" ]]; then
    "$root/scripts/install-deps.sh"
    "$root/scripts/build.sh"
    export GLIMROW_DEMO_BUILT=1
fi

# The flight-data object lives on the session bus; start a private one if there is none.
if [[ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ]]; then
    exec dbus-run-session -- "$root/scripts/run-demo.sh" "$@"
fi

"$root/build/bin/vantor-sim" &
simulator=$!
trap 'kill "$simulator" 2>/dev/null || true' EXIT
sleep 1
if ! kill -0 "$simulator" 2>/dev/null; then
    echo "vantor-sim did not start (is another one running?); Glimrow will show 'Vantor Inactive'." >&2
fi

cd "$root/examples"
if [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]]; then
    "$root/build/bin/glimrow" --virtual-hardware
    exit
fi

pictures="$root/build/screenshots"
echo "No display found (DISPLAY and WAYLAND_DISPLAY are unset): starting offscreen."
QT_QPA_PLATFORM=offscreen "$root/build/bin/glimrow" --virtual-hardware --screenshots "$pictures"
echo "Pictures of the window, one per tab (tab0.png is the Control tab), and of the virtual"
echo "hardware (virtual-hardware.png) are in $pictures."
echo "To see it live, run this command from a desktop session (or over ssh -X)."
