#!/usr/bin/env bash
# Builds the fuzz targets with clang in their own build folder and runs each briefly on its seeds.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-12}
cmake -S fuzz -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build/fuzz -j "$(nproc)" >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for target in build/fuzz/fuzz_*; do
    name=$(basename "$target" | sed 's/^fuzz_//')
    mkdir -p "$work/$name"
    echo "fuzzing $name for ${seconds}s"
    # new finds go to the scratch folder; the checked-in seeds stay as they are
    "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=0 \
              -artifact_prefix="$work/" "$work/$name" "fuzz/corpus/$name" 2>"$work/$name.log" || {
        tail -40 "$work/$name.log"
        exit 1
    }
done
