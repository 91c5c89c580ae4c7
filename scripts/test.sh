#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: the unit and integration
# tests, a user's tour of the real program under Xvfb, the Debian package built, checked,
# installed, used and purged again, the same tests under AddressSanitizer +
# UndefinedBehaviorSanitizer, and the fuzzers briefly on their seeds.
set -uo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh || exit 1
# VLC refuses to run as root: the tests that start the real player run it as this ordinary user.
if [[ $(id -u) -eq 0 ]] && ! id -u mirovell-test >/dev/null 2>&1; then
    useradd --system --no-create-home --shell /usr/sbin/nologin mirovell-test
fi
jobs=$(nproc)
werror=OFF
[[ -n "${CI:-}" ]] && werror=ON

passed=0
failed=0
# ctest's closing line: "100% tests passed, 0 tests failed out of 24"
count_ctest() {
    local line
    line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$1" | tail -n1)
    if [[ -z "$line" ]]; then
        failed=$((failed + 1))
        return
    fi
    local bad total
    bad=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/' <<<"$line")
    total=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\2/' <<<"$line")
    passed=$((passed + total - bad))
    failed=$((failed + bad))
}
stage() {   # stage "name" command...: a stage that is no ctest run counts as one test
    local name=$1
    shift
    echo "==== $name"
    if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "==== $name FAILED"; fi
}
run_ctest() {   # run_ctest build-folder
    local log
    log=$(mktemp)
    (cd "$1" && ctest --output-on-failure -j "$jobs") 2>&1 | tee "$log"
    count_ctest "$log"
    rm -f "$log"
}

echo "==== build"
if cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMIROVELL_WERROR=$werror >/dev/null &&
    cmake --build build/test -j "$jobs"; then
    run_ctest build/test
    stage "user's tour" bash scripts/tour.sh build/test/mirovell
else
    failed=$((failed + 1))
fi
stage "Debian package" bash scripts/package-test.sh

echo "==== build with AddressSanitizer and UndefinedBehaviorSanitizer"
if cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMIROVELL_SANITIZE=ON -DMIROVELL_WERROR=$werror \
        >/dev/null && cmake --build build/asan -j "$jobs"; then
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    export LSAN_OPTIONS=suppressions=$PWD/tests/sanitizer/lsan.supp:print_suppressions=0
    run_ctest build/asan
    unset ASAN_OPTIONS UBSAN_OPTIONS LSAN_OPTIONS
else
    failed=$((failed + 1))
fi

stage "fuzzing" bash scripts/fuzz.sh

echo "all stages: $passed passed, $failed failed"
[[ $failed -eq 0 ]]
