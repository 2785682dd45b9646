#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test, then each fuzz target for a few
# seconds. Usage: scripts/run-tests.sh
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$root/build" --output-on-failure -j2
"$root/scripts/fuzz.sh" 5
