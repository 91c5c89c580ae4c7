#!/usr/bin/env bash
# Installs what is missing, builds, and starts Mirovell (arguments go to the program).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh --run-only
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DMIROVELL_BUILD_TESTS=OFF >/dev/null
cmake --build build/release --target mirovell
exec build/release/mirovell "$@"
