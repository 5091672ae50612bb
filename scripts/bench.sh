#!/usr/bin/env bash
# Runs every benchmark of the build folder and prints their tables one after the other.
set -euo pipefail
cd "$(dirname "$0")/.."
# The benchmarks share the tests' sample-history helpers, so both are built.
cmake --preset default -DBUILD_TESTING=ON -DBRENVIK_BENCH=ON >/dev/null
cmake --build --preset default
for b in build/bench/bench_*; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b" --benchmark_repetitions=3 --benchmark_report_aggregates_only=true "$@"
done
# Five million draws, once: the large histories' growth beyond the million the program is built for.
echo "== bench_scale --huge"
build/bench/bench_scale --huge --benchmark_repetitions=1 "$@"
