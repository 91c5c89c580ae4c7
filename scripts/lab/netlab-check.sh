#!/usr/bin/env bash
# Checks scripts/netlab.sh: PCs reach each other on a veth pair and on a bridge, commands run as
# root and as the test user, and everything is gone after a normal end, a failure and a kill.
# Runs itself inside a network namespace with only lo up, as the test stages do. Needs root.
set -uo pipefail
cd "$(dirname "$0")/../.."
if ip -o link show | grep -qv ': lo:'; then
    exec unshare --net bash -c 'ip link set lo up && exec bash "$0" "$@"' "$0" "$@"
fi
prefix=nlcheck$$
failed=0
check() {   # check "what" command...
    local what=$1
    shift
    if "$@" >/dev/null 2>&1; then echo "  ok    $what"; else echo "  FAIL  $what"; failed=$((failed + 1)); fi
}
gone() { ! ls /run/netns 2>/dev/null | grep -q "^$1"; }

# A run that succeeds, with two and three PCs.
(
    source scripts/netlab.sh
    netlab_up "$prefix-a" 10.77.91.1/24 10.77.91.2/24 || exit 1
    check "veth pair: 1 reaches 2" netlab_root 1 ping -c1 -W2 10.77.91.2
    check "runs as the test user" test "$(netlab_user 2 id -un)" = "$NETLAB_USER"
    check "the test user's home is writable" netlab_user 1 touch "$NETLAB_DIR/home-1/x"
    netlab_down
    NETLAB_SNOOPING=0 netlab_up "$prefix-b" 10.77.92.1/24 10.77.92.2/24 10.77.92.3/24 || exit 1
    check "bridge: 3 reaches 1" netlab_root 3 ping -c1 -W2 10.77.92.1
    check "bridge: 2 reaches 3" netlab_root 2 ping -c1 -W2 10.77.92.3
    check "bridge without snooping" test "$(netlab_switch cat /sys/class/net/br0/bridge/multicast_snooping)" = 0
    check "nothing in the caller's namespace" test "$(ip -o link show | wc -l)" = 1
    check "no way out" bash -c "! netlab_root 1 ping -c1 -W1 192.0.2.1"
    exit "$failed"
)
failed=$?
check "gone after a normal end" gone "$prefix-"
# A run that fails half-way, and one that is killed while a process sleeps in a namespace.
(
    source scripts/netlab.sh
    set -e
    netlab_up "$prefix-c" 10.77.93.1/24 10.77.93.2/24 10.77.93.3/24
    false
)
check "gone after a failure" gone "$prefix-c"
bash -c 'source scripts/netlab.sh; netlab_up "$1" 10.77.94.1/24 10.77.94.2/24; netlab_user 2 sleep 60 & wait' _ "$prefix-d" &
sleep 1
check "up while running" test -e "/run/netns/$prefix-d-2"
kill -TERM $!
wait $! 2>/dev/null
check "gone after a kill, with the process in it" gone "$prefix-d"
echo "netlab check: $failed failed"
[[ $failed -eq 0 ]]
