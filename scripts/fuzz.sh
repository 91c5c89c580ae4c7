#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each briefly on its checked-in seed corpus.
# FUZZ_SECONDS sets how long each runs (default 20).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-20}
cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
      -DMIROVELL_FUZZ=ON -DMIROVELL_BUILD_TESTS=OFF >/dev/null
cmake --build build/fuzz --target $(sed -n 's/^mirovell_fuzzer(\([a-z_]*\) .*/\1/p' fuzz/CMakeLists.txt)
failed=0
for target in $(sed -n 's/^mirovell_fuzzer(\([a-z_]*\) .*/\1/p' fuzz/CMakeLists.txt); do
    corpus=fuzz/corpus/${target#fuzz_}
    work=$(mktemp -d)
    cp -r "$corpus"/. "$work"/
    echo "== $target ($seconds s)"
    if ! build/fuzz/fuzz/$target -max_total_time="$seconds" -print_final_stats=1 -timeout=10 -rss_limit_mb=2048 \
            "$work" 2>"$work.log"; then
        cat "$work.log"
        failed=1
    fi
    grep -E '^stat::(number_of_executed_units|average_exec_per_sec)|^#[0-9]+.*DONE' "$work.log" || true
    rm -rf "$work" "$work.log"
done
exit $failed
