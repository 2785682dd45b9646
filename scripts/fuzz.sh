#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and UBSan on) and runs each one for
# a given time, starting from the seed corpus in fuzz/corpus/ (real inputs: the example
# configuration, vantor-sim frames, numbers and a DED screen). A finding stops the script with
# the crashing input saved in build-fuzz/findings/.
# Usage: scripts/fuzz.sh [seconds per target, default 60] [target ...]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds=${1:-60}
shift || true
targets=("$@")
if ((${#targets[@]} == 0)); then
    targets=(FuzzConfigParser FuzzStreamDecoder FuzzNumberText FuzzDisplayText)
fi
"$root/scripts/install-deps.sh" --fuzz

build="$root/build-fuzz"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DGLIMROW_FUZZ=ON -DGLIMROW_BUILD_TESTS=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target "${targets[@]}"

declare -A seeds=([FuzzConfigParser]=config [FuzzStreamDecoder]=decoder
                  [FuzzNumberText]=numbers [FuzzDisplayText]=display)
mkdir -p "$build/findings"
for target in "${targets[@]}"; do
    corpus="$build/corpus/${seeds[$target]}"
    mkdir -p "$corpus"
    echo "== $target for $seconds s"
    QT_QPA_PLATFORM=offscreen "$build/bin/$target" -max_total_time="$seconds" \
        -rss_limit_mb=2048 -max_len=65536 -print_final_stats=1 \
        -artifact_prefix="$build/findings/$target-" \
        "$corpus" "$root/fuzz/corpus/${seeds[$target]}" 2>&1 | grep -E "^(stat::number_of_executed_units|Done|==.*ERROR|SUMMARY)" || true
    if compgen -G "$build/findings/$target-*" >/dev/null; then
        echo "$target found a failing input: $(ls "$build/findings/$target-"*)"
        exit 1
    fi
done
