#!/usr/bin/env bash
# Finding each other between two PCs: two network namespaces on a veth pair, each with a D-Bus
# system bus and a real avahi-daemon of its own (scripts/netlab.sh, scripts/avahi-lab.sh), and
# instances of the discovery class (tests/platform/discovery_peer.cpp) running as the ordinary test
# user. A receiver on PC 1 is found by a receiver browsing on PC 2 under the right host name,
# address, port and records, never the browsing instance itself; it is gone within a few seconds
# after it withdraws, switches to sending, ends or is killed. Also: the name collision of two
# instances with the same name, the browser of daemons before Avahi 0.8, a daemon that ends and
# comes back, and one that starts after the program. Prints the times it measures.
# Needs root and the user mirovell-test; skipped without them, unless CI is set.
# Usage: scripts/discovery-lab.sh [path/to/discovery-peer]
set -uo pipefail
cd "$(dirname "$0")/.."
peer=$(realpath "${1:-build/test/tests/platform/discovery-peer}")

in_ci() { [[ -n "${CI:-}" && "${CI:-}" != false && "${CI:-}" != 0 ]]; }
skip() {
    in_ci && { echo "discovery: FAIL: $1"; exit 1; }
    echo "discovery: skipped: $1"
    exit 0
}
[[ -x "$peer" ]] || skip "no discovery-peer at $peer"
[[ $(id -u) -eq 0 ]] || skip "making network namespaces needs root"
for tool in avahi-daemon dbus-daemon busctl ip unshare runuser pgrep; do
    command -v "$tool" >/dev/null || skip "$tool is missing (scripts/deps.sh installs it)"
done
id -u mirovell-test >/dev/null 2>&1 || skip "the user mirovell-test is missing (scripts/test.sh makes it)"
# by hand on a machine with a network: a namespace of our own, so no daemon here reaches the LAN
if ip -o link show | grep -qv ': lo:'; then
    exec unshare --net bash -c 'ip link set lo up && exec bash "$0" "$@"' "$0" "$@"
fi

source scripts/netlab.sh
source scripts/avahi-lab.sh
netlab_up "discovery-$$" 10.231.8.1/24 10.231.8.2/24 || skip "no network namespaces here"
avahi_lab_start 1 wohnzimmer && avahi_lab_start 2 kueche || skip "avahi-daemon does not start here"
install -m 755 "$peer" "$NETLAB_DIR/discovery-peer"

passed=0
failed=0
check() {   # check "what" command...
    local what=$1
    shift
    if "$@"; then
        passed=$((passed + 1))
        echo "  ok    $what"
    else
        failed=$((failed + 1))
        echo "  FAIL  $what"
    fi
}
not() { ! "$@"; }
now() { date +%s%3N; }
log() { echo "$NETLAB_DIR/$1.log"; }

declare -A fds pids
start() {   # start name pc [--no-prepare]: an instance on a PC, given its commands through a FIFO
    local name=$1 pc=$2 fd
    shift 2
    mkfifo -m 600 "$NETLAB_DIR/$name.in" && chown "$NETLAB_USER" "$NETLAB_DIR/$name.in"
    exec {fd}<>"$NETLAB_DIR/$name.in"
    fds[$name]=$fd
    # opened by the instance itself: a job in the background reads /dev/null unless it says otherwise
    avahi_lab_spawn_user "$pc" sh -c 'exec "$@" <"$0"' "$NETLAB_DIR/$name.in" "$NETLAB_DIR/discovery-peer" "$@" \
        >"$(log "$name")" 2>"$NETLAB_DIR/$name.err"
    pids[$name]=$NETLAB_PID
}
tell() { echo "${*:2}" >&"${fds[$1]}"; }   # tell name command...
mark() { wc -l <"$(log "$1")"; }
# await seconds name mark pattern: the time of the first line after the mark that matches
await() {
    local until=$((SECONDS + $1)) line
    while :; do
        line=$(tail -n +"$(($3 + 1))" "$(log "$2")" | grep -m1 -E -- "$4")
        [[ -n "$line" ]] && { echo "${line%% *}"; return 0; }
        ((SECONDS >= until)) && return 1
        sleep 0.05
    done
}
sees() { await "$@" >/dev/null; }
after() { [[ -n "$2" ]] && echo "$(($2 - $1)) ms" || echo "never"; }   # after t0 t1
ended() { ! kill -0 "${pids[$1]}" 2>/dev/null; }
quiet() { [[ ! -s "$NETLAB_DIR/$1.err" ]]; }

A='wohnzimmer 10\.231\.8\.1'   # PC 1 as PC 2 sees it
echo "== a receiver on PC 1, found by a receiver on PC 2"
start b 2
tell b publish receiver 22355
tell b browse receiver
own=$(await 10 b 0 '^[0-9]+ published [^-]') || true
check "the browsing instance is published itself" test -n "$own"
start a 1
m=$(mark b)
t0=$(now)
tell a publish receiver 22355 group=239.255.22.55:1234
seen=$(await 10 b "$m" "peers 1 \| $A 22355 receiver .* \{group=239\.255\.22\.55:1234,v=1\}$") || true
echo "  found on PC 2 $(after "$t0" "$seen") after publishing"
check "PC 2 finds it with host name, address, port, role and records" test -n "$seen"
await 5 a 0 '^[0-9]+ published [^-]' >/dev/null
name_a=$(grep -E '^[0-9]+ published [^-]' "$(log a)" | tail -n1 | cut -d' ' -f3-)
name_b=$(grep -E '^[0-9]+ published [^-]' "$(log b)" | tail -n1 | cut -d' ' -f3-)
echo "  names: PC 1 \"$name_a\", PC 2 \"$name_b\""
check "the same name on both PCs: one of them moved to another" test -n "$name_a" -a "$name_a" != "$name_b"
check "PC 2 lists it under its name on the LAN" grep -qF "receiver $name_a {" "$(log b)"

echo "== it leaves: withdrawn, sending, ended, killed"
m=$(mark b)
t0=$(now)
tell a withdraw
gone=$(await 10 b "$m" 'peers 0$') || true
echo "  withdrawn: gone on PC 2 $(after "$t0" "$gone") later"
check "gone within a few seconds after it withdraws" test -n "$gone"
m=$(mark b)
tell a publish receiver 22355
check "back when it publishes again" sees 10 b "$m" "peers 1 \| $A 22355 receiver "
m=$(mark b)
t0=$(now)
tell a publish sender 22356
gone=$(await 10 b "$m" 'peers 0$') || true
echo "  switched to sending: gone on PC 2 $(after "$t0" "$gone") later"
check "gone from the receivers when it sends" test -n "$gone"
m=$(mark b)
tell b browse sender
check "and found among the senders, with its new port" sees 10 b "$m" "peers 1 \| $A 22356 sender "
m=$(mark b)
tell b browse receiver
check "not among the receivers" sees 5 b "$m" 'peers 0$'
tell a publish receiver 22355
await 10 b "$m" "peers 1 \| $A 22355 receiver " >/dev/null
m=$(mark b)
t0=$(now)
tell a quit
gone=$(await 10 b "$m" 'peers 0$') || true
echo "  ended: gone on PC 2 $(after "$t0" "$gone") later"
check "gone when it ends" test -n "$gone"
sleep 0.5
check "and it has ended" ended a
start k 1
m=$(mark b)
tell k publish receiver 22355
await 10 b "$m" "peers 1 \| $A 22355 receiver " >/dev/null
m=$(mark b)
t0=$(now)
kill -KILL "$(pgrep -P "${pids[k]}")"
gone=$(await 10 b "$m" 'peers 0$') || true
echo "  killed: gone on PC 2 $(after "$t0" "$gone") later"
check "gone when it is killed" test -n "$gone"
check "PC 2 never listed itself" not grep -q "peers.*kueche" "$(log b)"

echo "== the browser of daemons before Avahi 0.8, with the receiver already known to the daemon"
start r 1
m=$(mark b)
tell r publish receiver 22355
await 10 b "$m" "peers 1 \| $A 22355 receiver " >/dev/null
start c 2 --no-prepare
tell c browse receiver
check "another instance on PC 2 finds both receivers" \
    sees 10 c 0 "peers 2 \| kueche 10\.231\.8\.2 22355 receiver .* \| $A 22355 receiver "
tell c quit

echo "== the daemon on PC 2 ends and comes back"
m=$(mark b)
avahi_lab_stop_daemon 2
check "PC 2 forgets what it found" sees 5 b "$m" 'peers 0$'
check "and knows there is no daemon" sees 5 b "$m" 'state NoDaemon'
m=$(mark b)
t0=$(now)
avahi_lab_start_daemon 2 || echo "  the daemon did not come back"
seen=$(await 15 b "$m" "peers 1 \| $A 22355 receiver ") || true
echo "  found again $(after "$t0" "$seen") after the daemon's start"
check "PC 2 finds PC 1 again" test -n "$seen"
check "and is published again" sees 10 b "$m" 'published [^-]'

echo "== the daemon on PC 1 starts after the program"
tell r quit
m=$(mark b)
await 10 b "$m" 'peers 0$' >/dev/null
avahi_lab_stop_daemon 1
start d 1
tell d publish receiver 22355
tell d browse sender
check "without a daemon the program runs on" sees 5 d 0 'state NoDaemon'
m=$(mark b)
avahi_lab_start_daemon 1 || echo "  the daemon did not come back"
check "the program finds the daemon when it starts" sees 5 d 0 'state Running'
check "and is found on PC 2" sees 15 b "$m" "peers 1 \| $A 22355 receiver "
for p in b d; do tell "$p" quit; done
sleep 1
all_quiet() {
    local p
    for p in a b c d r; do quiet "$p" || return 1; done   # k was killed: runuser says so
}
check "every instance ended without a message" all_quiet
for p in b c d r; do ended "$p" || echo "  $p is still running"; done

if ((failed)); then
    for p in a b c d k r; do
        [[ -f "$(log $p)" ]] && { echo "-- $p"; cat "$(log $p)" "$NETLAB_DIR/$p.err"; }
    done
fi
echo "discovery: $passed passed, $failed failed"
((failed == 0))
