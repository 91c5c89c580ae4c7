#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
jobs=$(nproc)
werror=OFF
[[ -n "${CI:-}" ]] && werror=ON
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMIROVELL_WERROR=$werror >/dev/null
cmake --build build/test -j "$jobs"
(cd build/test && ctest --output-on-failure -j "$jobs")
bash scripts/fuzz.sh
