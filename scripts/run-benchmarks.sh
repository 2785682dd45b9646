#!/usr/bin/env bash
# Builds Glimrow and prints its speed figures, each beside its target: the benchmarks of bench/
# (decoder, update cycle, D-Bus traffic, the window while the D-Bus server is stopped,
# frame-to-lamp latency with the cycle on arrival and with the timer alone, the cycle over the
# fake Phidget libraries whose boards take 2 ms per
# USB round trip, the dashboard's cost to the cycle and its frame-to-page latency), then the CPU
# and memory of the running program (vantor-sim serving, offscreen, 30 s at 100 ms polling, 30 s
# at 1 ms polling, 30 s at 100 ms polling with three dashboard pages held open by
# glimrow_bench_pages, and 30 s at 100 ms polling from the stream with the cycle on arrival and
# without), its memory under a flood of reloads, and under hostile clients of the
# dashboard (glimrow_bench_hostile). The program runs without the
# Virtual Hardware window, whose drawing of nine boards adds about 1.5 % of a core at 100 ms
# polling.
# Usage: scripts/run-benchmarks.sh
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
if [[ -z "${GLIMROW_BENCH_BUILT:-}" ]]; then
    "$root/scripts/install-deps.sh"
    "$root/scripts/build.sh" -DGLIMROW_BUILD_BENCHMARKS=ON
    export GLIMROW_BENCH_BUILT=1
fi
if [[ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ]]; then
    exec dbus-run-session -- "$root/scripts/run-benchmarks.sh"
fi

work=$(mktemp -d)
trap 'kill "${simulator:-}" "${program:-}" 2>/dev/null || true; rm -rf "$work"' EXIT

echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs)"
"$root/build/bin/glimrow_benchmarks" --benchmark_repetitions=3 \
    --benchmark_report_aggregates_only=true >"$work/bench.txt" 2>&1 || { cat "$work/bench.txt"; exit 1; }

# The median line of a benchmark: its time (with unit), or one of its counters.
median() {
    awk -v name="$1_median" '$1 == name {print $2 " " $3}' "$work/bench.txt"
}
counter() {
    awk -v name="$1_median" '$1 == name {for (i = 1; i <= NF; ++i) if (index($i, "'"$2"'=") == 1) {
        split($i, pair, "="); printf "%.2f", pair[2]}}' "$work/bench.txt"
}

# CPU (percent of one core) and resident memory of the program over 30 s; with a second
# argument, that many dashboard pages connected; with a third, from the stream (vantor-sim's 20
# frames a second) rather than D-Bus, the cycle on arrival "on" or "off".
measure_program() {
    local polling=$1 pages=${2:-0} arrival=${3:-}
    local web=()
    ((pages > 0)) && web=(--web 18765)
    cp "$root/examples/Glimrow.cfg" "$work/"
    if [[ -n $arrival ]]; then
        sed -i 's/^DCOM\r$/TCP\r/' "$work/Glimrow.cfg"
        [[ $arrival == off ]] && sed -i '/^\[UPDATE-ON-ARRIVAL\]\r$/{n;s/TRUE/FALSE/}' "$work/Glimrow.cfg"
    fi
    cd "$work"
    TMPDIR="$work" QT_QPA_PLATFORM=offscreen "$root/build/bin/glimrow" \
        --polling "$polling" --run-for 45 "${web[@]}" >/dev/null 2>&1 &
    program=$!
    cd - >/dev/null
    local holder=
    if ((pages > 0)); then
        sleep 2
        "$root/build/bin/glimrow_bench_pages" 18765 "$pages" >/dev/null 2>&1 &
        holder=$!
    fi
    sleep 10
    local ticks_before ticks_after
    ticks_before=$(awk '{print $14 + $15}' "/proc/$program/stat")
    sleep 30
    ticks_after=$(awk '{print $14 + $15}' "/proc/$program/stat")
    rss=$(awk '/VmRSS/ {print int($2 / 1024)}' "/proc/$program/status")
    cpu=$(awk -v a="$ticks_before" -v b="$ticks_after" -v hz="$(getconf CLK_TCK)" \
        'BEGIN {printf "%.1f", (b - a) / hz / 30 * 100}')
    kill "$program" $holder 2>/dev/null || true
    wait "$program" $holder 2>/dev/null || true
}

# Reloads as fast as a page sends them, then 1,000 SIGHUPs in 5 s, on a configuration whose
# [PLED64-1] has 1000 lines: the program must run on, on the last file, with memory flat.
measure_reload_flood() {
    local config="$work/Glimrow.cfg"
    awk '/^\[PLED64-1\]/ {print; for (i = 0; i < 1000; ++i) printf "%d,Flood %d,1,1\r\n", i % 64, i;
        skip = 1; next} /^\[/ {skip = 0} !skip' "$root/examples/Glimrow.cfg" >"$config"
    cd "$work"
    XDG_RUNTIME_DIR="$work" QT_QPA_PLATFORM=offscreen "$root/build/bin/glimrow" --headless --web 18766 \
        >"$work/flood.log" 2>&1 &
    program=$!
    cd - >/dev/null
    sleep 3
    local rss_before
    rss_before=$(awk '/VmRSS/ {print $2}' "/proc/$program/status")
    "$root/build/bin/glimrow_bench_pages" 18766 reload 10000 >/dev/null 2>&1
    for ((hangup = 1; hangup <= 1000; ++hangup)); do
        ((hangup == 1000)) && sed -i 's/,Flood 999,/,Last file,/' "$config"
        kill -HUP "$program"
        sleep 0.005
    done
    sleep 5
    flood_rss=$(awk -v before="$rss_before" '/VmRSS/ {printf "%+.1f", ($2 - before) / 1024}' \
        "/proc/$program/status" 2>/dev/null || echo "ended")
    exec 3<>/dev/tcp/127.0.0.1/18766
    printf 'GET /api/state HTTP/1.1\r\nHost: 127.0.0.1:18766\r\n\r\n' >&3
    flood_last=$(timeout 2 cat <&3 | grep -c "Last file" || true)
    exec 3<&-
    kill "$program" 2>/dev/null || true
    wait "$program" 2>/dev/null || true
}

# A hostile client on the dashboard's network address, without the token: resident memory
# before, at the peak and after each kind, and how soon a real page gets in while 100 slow
# connections hold on.
measure_hostile_clients() {
    local port=18768 kind amount
    cp "$root/examples/Glimrow.cfg" "$work/"
    cd "$work"
    XDG_RUNTIME_DIR="$work" QT_QPA_PLATFORM=offscreen "$root/build/bin/glimrow" --headless \
        --web "0.0.0.0:$port" >"$work/hostile.log" 2>&1 &
    program=$!
    local token
    token=$("$root/build/bin/glimrow" --web-token | awk '{print $NF}')
    cd - >/dev/null
    sleep 3
    hostile_before=$(awk '/VmRSS/ {print int($2 / 1024)}' "/proc/$program/status")
    (peak=0; while kill -0 "$program" 2>/dev/null; do
        now=$(awk '/VmRSS/ {print int($2 / 1024)}' "/proc/$program/status" 2>/dev/null || echo 0)
        ((now > peak)) && peak=$now && echo "$peak" >"$work/peak"
        sleep 0.1
    done) &
    local sampler=$!
    for kind in "body 300" "chunked 200" "headers 50" "frames 100"; do
        # shellcheck disable=SC2086
        "$root/build/bin/glimrow_bench_hostile" $kind "$port" "glimrow-token=$token" \
            >>"$work/hostile.txt" 2>&1 || true
    done
    "$root/build/bin/glimrow_bench_hostile" slow "$port" 100 >>"$work/hostile.txt" 2>&1 &
    local slow=$! started
    started=$(date +%s%N)
    sleep 1 # the slow connections are in
    hostile_page=never
    local probe="exec 3<>/dev/tcp/127.0.0.1/$port && printf 'GET /api/state HTTP/1.1\r\nHost: \
127.0.0.1:$port\r\nCookie: glimrow-token=$token\r\nConnection: close\r\n\r\n' >&3 && head -c 12 <&3"
    while (($(date +%s%N) - started < 10000000000)); do
        if timeout 2 bash -c "$probe" 2>/dev/null | grep -q " 200"; then
            hostile_page=$(awk -v a="$started" -v b="$(date +%s%N)" \
                'BEGIN {printf "%.1f", (b - a) / 1e9}')
            break
        fi
        sleep 0.2
    done
    wait "$slow" || true
    sleep 4
    hostile_peak=$(cat "$work/peak")
    hostile_after=$(awk '/VmRSS/ {print int($2 / 1024)}' "/proc/$program/status")
    kill "$program" "$sampler" 2>/dev/null || true
    wait "$program" "$sampler" 2>/dev/null || true
}

"$root/build/bin/vantor-sim" --port 2727 >/dev/null 2>&1 &
simulator=$!
sleep 1
measure_program 100
cpu_default=$cpu
rss_default=$rss
measure_program 1
cpu_fast=$cpu
measure_program 100 3
cpu_pages=$cpu
measure_program 100 0 on
cpu_stream_on=$cpu
measure_program 100 0 off
cpu_stream_off=$cpu
measure_reload_flood
measure_hostile_clients

printf '\n%-62s %14s %14s\n' "Figure" "Measured" "Target"
row() { printf '%-62s %14s %14s\n' "$1" "$2" "$3"; }
row "Decoding one stream frame" "$(median DecodeFrame)" "< 1 us"
row "Framing and decoding one frame as it arrives" "$(median FrameAndDecode)" "<= 2 us"
row "Update cycle, screen updates on" "$(median UpdateCycle/1)" "<= 200 us"
row "Update cycle, screen updates off" "$(median UpdateCycle/0)" "<= 50 us"
row "Update cycle at 1 ms polling, not recording" "$(median UpdateCycleRecording/0/iterations:1000/manual_time)" ""
row "Update cycle at 1 ms polling, recording (--record)" "$(median UpdateCycleRecording/1/iterations:1000/manual_time)" "<= 1.1 x above"
row "D-Bus fill + snapshot of every property (vantor-sim)" "$(median FillAndSnapshot/real_time)" "<= 400 us"
row "D-Bus fill + each property read alone" "$(median FillAndEachPropertyAlone/real_time)" ">= 10 x above"
row "One D-Bus round trip, for comparison" "$(median SingleRoundTrip/real_time)" ""
row "Longest event-loop gap, D-Bus server stopped 3 s" "$(counter 'WindowWhileServerStopped/iterations:1/real_time' longest_gap_ms) ms" "<= 20 ms"
for polling in 10 100; do
    row "Frame leaving the stream to LED at $polling ms polling, on arrival, p99" \
        "$(counter "FrameToLed/$polling/1/iterations:300/manual_time" p99_ms) ms" "<= 2 ms"
    row "... the same, the timer alone ([UPDATE-ON-ARRIVAL] FALSE), p99" \
        "$(counter "FrameToLed/$polling/0/iterations:100/manual_time" p99_ms) ms" ""
done
row "Update cycle at 10 ms polling, no dashboard page" "$(median UpdateCycleWithPages/0/iterations:300/manual_time)" ""
row "Update cycle at 10 ms polling, 10 dashboard pages" "$(median UpdateCycleWithPages/1/iterations:300/manual_time)" "<= 1.1 x above"
row "Frame to dashboard page at 10 ms polling, p99" "$(counter 'FrameToPage/iterations:100/manual_time' p99_ms) ms" "<= 150 ms"
for library in 22 21; do
    row "Window time per cycle on USB boards (libphidget$library), all changing" \
        "$(median CycleOnLibraryBoards/1/$library/iterations:40/manual_time)" "<= 2 ms"
    row "Window time per cycle on USB boards (libphidget$library), none changing" \
        "$(median CycleOnLibraryBoards/0/$library/iterations:40/manual_time)" "<= 2 ms"
done
row "Light bit leaving the stream to both USB LED boards at 20 ms polling, on arrival, p99" \
    "$(counter 'LightBitToBoard/1/iterations:200/manual_time' p99_ms) ms" "<= 4 ms"
row "... the same, the timer alone, p99" \
    "$(counter 'LightBitToBoard/0/iterations:200/manual_time' p99_ms) ms" "<= 30 ms"
for rate in 20 50; do
    for arrival in 1 0; do
        name="ArrivalCost/$rate/$arrival/iterations:1/manual_time"
        row "USB boards, 100 ms polling, $rate frames/s, $( ((arrival)) && echo "on arrival" || echo "timer alone"): cycles/s, USB calls/s, window CPU" \
            "$(counter "$name" cycles_per_s)/$(counter "$name" usb_calls_per_s)/$(counter "$name" cpu_percent) %" ""
    done
done
row "CPU at 100 ms polling" "$cpu_default %" "<= 2 %"
row "CPU at 100 ms polling, 3 dashboard pages" "$cpu_pages %" "<= 1 point above"
row "CPU at 1 ms polling" "$cpu_fast %" "<= 30 %"
row "CPU at 100 ms polling, the stream at 20 frames/s, on arrival" "$cpu_stream_on %" "<= 3 %"
row "... the same, the timer alone" "$cpu_stream_off %" ">= on arrival / 1.5"
row "Resident memory" "$rss_default MB" "<= 100 MB"
row "Memory after 10,000 page reloads and 1,000 SIGHUPs" "$flood_rss MB" "<= +20 MB"
row "... the last file in use afterwards" "$( ((flood_last > 0)) && echo yes || echo no)" "yes"
row "Memory before / at peak / after hostile dashboard clients" \
    "$hostile_before/$hostile_peak/$hostile_after MB" "peak <= +20 MB"
row "A real page gets in while 100 slow connections hold on" "${hostile_page} s" "<= 5 s"
