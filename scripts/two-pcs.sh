#!/usr/bin/env bash
# Two PCs on one machine: two network namespaces joined by a veth pair, each with an address of
# its own, a sending Mirovell in one and a receiving Mirovell in the other (each in its own
# folder, on the real ports 22355 and 22356), both under one Xvfb. It follows the whole road: the
# track list reaches the receiver; the real VLC streams both tracks, in order, to the receiving
# PC, whose UDP port 1234 catches the datagrams (checked with ffprobe for video and audio); a
# double-click on the receiver puts the second track first at the sender, and the same VLC, told
# over its control socket, streams that track; the time from the double-click to its first
# datagram at the receiving PC is printed.
# Needs root (namespaces) and the ordinary user mirovell-test (VLC refuses root); without them it
# is skipped, unless CI is set. Usage: scripts/two-pcs.sh [path/to/mirovell]
set -uo pipefail
cd "$(dirname "$0")/.."
program=$(realpath "${1:-build/test/mirovell}")

stage="two PCs"
source scripts/lib/checks.sh
source scripts/lib/cable.sh
needs_lab Xvfb xdotool import cvlc ffmpeg ffprobe nsenter setpriv ip python3

SEND_IP=10.231.7.1
RECV_IP=10.231.7.2
work=$(mktemp -d /tmp/mirovell-two-pcs.XXXXXX)
chmod 755 "$work"
shots=$work/shots
mkdir -p "$shots"
echo "two PCs: work folder $work"

pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
    # the VLCs the sending program started: known by the play list in our own folder
    for p in $(vlcs); do kill "$p" 2>/dev/null; done
    wait 2>/dev/null
    # what the programs said is the only clue to a failure once the folder is gone
    if ((${failed:-0} > 0)); then
        for side in send recv; do
            [[ -s "$work/$side.log" ]] && { echo "---- $side.log"; tail -n 40 "$work/$side.log"; }
        done
    fi
    [[ -n "${KEEP_TWO_PCS:-}" ]] || rm -rf "$work"
}
trap cleanup EXIT

passed=0
failed=0

# ---- the two PCs: a network namespace each, held open by a sleeping process, one cable between
cable_up "$SEND_IP" "$RECV_IP" || skip "no two network namespaces with a cable between them here"

# ---- one display for both; its socket file reaches every namespace
start_xvfb 1280x1024x24 "$work/xvfb.log" || skip "Xvfb did not start"
pids+=("$xvfb")

# ---- media, play list, and a folder for each program with settings of its own
mkdir -p "$work/media"
make_clips "$work/media" || skip "ffmpeg could not make the clips"
printf '%s\r\n' "#EXTM3U" "$work/media/clip one.mpg" "$work/media/clip two.mpg" >"$work/media/list.m3u"
chmod -R a+rX "$work/media"
for side in send recv; do
    mkdir -p "$work/$side/run"
    cp "$program" "$work/$side/mirovell"
    target=$RECV_IP
    [[ $side == recv ]] && target=$SEND_IP
    printf '[LastSettings]\r\nLastConnection=%s\r\nvlc.exe=%s\r\nMinimizeOnStart=0\r\nAutoSavePlaylist=0\r\n\r\n[Settings]\r\n' \
        "$target" "$(command -v cvlc)" >"$work/$side/mirovell.ini"
    chown -R mirovell-test: "$work/$side"
    chmod 700 "$work/$side/run"
done

# Starts the program of one side in its PC, as the ordinary user; sets started to its process id.
start_side() {   # start_side pc side [play list]
    local pc=$1 side=$2
    shift 2
    nsenter --net="/proc/$pc/ns/net" -- setpriv --reuid=mirovell-test --regid=mirovell-test --init-groups \
        env -i PATH=/usr/bin:/bin HOME="$work/$side" XDG_RUNTIME_DIR="$work/$side/run" \
        XDG_CONFIG_HOME="$work/$side/config" DISPLAY="$DISPLAY" LANG=C.UTF-8 \
        DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent/system_bus_socket \
        "$work/$side/mirovell" "$@" >"$work/$side.log" 2>&1 &
    started=$!
    pids+=("$started")
}
window_of() { xdotool search --all --onlyvisible --pid "$1" --name "VLC- Drag&Drop - Mirovell" 2>/dev/null | head -n1; }
has_window() { [[ -n "$(window_of "$1")" ]]; }
# Clicks (or double-clicks) at a point of a window's client area, in pixels.
click_in() {   # click_in window x y [repeat]
    local X Y WIDTH HEIGHT SCREEN WINDOW
    eval "$(xdotool getwindowgeometry --shell "$1")"
    xdotool mousemove $((X + $2)) $((Y + $3)) click --repeat "${4:-1}" --delay 120 1
    sleep 0.6
}
capture_size() { stat -c %s "$work/capture.ts" 2>/dev/null || echo 0; }
# Waits until the datagrams stop for a while (VLC idles after its list); at most a minute.
wait_until_quiet() {
    local last=-1 still=0 until=$((SECONDS + 60))
    while ((still < 3 && SECONDS < until)); do
        sleep 1
        local now
        now=$(capture_size)
        if ((now == last && now > 0)); then still=$((still + 1)); else still=0; fi
        last=$now
    done
    ((still >= 3))
}
# What ffprobe finds in a part of the capture: "video,<width>" and "audio" lines.
probe() {   # probe from-byte [to-byte]
    tail -c +$(($1 + 1)) "$work/capture.ts" | head -c "${2:-999999999}" >"$work/part.ts"
    ffprobe -v quiet -show_entries stream=codec_type,width -of csv=p=0 "$work/part.ts" | grep . | sort -u
}
vlcs() { pgrep -u mirovell-test -f -- "$work/send/mirovell_TmpPlst.m3u"; }
# Whether the second line of the receiver's list shows any text (one colour: an empty line).
second_line_shown() { [[ $(import -window "$recv_win" -crop 400x8+12+124 +repage png:- | identify -format %k -) -gt 1 ]]; }
first_entry() { grep -av '^#' "$work/send/mirovell_TmpPlst.m3u" 2>/dev/null | head -n1 | tr -d '\r'; }

# the receiving PC listens on UDP 1234 and keeps every datagram
nsenter --net="/proc/$pc_recv/ns/net" -- bash -c "$(declare -f catch_stream); catch_stream '$work/capture.ts' '$work/widths.log'" >/dev/null 2>&1 &
pids+=($!)

# Places at the window's start size, from the design rectangles, in pixels.
TAB_SEND="230 21"; TAB_RECEIVE="383 21"; RUN_VLC="232 62"
LIST_ROW_2="60 128"

echo "two PCs: the receiving PC ($RECV_IP) waits for a sender"
start_side "$pc_recv" recv
recv_pid=$started
check "the receiving window opens" wait_for 20 has_window "$recv_pid"
recv_win=$(window_of "$recv_pid")
xdotool windowmove "$recv_win" 0 460
sleep 0.5
click_in "$recv_win" $TAB_RECEIVE
check "the receiver shows only its waiting line" not second_line_shown

echo "two PCs: the sending PC ($SEND_IP) sends to $RECV_IP"
start_side "$pc_send" send "$work/media/list.m3u"
send_pid=$started
check "the sending window opens" wait_for 20 has_window "$send_pid"
send_win=$(window_of "$send_pid")
xdotool windowmove "$send_win" 0 0
sleep 0.5
click_in "$send_win" $TAB_SEND
check "the track list arrives at the receiver" wait_for 10 second_line_shown
import -window root "$shots/1-list-arrived.png"
click_in "$send_win" $RUN_VLC
check "the sending VLC starts" wait_for 20 bash -c "[[ \$(pgrep -c -u mirovell-test -f -- '$work/send/mirovell_TmpPlst.m3u') -eq 1 ]]"
first_vlc=$(vlcs)
check "the list is played as it is, clip one first" test "$(first_entry)" = "$work/media/clip one.mpg"
check "the stream reaches UDP 1234 on the receiving PC" wait_for 20 bash -c "(( \$(stat -c %s '$work/capture.ts') > 100000 ))"
check "both tracks are streamed to the end" wait_until_quiet
size=$(capture_size)
check "whole transport-stream packets arrive" test $((size % 188)) -eq 0
first=$(probe 0 $((size / 3)))
last=$(probe $((size * 2 / 3)))
echo "$first" "$last" | tr ' ' '\n' | sed 's/^/        ffprobe: /'
check "clip one (320 pixels wide) comes first" grep -q '^video,320' <<<"$first"
check "clip two (352 pixels wide) comes last" grep -q '^video,352' <<<"$last"
import -window root "$shots/2-streaming.png"

echo "two PCs: a double-click on the receiver asks for clip two"
offset=$(capture_size)
clicked=$(date +%s.%N)
click_in "$recv_win" $LIST_ROW_2 2
check "the sender plays clip two first" wait_for 15 bash -c "[[ \"\$(grep -av '^#' '$work/send/mirovell_TmpPlst.m3u' | head -n1 | tr -d '\r')\" == '$work/media/clip two.mpg' ]]"
clip_two_arrived() { [[ -n "$(width_since "$work/widths.log" "$clicked" 352)" ]]; }
check "clip two reaches the receiving PC" wait_for 15 clip_two_arrived
arrived=$(width_since "$work/widths.log" "$clicked" 352)
[[ -n "$arrived" ]] && echo "        switch latency: $(awk -v a="$arrived" -v c="$clicked" 'BEGIN { printf "%d", (a - c) * 1000 }') ms (double-click at the receiver to the first datagram of clip two there)"
check "exactly one sending VLC runs" test "$(vlcs | wc -l)" -eq 1
# it took the new order through its control socket, without a restart
check "and it is the same one" test "$(vlcs)" = "$first_vlc"
check "the sender's VLC takes commands on a socket in the user's runtime folder" \
    bash -c "compgen -G '$work/send/run/mirovell-vlc-*.sock' >/dev/null"
check "the new stream reaches UDP 1234 on the receiving PC" wait_for 20 bash -c "(( \$(stat -c %s '$work/capture.ts') > $offset + 150000 ))"
import -window root "$shots/3-after-request.png"
streams=$(probe "$offset")
echo "$streams" | sed 's/^/        ffprobe: /'
check "what arrives holds video" grep -q '^video' <<<"$streams"
check "what arrives holds audio" grep -q '^audio' <<<"$streams"
check "and it is clip two (352 pixels wide)" grep -q '^video,352' <<<"$streams"

# the session ends: its control socket goes with it, though VLC would leave it behind
kill -TERM "$send_pid"
check "the ended session's control socket is gone" \
    wait_for 10 bash -c "! compgen -G '$work/send/run/mirovell-vlc-$send_pid-*.sock' >/dev/null"

if [[ -n "${TWO_PCS_SHOTS:-}" ]]; then
    mkdir -p "$TWO_PCS_SHOTS" && cp "$shots"/*.png "$TWO_PCS_SHOTS"/
fi
echo "two PCs: $passed passed, $failed failed"
[[ $failed -eq 0 ]]
