#!/usr/bin/env bash
# Builds the program, the libraries and the whole test suite with AddressSanitizer (leak checks
# included) and UndefinedBehaviorSanitizer (clang), into build-asan/, and runs every test.
# Any finding fails the run. Leaks inside the system's libraries (fontconfig, D-Bus, Qt's
# plugin loading) are listed in scripts/lsan-suppressions.txt; nothing of ours is.
# Usage: scripts/run-sanitizers.sh
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/install-deps.sh" --fuzz

build="$root/build-asan"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DGLIMROW_SANITIZE=ON \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_init_order=1"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan-suppressions.txt:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure -j2 -E pigrelay_windows_dll
