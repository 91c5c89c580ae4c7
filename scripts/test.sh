#!/usr/bin/env bash
# Installs what is missing, checks the format of the C++ files and the layers of src/, builds
# everything and runs every test: the unit and integration tests, a user's tour of the real program
# under Xvfb, the Debian package built, checked, installed, used and purged again, two PCs made of
# network namespaces, three PCs (one sender serving two receivers), two PCs finding each other
# through their own Avahi daemons (the real program offering the receiver by name), the same tests
# again under AddressSanitizer + UndefinedBehaviorSanitizer (with a longer run of the link fuzzer
# on real sockets), and the fuzzers briefly on their seeds.
#
# Every start of the program connects to the receiver in its settings (a private address of
# whatever network this machine is in), so after the packages are installed everything runs in
# a network namespace of its own where only loopback is up: nothing can reach another machine.
set -uo pipefail
cd "$(dirname "$0")/.."
if [[ "${1:-}" != --isolated ]]; then
    bash scripts/deps.sh || exit 1
    # VLC refuses to run as root: the stages that start the real player run it as this ordinary user.
    if [[ $(id -u) -eq 0 ]] && ! id -u mirovell-test >/dev/null 2>&1; then
        useradd --system --no-create-home --shell /usr/sbin/nologin mirovell-test
    fi
    if [[ $(id -u) -eq 0 ]]; then
        exec unshare --net -- bash -c 'ip link set lo up && exec bash scripts/test.sh --isolated'
    fi
    # the namespace needs root; the tests then run as the calling user again
    command -v sudo >/dev/null || { echo "the tests need a network namespace of their own: run as root or with sudo"; exit 1; }
    exec sudo --preserve-env=CI,FUZZ_SECONDS,MIROVELL_LINK_FUZZ_SECONDS unshare --net -- bash -c \
        "ip link set lo up && exec setpriv --reuid=$(id -u) --regid=$(id -g) --init-groups \
         env HOME='$HOME' PATH='$PATH' bash scripts/test.sh --isolated"
fi
# the tests check the German texts: a machine with an English locale must not turn them English
export LANG=C.UTF-8
unset LC_ALL LC_MESSAGES LANGUAGE
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

stage "format" bash scripts/format.sh --check
stage "layers" bash scripts/check-layers.sh

echo "==== build"
if cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMIROVELL_WERROR=$werror >/dev/null &&
    cmake --build build/test -j "$jobs"; then
    run_ctest build/test
    stage "user's tour" bash scripts/tour.sh build/test/mirovell
    stage "two PCs" bash scripts/two-pcs.sh build/test/mirovell
    stage "three PCs: one sender, two receivers" bash scripts/three-pcs.sh build/test/mirovell
    stage "strangers on the LAN" bash scripts/strangers.sh build/test/mirovell
    stage "the web remote" bash scripts/web-remote.sh build/test/mirovell
    stage "the receivers offered by name" bash scripts/offered-receivers.sh build/test/mirovell
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
    export MIROVELL_LINK_FUZZ_SECONDS=${MIROVELL_LINK_FUZZ_SECONDS:-25}
    run_ctest build/asan
    unset ASAN_OPTIONS UBSAN_OPTIONS LSAN_OPTIONS MIROVELL_LINK_FUZZ_SECONDS
else
    failed=$((failed + 1))
fi

stage "fuzzing" bash scripts/fuzz.sh

echo "all stages: $passed passed, $failed failed"
[[ $failed -eq 0 ]]
