#!/usr/bin/env bash
# Strangers on the LAN: three network namespaces on one bridge (scripts/netlab.sh), the real program
# as the sender on PC 1, under Xvfb, clicked as a user would, with 32,767 entries in its list; PC 2
# is a stranger and PC 3 the receiver the user typed, both made of a script (scripts/lab/stranger.py),
# and at the end the real program receives on PC 3. It shows, for each thing a host on the LAN may
# do: sending to one receiver, a stranger's requests are turned away while a receiver of the old
# kind (one message per write) gets the list and moves a track; 1.1 MB of requests stall the
# window for a moment only (the window's answers to _NET_WM_PING, polled every 20 ms, are timed
# and printed) and their peer is disconnected; serving several, a stranger gets no list until the
# user answers the notice, a denied one is turned away however often it knocks, a receiver let in
# gets the list, is dropped after it vanishes without a close, and is served again when it comes
# back; a receiving program turned away by a sender backs off, and keeps its sender's list against
# a stranger's.
# Needs root and the user mirovell-test; skipped without them, unless CI is set.
# Usage: scripts/strangers.sh [path/to/mirovell]    (STRANGERS_SHOTS=folder keeps the screenshots)
set -uo pipefail
cd "$(dirname "$0")/.."
program=$(realpath "${1:-build/test/mirovell}")

stage="strangers"
source scripts/lib/checks.sh
source scripts/lib/cable.sh
source scripts/lib/pcs.sh
needs_lab Xvfb xdotool import ip runuser pgrep python3 ss
/usr/bin/python3 -c "import Xlib" 2>/dev/null || skip "python3-xlib is missing (scripts/deps.sh installs it)"
alone "$@"

SENDER=10.231.12.1
STRANGER=10.231.12.2
RECEIVER=10.231.12.3
# the longest the window may stand still during the flood (the bench gives the real figure)
LONGEST_STOP_MS=${STRANGERS_LONGEST_STOP_MS:-1000}
xvfb=
failed=0
cleanup() {
    if [[ -n "${STRANGERS_SHOTS:-}" && -n "${NETLAB_DIR:-}" ]]; then
        mkdir -p "$STRANGERS_SHOTS" && cp "$NETLAB_DIR"/shots/*.png "$STRANGERS_SHOTS"/ 2>/dev/null
    fi
    [[ -n "$xvfb" ]] && kill "$xvfb" 2>/dev/null
    if ((failed > 0)) && [[ -n "${NETLAB_DIR:-}" ]]; then
        cat "$NETLAB_DIR/xvfb.log"
        for f in "$NETLAB_DIR"/pc-*.log; do
            [[ -s "$f" ]] && { echo "---- $f"; tail -n 30 "$f"; }
        done
    fi
}
trap cleanup EXIT
source scripts/netlab.sh
netlab_up strangers "$SENDER/24" "$STRANGER/24" "$RECEIVER/24" || skip "no network namespaces here"
work=$NETLAB_DIR
shots=$work/shots
mkdir -p "$shots"
passed=0
stranger=$(realpath scripts/lab/stranger.py)

start_xvfb 1440x960x24 "$work/xvfb.log" || skip "Xvfb did not start"

# the sending "VLC" only notes that it was started: the stage is about the link
printf '#!/bin/sh\necho start >>"$HOME/vlc-starts"\nexec sleep 600\n' >"$work/fake-vlc"
chmod 755 "$work/fake-vlc"
/usr/bin/python3 -c 'import sys
with open(sys.argv[1], "w", newline="") as f:
    f.write("#EXTM3U\r\n")
    for i in range(1, 32768):
        f.write(f"/media/film {i:05d}.avi\r\n")' "$work/list.m3u"
chmod a+r "$work/list.m3u"
for pc in 1 3; do
    cp "$program" "$(home $pc)/mirovell"
    printf '[LastSettings]\r\nLastConnection=%s\r\nvlc.exe=%s\r\nMinimizeOnStart=0\r\nAutoSavePlaylist=0\r\n\r\n[Settings]\r\n' \
        "$RECEIVER" "$work/fake-vlc" >"$(home $pc)/mirovell.ini"
    chown -R mirovell-test: "$(home $pc)"
done
# Places at the window's start size (691 x 407 pixels), from the controls' rectangles.
TAB_SEND="230 21"; TAB_RECEIVE="383 21"; ONE="28 88"; SEVERAL="400 92"; ADMIT="572 88"; DENY="647 88"
# import with no window waits for a click on one: never let it
grab() {
    local w=$1
    shift
    [[ -n "$w" ]] && timeout 20 import -window "$w" "$@"
}
notice_shown() { grab "${win[1]:-}" -crop 1x1+535+60 -depth 8 txt:- 2>/dev/null | grep -qi '#FFFFC0'; }
notice_gone() { ! notice_shown; }
script_on() {   # script_on pc log command...: the stranger script on a PC, in the background
    local pc=$1 log=$2
    shift 2
    netlab_spawn_root "$pc" /usr/bin/python3 "$stranger" "$@" >"$work/$log" 2>&1
}
said() { grep -q -- "$2" "$work/$1"; }
starts() { wc -l <"$(home 1)/vlc-starts" 2>/dev/null || echo 0; }
# a peer's address as ss shows it, also where the listening socket takes IPv4 as IPv6
peer_is() { awk '{print $NF}' | sed -E 's/^\[(::ffff:)?//; s/\]?:[0-9]+$//' | grep -qxF "$1"; }
connected_from() {   # connected_from address: the sender holds a connection from it on its request port
    netlab_root 1 ss -Htn state established "( sport = :22356 )" | peer_is "$1"
}

echo "strangers: the sender ($SENDER) sends to one receiver ($RECEIVER), 32,767 entries"
start_pc 1 "$work/list.m3u"
check "the window opens" wait_for 30 has_window 1
win[1]=$(window_of 1)
xdotool windowmove "${win[1]}" 0 0
sleep 1
click_in 1 $TAB_SEND

script_on 3 receiver.log receiver "$SENDER" "/media/film 20000.avi" 30
receiver_pid=$NETLAB_PID
check "a receiver of the old kind gets the whole list" wait_for 20 said receiver.log "list 32767 entries, first /media/film 00001.avi"
netlab_root 2 /usr/bin/python3 "$stranger" join "$SENDER" 22356 "$STRANGER" 4 >"$work/one-stranger.log" 2>&1
cat "$work/one-stranger.log" | sed 's/^/        /'
check "a stranger's request channel is refused or closed at once" grep -Eq "refused|request channel closed" "$work/one-stranger.log"
check "the stranger gets no list" grep -Eq "list bytes 0(,|$)" "$work/one-stranger.log"
check "the receiver's request moves its track first" wait_for 20 said receiver.log "first /media/film 20000.avi"
check "and the stream starts again" wait_for 10 test "$(starts)" -ge 1
kill "$receiver_pid" 2>/dev/null
wait "$receiver_pid" 2>/dev/null

echo "strangers: 1.1 MB of requests from the receiver's host"
/usr/bin/python3 "$stranger" ping "${win[1]}" 12 >"$work/ping.log" 2>&1 &
pinger=$!
sleep 1
netlab_root 3 /usr/bin/python3 "$stranger" flood "$SENDER" 22356 1153433 >"$work/flood.log" 2>&1
wait "$pinger"
sed 's/^/        /' "$work/flood.log" "$work/ping.log"
check "the flooding peer is disconnected" said flood.log "disconnected=yes"
longest=$(sed -n 's/.*longest \([0-9]*\) ms.*/\1/p' "$work/ping.log")
check "the window stood still no longer than $LONGEST_STOP_MS ms (longest ${longest:-?} ms)" \
    test "${longest:-999999}" -le "$LONGEST_STOP_MS"

echo "strangers: the sender serves several"
click_in 1 $SEVERAL
import -window root "$shots/0-several.png"
script_on 2 join-1.log join "$SENDER" 22356 "$STRANGER" 14
joiner=$NETLAB_PID
check "a notice asks about the stranger" wait_for 10 notice_shown
import -window root "$shots/1-notice.png"
wait "$joiner"
sed 's/^/        /' "$work/join-1.log"
check "unanswered, it gets no list in 14 s" said join-1.log "list bytes 0, request channel open"
click_in 1 $DENY
check "the notice goes with the answer" wait_for 5 notice_gone
/usr/bin/python3 "$stranger" ping "${win[1]}" 6 >"$work/ping-knock.log" 2>&1 &
pinger=$!
netlab_root 2 /usr/bin/python3 "$stranger" knock "$SENDER" 22356 300 >"$work/knock.log" 2>&1
wait "$pinger"
sed 's/^/        /' "$work/knock.log" "$work/ping-knock.log"
check "denied, it is turned away however often it knocks" said knock.log " 0 kept open"
check "the window answers meanwhile" said ping-knock.log "longest"

script_on 3 join-3.log join "$SENDER" 22356 "$RECEIVER" 200
member=$NETLAB_PID
check "a notice asks about the receiver" wait_for 10 notice_shown
click_in 1 $ADMIT
check "let in, the receiver is connected" wait_for 10 connected_from "$RECEIVER"
sleep 4
echo "strangers: the receiver vanishes without a close"
netlab_root 3 ip link set eth0 down
gone_at=$SECONDS
check "its place goes within 60 s" wait_for 60 not connected_from "$RECEIVER"
echo "        gone after $((SECONDS - gone_at)) s"
kill "$member" 2>/dev/null
wait "$member" 2>/dev/null
sed 's/^/        /' "$work/join-3.log"
check "it had the list" said join-3.log "a list arrives"
netlab_root 3 ip link set eth0 up
netlab_root 3 ip route add 224.0.0.0/4 dev eth0 2>/dev/null
netlab_root 3 /usr/bin/python3 "$stranger" join "$SENDER" 22356 "$RECEIVER" 5 >"$work/join-back.log" 2>&1
sed 's/^/        /' "$work/join-back.log"
check "coming back from its address, it is served without asking" grep -q 'list bytes [1-9]' "$work/join-back.log"
import -window root "$shots/2-several.png"

echo "strangers: the real program receives on PC 3"
start_pc 3
check "PC 3: the window opens" wait_for 30 has_window 3
win[3]=$(window_of 3)
xdotool windowmove "${win[3]}" 720 0
sleep 1
click_in 3 $TAB_RECEIVE
netlab_root 2 /usr/bin/python3 "$stranger" noroom "$RECEIVER" 10 >"$work/noroom.log" 2>&1
sed 's/^/        /' "$work/noroom.log"
attempts=$(sed -n 's/noroom: \([0-9]*\) request.*/\1/p' "$work/noroom.log")
check "turned away at once, it tries again at most 6 times in 10 s (${attempts:-?})" \
    test "${attempts:-0}" -ge 1 -a "${attempts:-99}" -le 6
click_in 1 $ONE
asks_sender() { netlab_root 3 ss -Htn state established "( dport = :22356 )" | peer_is "$SENDER"; }
check "the sender's list reaches the receiving program, which asks the sender" wait_for 40 asks_sender
sleep 2
grab "${win[3]:-}" -crop 400x40+12+112 +repage "$work/rows-before.png"
netlab_root 2 /usr/bin/python3 "$stranger" bring "$RECEIVER" >"$work/bring.log" 2>&1
sed 's/^/        /' "$work/bring.log"
check "a stranger cannot bring its own list" grep -Eq 'refused|closed' "$work/bring.log"
grab "${win[3]:-}" -crop 400x40+12+112 +repage "$work/rows-after.png"
check "the list shown stays the sender's" cmp -s "$work/rows-before.png" "$work/rows-after.png"
import -window root "$shots/3-receiver.png"

echo "strangers: $passed passed, $failed failed"
[[ $failed -eq 0 ]]
