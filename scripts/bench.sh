#!/usr/bin/env bash
# Builds the benchmarks in release mode and runs them.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DMIROVELL_BUILD_TESTS=OFF -DMIROVELL_BUILD_BENCH=ON >/dev/null
cmake --build build/bench
for b in build/bench/bench/bench_*; do
    [[ -f "$b" && -x "$b" ]] || continue
    echo "== $(basename "$b")"
    "$b"
done
