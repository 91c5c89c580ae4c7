#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
# VLC refuses to run as root: the tests that start the real player run it as this ordinary user.
if [[ $(id -u) -eq 0 ]] && ! id -u mirovell-test >/dev/null 2>&1; then
    useradd --system --no-create-home --shell /usr/sbin/nologin mirovell-test
fi
jobs=$(nproc)
werror=OFF
[[ -n "${CI:-}" ]] && werror=ON
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMIROVELL_WERROR=$werror >/dev/null
cmake --build build/test -j "$jobs"
(cd build/test && ctest --output-on-failure -j "$jobs")

# The same tests once more, built with AddressSanitizer and UndefinedBehaviorSanitizer.
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMIROVELL_SANITIZE=ON -DMIROVELL_WERROR=$werror >/dev/null
cmake --build build/asan -j "$jobs"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tests/sanitizer/lsan.supp:print_suppressions=0
(cd build/asan && ctest --output-on-failure -j "$jobs")
bash scripts/fuzz.sh
