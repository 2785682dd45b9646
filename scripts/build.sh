#!/usr/bin/env bash
# Configures and builds Glimrow into build/ (two parallel jobs); options are passed to cmake.
# Usage: scripts/build.sh [-DNAME=VALUE ...]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cmake -S "$root" -B "$root/build" -DGLIMROW_WERROR=ON "$@" >/dev/null
cmake --build "$root/build" -j2
