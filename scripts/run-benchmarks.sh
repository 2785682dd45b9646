#!/usr/bin/env bash
# Builds Glimrow and prints its speed figures, each beside its target: the benchmarks of bench/
# (decoder, update cycle, D-Bus traffic, frame-to-lamp latency), then the CPU and memory of the
# running program (vantor-sim serving, virtual hardware, offscreen, 30 s at 100 ms polling and
# 30 s at 1 ms polling).
# Usage: scripts/run-benchmarks.sh
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
if [[ -z "${GLIMROW_BENCH_BUILT:-}" ]]; then
    "$root/scripts/install-deps.sh"
    "$root/scripts/build.sh"
    export GLIMROW_BENCH_BUILT=1
fi
if [[ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ]]; then
    exec dbus-run-session -- "$root/scripts/run-benchmarks.sh"
fi

work=$(mktemp -d)
trap 'kill "${simulator:-}" "${program:-}" 2>/dev/null || true; rm -rf "$work"' EXIT

echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs)"
"$root/build/bin/glimrow_benchmarks" --benchmark_repetitions=3 \
    --benchmark_report_aggregates_only=true --benchmark_out="$work/bench.csv" \
    --benchmark_out_format=csv >/dev/null 2>&1

# name,iterations,real_time,cpu_time,time_unit,...,label,...counters
median() {
    awk -F, -v name="\"$1_median\"" -v column="$2" '$1 == name {print $column}' "$work/bench.csv"
}
counter() {
    local index
    index=$(head -n 20 "$work/bench.csv" | grep -m1 '^name,' | tr ',' '\n' | grep -nx "\"\?$2\"\?" | cut -d: -f1)
    awk -F, -v name="\"$1_median\"" -v column="$index" '$1 == name {print $column}' "$work/bench.csv"
}

# CPU (percent of one core) and resident memory of the program over 30 s.
measure_program() {
    local polling=$1
    cp "$root/examples/Glimrow.cfg" "$work/"
    (cd "$work" && TMPDIR="$work" QT_QPA_PLATFORM=offscreen "$root/build/bin/glimrow" \
        --virtual-hardware --polling "$polling" --run-for 45 2>/dev/null) &
    program=$!
    sleep 10
    local ticks_before ticks_after
    ticks_before=$(awk '{print $14 + $15}' "/proc/$program/stat")
    sleep 30
    ticks_after=$(awk '{print $14 + $15}' "/proc/$program/stat")
    rss=$(awk '/VmRSS/ {print int($2 / 1024)}' "/proc/$program/status")
    cpu=$(awk -v a="$ticks_before" -v b="$ticks_after" -v hz="$(getconf CLK_TCK)" \
        'BEGIN {printf "%.1f", (b - a) / hz / 30 * 100}')
    kill "$program" 2>/dev/null || true
    wait "$program" 2>/dev/null || true
}

"$root/build/bin/vantor-sim" --port 2727 >/dev/null 2>&1 &
simulator=$!
sleep 1
measure_program 100
cpu_default=$cpu
rss_default=$rss
measure_program 1
cpu_fast=$cpu

printf '\n%-62s %14s %14s\n' "Figure" "Measured" "Target"
row() { printf '%-62s %14s %14s\n' "$1" "$2" "$3"; }
row "Decoding one stream frame (ns)" "$(median DecodeFrame 3)" "< 1000"
row "Update cycle, screen updates on (us)" "$(median UpdateCycle/1 3)" "<= 200"
row "Update cycle, screen updates off (us)" "$(median UpdateCycle/0 3)" "<= 50"
row "D-Bus fill + snapshot of every property (us)" "$(median FillAndSnapshot/real_time 3)" "<= 400"
row "D-Bus fill + each property read alone (us)" "$(median FillAndEachPropertyAlone/real_time 3)" ">= 10 x above"
row "One D-Bus round trip (us)" "$(median SingleRoundTrip/real_time 3)" ""
row "Frame to LED at 10 ms polling, p99 (ms)" "$(counter 'FrameToLed/iterations:300/manual_time' p99_ms)" "<= 11"
row "CPU at 100 ms polling (% of one core)" "$cpu_default" "<= 2"
row "CPU at 1 ms polling (% of one core)" "$cpu_fast" "<= 30"
row "Resident memory (MB)" "$rss_default" "<= 100"
