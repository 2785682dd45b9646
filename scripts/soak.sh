#!/usr/bin/env bash
# Soak run: vantor-sim at 50 frames a second and Glimrow with virtual hardware on the example
# configuration at 1 ms polling, offscreen, for a given time. Reports the program's resident
# memory after a warm-up and at the end, and the update cycles run; fails when memory grew by
# more than 1 MB.
# Usage: scripts/soak.sh [minutes, default 10]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
minutes=${1:-10}
if [[ -z "${GLIMROW_SOAK_BUILT:-}" ]]; then
    "$root/scripts/install-deps.sh"
    "$root/scripts/build.sh"
    export GLIMROW_SOAK_BUILT=1
fi
if [[ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ]]; then
    exec dbus-run-session -- "$root/scripts/soak.sh" "$minutes"
fi

work=$(mktemp -d)
trap 'kill "${simulator:-}" "${program:-}" 2>/dev/null || true; rm -rf "$work"' EXIT
cp "$root/examples/Glimrow.cfg" "$work/"
port=27$((RANDOM % 90 + 10))
sed -i "s/^2727\r$/$port\r/" "$work/Glimrow.cfg"

"$root/build/bin/vantor-sim" --port "$port" --rate 50 >/dev/null &
simulator=$!
sleep 1
warmup=10
seconds=$((minutes * 60))
cd "$work"
TMPDIR="$work" QT_QPA_PLATFORM=offscreen "$root/build/bin/glimrow" --virtual-hardware \
    --polling 1 --run-for $((seconds + warmup)) 2>"$work/glimrow.log" &
program=$!

rss() { awk '/VmRSS/ {print $2}' "/proc/$program/status"; }
sleep "$warmup"
start=$(rss)
sleep "$seconds"
end=$(rss)
wait "$program" || true
cycles=$(grep -o '[0-9]* update cycles' "$work/glimrow.log" || echo "unknown")
echo "Soak of $minutes min at 1 ms polling, 50 frames/s:"
echo "  resident memory after ${warmup}s: ${start} kB, at the end: ${end} kB (growth $((end - start)) kB)"
echo "  ${cycles}"
if ((end - start > 1024)); then
    echo "Memory grew by more than 1 MB."
    exit 1
fi
