#!/usr/bin/env bash
# Builds Glimrow and prints its speed benchmarks as a table. Usage: scripts/run-benchmarks.sh
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
"$root/build/bin/glimrow_benchmarks" --benchmark_repetitions=3 --benchmark_report_aggregates_only=true
