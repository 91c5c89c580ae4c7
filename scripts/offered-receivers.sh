#!/usr/bin/env bash
# The real program finding its peers: three network namespaces on a bridge, each with a D-Bus
# system bus and a real avahi-daemon of its own (scripts/netlab.sh, scripts/avahi-lab.sh; host
# names "buero", "wohnzimmer" and "fremd"), a Mirovell on the first two under one Xvfb, driven by
# clicks. The sender's "Empfänger:" field offers the receiver's host name once the receiver is in
# receive mode; the name picked there reaches the receiver (there is no DNS here: only the address
# found on the LAN does); the offer is gone within a few seconds after the receiver leaves receive
# mode, and when it is killed.
# The third PC is a stranger made of avahi-publish and a script that only listens on the link's
# ports: it publishes a receiver whose host is "192.168.0.2.local" (the default receiver's address
# as a name) at its own address, one at 127.0.0.1, and one whose host name holds an escape
# sequence. The typed 192.168.0.2 still reaches the PC that has that address and the stranger gets
# nothing; neither bad record is offered; the name with the escape sequence is offered escaped, a
# pick of it reaches the stranger, and the settings file keeps it escaped.
# Every wait is on a condition; the times waited are printed.
# Needs root and the user mirovell-test; skipped without them, unless CI is set.
# Usage: scripts/offered-receivers.sh [path/to/mirovell]   (OFFERED_SHOTS=folder keeps the screenshots)
set -uo pipefail
cd "$(dirname "$0")/.."
program=$(realpath "${1:-build/test/mirovell}")

stage="offered receivers"
source scripts/lib/checks.sh
source scripts/lib/cable.sh
source scripts/lib/pcs.sh
# the programs meet their PC's own system bus, and its daemon
PC_SPAWN=avahi_lab_spawn_user PC_OWN_BUS=1 CLICK_PAUSE=0.4
needs_lab Xvfb xdotool import identify avahi-daemon avahi-browse dbus-daemon busctl ip unshare runuser pgrep
# by hand on a machine with a network: a namespace of our own, so no daemon here reaches the LAN
alone "$@"
# The X server's socket in a folder of this run's own: the programs run in other network
# namespaces, where X clients fall back from the abstract socket to /tmp/.X11-unix, and there an X
# server of another test running at the same time could take them.
if [[ -z "${OFFERED_OWN_X:-}" ]]; then
    exec env OFFERED_OWN_X=1 unshare --mount --propagation private bash "$0" "$@"
fi
mount -t tmpfs -o mode=1777 tmpfs /tmp/.X11-unix || skip "no folder of its own for the X server's socket"

xvfb=
failed=0
cleanup() {
    [[ -n "$xvfb" ]] && kill "$xvfb" 2>/dev/null
    if ((failed > 0)) && [[ -n "${NETLAB_DIR:-}" ]]; then
        for pc in 1 2; do
            [[ -s "$NETLAB_DIR/pc-$pc.log" ]] && { echo "---- PC $pc"; tail -n 30 "$NETLAB_DIR/pc-$pc.log"; }
        done
        [[ -s "$NETLAB_DIR/stranger.log" ]] && { echo "---- the stranger"; tail -n 30 "$NETLAB_DIR/stranger.log"; }
    fi
}
trap cleanup EXIT
source scripts/netlab.sh
source scripts/avahi-lab.sh
netlab_up multi-names 10.231.10.1/24 10.231.10.2/24 10.231.10.3/24 || skip "no network namespaces here"
avahi_lab_start 1 buero && avahi_lab_start 2 wohnzimmer && avahi_lab_start 3 fremd ||
    skip "avahi-daemon does not start here"
work=$NETLAB_DIR
mkdir -p "$work/shots"

passed=0
now() { date +%s%3N; }

start_xvfb 1440x960x24 "$work/xvfb.log" || skip "Xvfb did not start"

printf '%s\r\n' "#EXTM3U" "/media/Urlaub Teil 1.avi" "/media/Folge 2.mkv" >"$work/list.m3u"
chmod a+r "$work/list.m3u"
for pc in 1 2; do
    cp "$program" "$(home $pc)/mirovell"
    # a receiver nobody answers at first, as on a first start
    printf '[LastSettings]\r\nLastConnection=192.0.2.1\r\nvlc.exe=%s\r\nMinimizeOnStart=0\r\nAutoSavePlaylist=0\r\n\r\n[Settings]\r\n' \
        "$(command -v cvlc || echo /usr/bin/vlc)" >"$(home $pc)/mirovell.ini"
    chown -R mirovell-test: "$(home $pc)"
done
windows_of() {   # the visible windows of PC i's program: its main window, and the drop-down while open
    local pid
    pid=$(program_of "$1")
    [[ -n "$pid" ]] && xdotool search --all --onlyvisible --pid "$pid" --class '.*' 2>/dev/null
}
popup_open() { [[ $(windows_of 1 | wc -l) -gt 1 ]]; }
popup_height() {
    local id
    id=$(windows_of 1 | grep -vx "${win[1]}" | head -n1)
    [[ -n "$id" ]] && xdotool getwindowgeometry --shell "$id" | sed -n 's/^HEIGHT=//p'
}
# The field is white while it has the focus, grey without: the program has taken the click or key.
field_focused() {
    [[ $(import -window "${win[1]}" -crop 1x1+$FIELD_PIXEL +repage -depth 8 txt:- | grep -o '#[0-9A-F]\{6\}') == "#FFFFFF" ]]
}
# Leaves the field and comes back: the field offers what it has as it takes the focus.
refocus() {
    xdotool key Escape Tab
    wait_for 10 not field_focused || return 1
    click_in 1 $TARGET
    wait_for 10 field_focused
}
# A slow machine shows the drop-down late: it is waited for, and a missing one watched for as long.
POPUP_WAIT=5
offered() {
    local t
    refocus || return 1
    t=$(now)
    wait_for $POPUP_WAIT popup_open || return 1
    echo $(($(now) - t)) >>"$work/popup-ms"
}
not_offered() { refocus && ! wait_for $POPUP_WAIT popup_open; }
# The program ends on its exit button; a click that only closed the drop-down is given again.
ended() { [[ -z "$(program_of 1)" ]]; }
exit_sender() {
    xdotool key Escape
    click_in 1 $EXIT
    wait_for 5 ended
}
spread() {   # spread file: fewest, most and the median of the times in it
    sort -n "$1" | awk '{ t[NR] = $1 } END { if (NR) printf "%d..%d ms, median %d ms, %d times", t[1], t[NR], t[int((NR + 1) / 2)], NR }'
}
stranger_browsed() {   # stranger_browsed host: PC 1's daemon has resolved the stranger's record on that host
    avahi_lab_user 1 avahi-browse -rtp _mirovell._tcp 2>/dev/null | grep -q "^=.*;$1;[^;]*;22355;"
}
row_shown() { [[ $(import -window "${win[2]}" -crop 400x10+12+$((95 + 17 * $1)) +repage png:- | identify -format %k -) -gt 1 ]]; }
# The daemons publish the link-local IPv6 address beside the IPv4 one once the kernel has it, and
# avahi-browse resolves to whichever its daemon holds first: either counts as published.
browsed() {
    avahi_lab_user 1 avahi-browse -rtp _mirovell._tcp 2>/dev/null >"$work/browsed"
    grep -q '^=.*;wohnzimmer\.local;[^;]*;22355;.*role=receiver' "$work/browsed"
}
resolved_to() { grep '^=.*;wohnzimmer\.local;' "$work/browsed" | cut -d';' -f8 | sort -u | paste -sd' '; }
not_browsed() { ! browsed; }

TAB_LOCAL="78 21"; TAB_SEND="230 21"; TAB_RECEIVE="383 21"; EXIT="505 21"; TARGET="464 64"; FIELD_PIXEL="410+58"

echo "offered receivers: a stranger on PC 3 (fremd) publishes records that lead astray"
netlab_spawn_root 3 /usr/bin/python3 scripts/lab/quiet-stranger.py "$work/stranger.log"
publish_on_3() { avahi_lab_root 3 avahi-publish "$@" >>"$work/stranger-publish.log" 2>&1 & }
publish_on_3 -a -R 192.168.0.2.local 10.231.10.3
publish_on_3 -s -H 192.168.0.2.local "Mirovell Empfänger auf 192.168.0.2" _mirovell._tcp 22355 role=receiver v=1
publish_on_3 -a -R lo-host.local 127.0.0.1
publish_on_3 -s -H lo-host.local "Mirovell Empfänger auf lo-host" _mirovell._tcp 22355 role=receiver v=1
stranger_listens() { grep -qx listening "$work/stranger.log" 2>/dev/null; }
wait_for 20 stranger_listens || skip "the stranger's script does not listen"
strangers_seen() { stranger_browsed 192.168.0.2.local && stranger_browsed lo-host.local; }
check "PC 1's daemon sees the stranger's records" wait_for 20 strangers_seen

echo "offered receivers: the receiver on PC 2 (wohnzimmer)"
start_pc 2
check "PC 2: the window opens" wait_for 20 has_window 2
win[2]=$(window_of 2)
xdotool windowmove "${win[2]}" 0 480
sleep 0.5
click_in 2 $TAB_RECEIVE

echo "offered receivers: the sender on PC 1 (buero)"
start_pc 1 "$work/list.m3u"
check "PC 1: the window opens" wait_for 20 has_window 1
win[1]=$(window_of 1)
xdotool windowmove "${win[1]}" 0 0
sleep 0.5
t0=$(now)
click_in 1 $TAB_SEND
click_in 1 $TARGET
check "PC 2's receiver is published on the LAN" wait_for 20 browsed
echo "        published $(($(now) - t0)) ms after send mode was entered (resolved to $(resolved_to))"
check "\"Empfänger:\" offers the receiver" wait_for 30 offered
echo "        offered $(($(now) - t0)) ms after send mode was entered"
one_row=$(popup_height)
import -window root "$work/shots/offered-receivers.png"
xdotool key Down Return Tab
sleep 0.5
check "the picked name reaches the receiver: the list arrives" wait_for 20 row_shown 2
import -window root "$work/shots/picked.png"

echo "offered receivers: the receiver leaves receive mode"
click_in 2 $TAB_LOCAL
t0=$(now)
check "it is withdrawn from the LAN within a few seconds" wait_for 10 not_browsed
echo "        withdrawn $(($(now) - t0)) ms after the receiver left receive mode"
check "the offer is gone" wait_for 30 not_offered
echo "        not offered $(($(now) - t0)) ms after it left (the last ${POPUP_WAIT} s watching for the drop-down)"

echo "offered receivers: the receiver comes back, and is killed"
click_in 2 $TAB_RECEIVE
t0=$(now)
check "back in receive mode, it is published again" wait_for 20 browsed
echo "        published $(($(now) - t0)) ms after it came back (resolved to $(resolved_to))"
kill -9 "$(program_of 2)"
t0=$(now)
check "a killed receiver is gone from the LAN within a few seconds" wait_for 10 not_browsed
echo "        gone $(($(now) - t0)) ms after it was killed"

echo "offered receivers: the typed default receiver, 192.168.0.2, which the stranger names its host"
netlab_root 1 ip addr add 192.168.0.1/24 dev eth0
netlab_root 2 ip addr add 192.168.0.2/24 dev eth0
# typed before the receiver is back: the name picked before no longer counts
refocus
xdotool key Escape ctrl+a
xdotool type --delay 50 192.168.0.2
xdotool key Escape Tab
t0=$(now)
start_pc 2
check "PC 2 again: the window opens" wait_for 20 has_window 2
win[2]=$(window_of 2)
xdotool windowmove "${win[2]}" 0 480
sleep 0.5
click_in 2 $TAB_RECEIVE
check "the typed address gets the list" wait_for 60 row_shown 2
echo "        the list arrived $(($(now) - t0)) ms after the address was typed and the receiver started"
check "the stranger got nothing" not grep -q '^connection' "$work/stranger.log"

echo "offered receivers: a name with an escape sequence"
publish_on_3 -a -R $'zz\e[7mname.local' 10.231.10.3
publish_on_3 -s -H $'zz\e[7mname.local' "Mirovell Empfänger auf zz" _mirovell._tcp 22355 role=receiver v=1
two_rows() { offered && (($(popup_height) > one_row)); }
check "\"Empfänger:\" offers it beside the receiver, and nothing else" wait_for 40 two_rows
import -window root "$work/shots/escaped.png"
xdotool key Down Down Return Tab
check "the pick of it reaches the stranger" wait_for 20 grep -q '^connection 22355 from 10.231.10.1' "$work/stranger.log"
t0=$(now)
check "the sender ends" wait_for 30 exit_sender
echo "        ended $(($(now) - t0)) ms after the first click on its exit button"
check "the settings file keeps the picked name, escaped" grep -qF $'LastConnection=zz\\x1b[7mname\r' "$(home 1)/mirovell.ini"
check "no escape character in the settings file" not grep -q $'\e' "$(home 1)/mirovell.ini"
echo "        the drop-down appeared $(spread "$work/popup-ms") after the click into the field"

if [[ -n "${OFFERED_SHOTS:-}" ]]; then
    mkdir -p "$OFFERED_SHOTS" && cp "$work/shots"/*.png "$OFFERED_SHOTS"/
fi
echo "offered receivers: $passed passed, $failed failed"
[[ $failed -eq 0 ]]
