#!/usr/bin/env bash
# The real program finding its peers: two network namespaces on a veth pair, each with a D-Bus
# system bus and a real avahi-daemon of its own (scripts/netlab.sh, scripts/avahi-lab.sh; host
# names "buero" and "wohnzimmer"), a Mirovell in each under one Xvfb, driven by clicks. The sender's
# "Empfänger:" field offers the receiver's host name once the receiver is in receive mode; the name
# picked there reaches the receiver (there is no DNS here: only the address found on the LAN does);
# the receiver names its sender; the offer is gone within a few seconds after the receiver leaves
# receive mode, and when it is killed; and the settings file keeps the name. Prints the times it
# measures.
# Needs root and the user mirovell-test; skipped without them, unless CI is set.
# Usage: scripts/offered-receivers.sh [path/to/mirovell]   (OFFERED_SHOTS=folder keeps the screenshots)
set -uo pipefail
cd "$(dirname "$0")/.."
program=$(realpath "${1:-build/test/mirovell}")

stage="offered receivers"
source scripts/lib/checks.sh
[[ -x "$program" ]] || skip "no program at $program"
[[ $(id -u) -eq 0 ]] || skip "making network namespaces needs root"
for tool in Xvfb xdotool import identify avahi-daemon avahi-browse dbus-daemon busctl ip unshare runuser pgrep; do
    command -v "$tool" >/dev/null || skip "$tool is missing (scripts/deps.sh installs it)"
done
id -u mirovell-test >/dev/null 2>&1 || skip "the user mirovell-test is missing (scripts/test.sh makes it)"
# by hand on a machine with a network: a namespace of our own, so no daemon here reaches the LAN
if ip -o link show | grep -qv ': lo:'; then
    exec unshare --net bash -c 'ip link set lo up && exec bash "$0" "$@"' "$0" "$@"
fi

xvfb=
failed=0
cleanup() {
    [[ -n "$xvfb" ]] && kill "$xvfb" 2>/dev/null
    if ((failed > 0)) && [[ -n "${NETLAB_DIR:-}" ]]; then
        for pc in 1 2; do
            [[ -s "$NETLAB_DIR/pc-$pc.log" ]] && { echo "---- PC $pc"; tail -n 30 "$NETLAB_DIR/pc-$pc.log"; }
        done
    fi
}
trap cleanup EXIT
source scripts/netlab.sh
source scripts/avahi-lab.sh
netlab_up multi-names 10.231.10.1/24 10.231.10.2/24 || skip "no network namespaces here"
avahi_lab_start 1 buero && avahi_lab_start 2 wohnzimmer || skip "avahi-daemon does not start here"
work=$NETLAB_DIR
mkdir -p "$work/shots"

passed=0
now() { date +%s%3N; }

exec 3>"$work/display"
Xvfb -displayfd 3 -nolisten tcp -screen 0 1440x960x24 >"$work/xvfb.log" 2>&1 &
xvfb=$!
exec 3>&-
wait_for 10 test -s "$work/display" || skip "Xvfb did not start"
export DISPLAY=:$(cat "$work/display")

home() { echo "$work/home-$1"; }
printf '%s\r\n' "#EXTM3U" "/media/Urlaub Teil 1.avi" "/media/Folge 2.mkv" >"$work/list.m3u"
chmod a+r "$work/list.m3u"
for pc in 1 2; do
    cp "$program" "$(home $pc)/mirovell"
    # a receiver nobody answers at first, as on a first start
    printf '[LastSettings]\r\nLastConnection=192.0.2.1\r\nvlc.exe=%s\r\nMinimizeOnStart=0\r\nAutoSavePlaylist=0\r\n\r\n[Settings]\r\n' \
        "$(command -v cvlc || echo /usr/bin/vlc)" >"$(home $pc)/mirovell.ini"
    chown -R mirovell-test: "$(home $pc)"
done
start_pc() {   # start_pc i [play list]: the program on PC i, with that PC's system bus
    local pc=$1
    shift
    avahi_lab_spawn_user "$pc" env DISPLAY="$DISPLAY" LANG=C.UTF-8 XDG_CONFIG_HOME="$(home "$pc")/config" \
        "$(home "$pc")/mirovell" "$@" >"$work/pc-$pc.log" 2>&1
}
program_of() { pgrep -u mirovell-test -f -- "^$(home "$1")/mirovell( |\$)" | head -n1; }
windows_of() {   # the visible windows of PC i's program: its main window, and the drop-down while open
    local pid
    pid=$(program_of "$1")
    [[ -n "$pid" ]] && xdotool search --all --onlyvisible --pid "$pid" --class '.*' 2>/dev/null
}
main_window_of() {
    local pid
    pid=$(program_of "$1")
    [[ -n "$pid" ]] && xdotool search --all --onlyvisible --pid "$pid" --name "VLC- Drag&Drop - Mirovell" 2>/dev/null | head -n1
}
has_window() { [[ -n "$(main_window_of "$1")" ]]; }
declare -A win
click_in() {   # click_in pc x y
    local X Y WIDTH HEIGHT SCREEN WINDOW
    eval "$(xdotool getwindowgeometry --shell "${win[$1]}")"
    xdotool mousemove $((X + $2)) $((Y + $3)) click 1
    sleep 0.4
}
# Leaves the field and comes back: the field offers what it has as it takes the focus.
offered() {
    xdotool key Escape Tab
    sleep 0.2
    click_in 1 $TARGET
    sleep 0.5
    [[ $(windows_of 1 | wc -l) -gt 1 ]]
}
not_offered() { ! offered; }
row_shown() { [[ $(import -window "${win[2]}" -crop 400x10+12+$((95 + 17 * $1)) +repage png:- | identify -format %k -) -gt 1 ]]; }
browsed() { avahi_lab_user 1 avahi-browse -rtp _mirovell._tcp 2>/dev/null | grep -q '^=.*wohnzimmer\.local;10\.231\.10\.2;22355;.*role=receiver'; }
not_browsed() { ! browsed; }

TAB_LOCAL="78 21"; TAB_SEND="230 21"; TAB_RECEIVE="383 21"; EXIT="505 21"; TARGET="464 64"

echo "offered receivers: the receiver on PC 2 (wohnzimmer)"
start_pc 2
check "PC 2: the window opens" wait_for 20 has_window 2
win[2]=$(main_window_of 2)
xdotool windowmove "${win[2]}" 0 480
sleep 0.5
click_in 2 $TAB_RECEIVE

echo "offered receivers: the sender on PC 1 (buero)"
start_pc 1 "$work/list.m3u"
check "PC 1: the window opens" wait_for 20 has_window 1
win[1]=$(main_window_of 1)
xdotool windowmove "${win[1]}" 0 0
sleep 0.5
t0=$(now)
click_in 1 $TAB_SEND
click_in 1 $TARGET
check "PC 2's receiver is published on the LAN" wait_for 10 browsed
check "\"Empfänger:\" offers the receiver" wait_for 10 offered
echo "        offered $(($(now) - t0)) ms after send mode was entered"
import -window root "$work/shots/offered-receivers.png"
xdotool key Down Return Tab
sleep 0.5
check "the picked name reaches the receiver: the list arrives" wait_for 20 row_shown 2
import -window root "$work/shots/picked.png"

echo "offered receivers: the receiver leaves receive mode"
click_in 2 $TAB_LOCAL
t0=$(now)
check "the offer is gone within a few seconds" wait_for 6 not_offered
echo "        gone $(($(now) - t0)) ms after the receiver left receive mode"

echo "offered receivers: the receiver comes back, and is killed"
click_in 2 $TAB_RECEIVE
check "back in receive mode, it is published again" wait_for 10 browsed
kill -9 "$(program_of 2)"
t0=$(now)
check "a killed receiver is gone from the LAN within a few seconds" wait_for 6 not_browsed
echo "        gone $(($(now) - t0)) ms after it was killed"
xdotool key Escape
click_in 1 $EXIT
check "the sender ends" wait_for 10 bash -c "[[ -z \"\$(pgrep -u mirovell-test -f -- '^$(home 1)/mirovell( |\$)')\" ]]"
check "the settings file keeps the picked name" grep -q $'^LastConnection=wohnzimmer\r$' "$(home 1)/mirovell.ini"

if [[ -n "${OFFERED_SHOTS:-}" ]]; then
    mkdir -p "$OFFERED_SHOTS" && cp "$work/shots"/*.png "$OFFERED_SHOTS"/
fi
echo "offered receivers: $passed passed, $failed failed"
[[ $failed -eq 0 ]]
