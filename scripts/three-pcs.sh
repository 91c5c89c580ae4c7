#!/usr/bin/env bash
# One sender, two receivers: three network namespaces on one bridge (scripts/netlab.sh), a Mirovell
# in each (own folders, the real ports 22355 and 22356), all under one Xvfb, driven by clicks as a
# user would. The sender chooses "Bereitstellen ( Clients > 1)"; each receiver chooses "Abholen
# von (Clients > 1)" and types the sender's address. It shows: the sender asks about each receiver
# in a notice and the user lets both in with a click on "Zulassen"; both receivers get the list; the
# real VLC at the sender streams once, to the multicast group, and both receiving PCs catch the
# whole transport stream (checked with ffprobe for video and audio) while their own VLCs play it;
# a double-click at the second receiver moves that track first at the sender, the same VLC, told
# over its control socket, streams it (the switch latency is printed), and both receivers' lists
# follow. Prints the bytes it measures on the wire.
# Needs root and the user mirovell-test (VLC refuses root); skipped without them, unless CI is set.
# Usage: scripts/three-pcs.sh [path/to/mirovell]    (THREE_PCS_SHOTS=folder keeps the screenshots)
set -uo pipefail
cd "$(dirname "$0")/.."
program=$(realpath "${1:-build/test/mirovell}")

stage="three PCs"
source scripts/lib/checks.sh
source scripts/lib/cable.sh
source scripts/lib/pcs.sh
needs_lab Xvfb xdotool import identify cvlc ffmpeg ffprobe ip runuser pgrep python3
# by hand on a machine with a network: a namespace of our own, so nothing here reaches the LAN
alone "$@"

SEND_IP=10.231.9.1
GROUP=239.255.22.55
PORT=1234
xvfb=
failed=0
cleanup() {
    [[ -n "$xvfb" ]] && kill "$xvfb" 2>/dev/null
    # what the programs said is the only clue to a failure once the folders are gone
    if ((failed > 0)) && [[ -n "${NETLAB_DIR:-}" ]]; then
        for pc in 1 2 3; do
            [[ -s "$NETLAB_DIR/pc-$pc.log" ]] && { echo "---- PC $pc"; tail -n 30 "$NETLAB_DIR/pc-$pc.log"; }
        done
    fi
}
trap cleanup EXIT
source scripts/netlab.sh
netlab_up multi-3pcs "$SEND_IP/24" 10.231.9.2/24 10.231.9.3/24 || skip "no network namespaces here"
work=$NETLAB_DIR
shots=$work/shots
mkdir -p "$shots"

passed=0

# ---- one display for all three; its socket file reaches every namespace
start_xvfb 1440x960x24 "$work/xvfb.log" || skip "Xvfb did not start"

# ---- media and the three programs, each in its PC's home with settings of its own
mkdir -p "$work/media"
make_clips "$work/media" || skip "ffmpeg could not make the clips"
printf '%s\r\n' "#EXTM3U" "$work/media/clip one.mpg" "$work/media/clip two.mpg" >"$work/media/list.m3u"
chmod -R a+rX "$work/media"
# the receivers' VLCs play without a window of their own, so none covers the windows clicked at
printf '#!/bin/sh\nexec %s --vout=dummy --aout=dummy "$@"\n' "$(command -v cvlc)" >"$work/quiet-vlc"
chmod 755 "$work/quiet-vlc"
for pc in 1 2 3; do
    cp "$program" "$(home $pc)/mirovell"
    vlc=$(command -v cvlc)
    ((pc > 1)) && vlc=$work/quiet-vlc
    printf '[LastSettings]\r\nvlc.exe=%s\r\nMinimizeOnStart=0\r\nAutoSavePlaylist=0\r\n\r\n[Settings]\r\n' \
        "$vlc" >"$(home $pc)/mirovell.ini"
    chown -R mirovell-test: "$(home $pc)"
done

# A strip of a list's row as an image: row 1 or 2 of the list at the window's start size.
row() { import -window "${win[$1]}" -crop 400x10+12+$((95 + 17 * $2)) +repage png:-; }
row_shown() { [[ $(row "$1" "$2" | identify -format %k -) -gt 1 ]]; }
same_first_rows() { cmp -s <(row 2 1) <(row 3 1); }
first_entry() { grep -av '^#' "$(home 1)/mirovell_TmpPlst.m3u" 2>/dev/null | head -n1 | tr -d '\r'; }
sending_vlcs() { pgrep -u mirovell-test -f -- "$(home 1)/mirovell_TmpPlst.m3u"; }
size_of() { stat -c %s "$1" 2>/dev/null || echo 0; }
# Waits until both captures stop growing for three seconds (VLC idles after its list).
wait_until_quiet() {
    local last="" still=0 until=$((SECONDS + 60)) now
    while ((still < 3 && SECONDS < until)); do
        sleep 1
        now="$(size_of "$(home 2)/capture.ts") $(size_of "$(home 3)/capture.ts")"
        if [[ "$now" == "$last" && "$now" != "0 0" ]]; then still=$((still + 1)); else still=0; fi
        last=$now
    done
    ((still >= 3))
}
probe() {   # probe file from-byte [to-byte]: "video,<width>" and "audio" lines
    tail -c +$(($2 + 1)) "$1" | head -c "${3:-999999999}" >"$work/part.ts"
    ffprobe -v quiet -show_entries stream=codec_type,width -of csv=p=0 "$work/part.ts" | grep . | sort -u
}

# Places at the window's start size (691 x 407 pixels), from the controls' rectangles.
TAB_SEND="230 21"; TAB_RECEIVE="383 21"; RUN_VLC="232 62"; START_CLIENT="385 61"
SEVERAL="400 92"; PICK_UP="293 91"; PICK_UP_FROM="434 92"; ROW_2="60 128"; ADMIT="572 88"
# the notice about a receiver that asks to be let in, on its light yellow
notice_shown() { import -window "${win[1]}" -crop 1x1+535+60 -depth 8 txt:- 2>/dev/null | grep -qi '#FFFFC0'; }

# each receiving PC catches what reaches it of the group, beside its own VLC
for pc in 2 3; do
    netlab_spawn_root "$pc" /usr/bin/python3 scripts/lab/streamtools.py mcast "$GROUP" "$PORT" \
        "$(home $pc)/capture.ts" 120 0.0.0.0 "$(home $pc)/widths.log" >/dev/null 2>&1
done

echo "three PCs: two receivers pick up from $SEND_IP"
for pc in 2 3; do
    start_pc $pc
    check "PC $pc: the window opens" wait_for 20 has_window $pc
    win[$pc]=$(window_of $pc)
    xdotool windowmove "${win[$pc]}" $(((pc - 2) * 720)) 480
    sleep 0.5
    click_in $pc $TAB_RECEIVE
    click_in $pc $PICK_UP
    click_in $pc $PICK_UP_FROM
    xdotool key ctrl+a
    xdotool type --delay 20 "$SEND_IP"
    xdotool key Tab
    sleep 0.3
    click_in $pc $START_CLIENT
done
check "both receiving VLCs join the group" wait_for 20 \
    bash -c "[[ \$(pgrep -c -u mirovell-test -f -- 'udp://@$GROUP:$PORT') -eq 2 ]]"

echo "three PCs: the sender ($SEND_IP) serves several"
start_pc 1 "$work/media/list.m3u"
check "PC 1: the window opens" wait_for 20 has_window 1
win[1]=$(window_of 1)
xdotool windowmove "${win[1]}" 0 0
sleep 0.5
click_in 1 $TAB_SEND
click_in 1 $SEVERAL
# the receivers were turned away while nobody listened: they come back within their back-off
for n in 1 2; do
    check "the sender asks about receiver $n" wait_for 45 notice_shown
    [[ $n -eq 1 ]] && import -window root "$shots/0-asked.png"
    click_in 1 $ADMIT
done
check "receiver 1 gets the list" wait_for 15 row_shown 2 2
check "receiver 2 gets the list" wait_for 15 row_shown 3 2
import -window root "$shots/1-lists-arrived.png"

click_in 1 $RUN_VLC
check "one sending VLC starts" wait_for 20 bash -c "[[ \$(pgrep -c -u mirovell-test -f -- '$(home 1)/mirovell_TmpPlst.m3u') -eq 1 ]]"
first_vlc=$(sending_vlcs)
cmdline=$(tr '\0' ' ' <"/proc/$first_vlc/cmdline" 2>/dev/null)
check "it keeps its stream output from entry to entry" grep -q -- '--sout-keep' <<<"$cmdline"
check "it streams to the group" grep -q -- "dst=$GROUP:$PORT," <<<"$cmdline"
check "it takes commands on its control socket" grep -q -- '--rc-unix' <<<"$cmdline"
check "the stream reaches receiver 1" wait_for 20 bash -c "(( \$(stat -c %s '$(home 2)/capture.ts') > 100000 ))"
check "the stream reaches receiver 2" wait_for 20 bash -c "(( \$(stat -c %s '$(home 3)/capture.ts') > 100000 ))"
import -window root "$shots/2-streaming.png"
check "both tracks are streamed to the end" wait_until_quiet
wire=$(netlab_switch cat "/sys/class/net/$(netlab_port 1)/statistics/rx_bytes")
for pc in 2 3; do
    size=$(size_of "$(home $pc)/capture.ts")
    echo "        receiver $((pc - 1)) caught $size bytes"
    check "receiver $((pc - 1)): whole transport-stream packets" test $((size % 188)) -eq 0
    first=$(probe "$(home $pc)/capture.ts" 0 $((size / 3)))
    last=$(probe "$(home $pc)/capture.ts" $((size * 2 / 3)))
    echo "$first" "$last" | tr ' ' '\n' | sed 's/^/        ffprobe: /'
    check "receiver $((pc - 1)): video and audio" grep -q '^audio' <<<"$first"
    check "receiver $((pc - 1)): clip one (320 wide) first" grep -q '^video,320' <<<"$first"
    check "receiver $((pc - 1)): clip two (352 wide) last" grep -q '^video,352' <<<"$last"
done
size1=$(size_of "$(home 2)/capture.ts")
size2=$(size_of "$(home 3)/capture.ts")
echo "        the sender put $wire bytes on the wire"
check "both receivers caught the same stream" test "$size1" -eq "$size2"
# one copy for all: what left the sender is one stream plus headers and the link, not two
check "the sender streamed once" test "$wire" -lt $((size1 * 3 / 2))

echo "three PCs: a double-click at receiver 2 asks for clip two"
before=$(row 2 1 | md5sum)
offset1=$size1
offset2=$size2
clicked=$(date +%s.%N)
click_in 3 $ROW_2 2
check "the sender plays clip two first" wait_for 15 bash -c "[[ \"\$(grep -av '^#' '$(home 1)/mirovell_TmpPlst.m3u' | head -n1 | tr -d '\r')\" == '$work/media/clip two.mpg' ]]"
clip_two_at() { [[ -n "$(width_since "$(home "$1")/widths.log" "$clicked" 352)" ]]; }
check "clip two reaches receiver 2" wait_for 15 clip_two_at 3
arrived=$(width_since "$(home 3)/widths.log" "$clicked" 352)
[[ -n "$arrived" ]] && echo "        switch latency: $(awk -v a="$arrived" -v c="$clicked" 'BEGIN { printf "%d", (a - c) * 1000 }') ms (double-click at receiver 2 to the first datagram of clip two there)"
# the same VLC took the new order through its control socket
check "exactly one sending VLC runs, the same one" test "$(sending_vlcs)" = "$first_vlc"
lists_follow() { same_first_rows && [[ "$(row 2 1 | md5sum)" != "$before" ]]; }
check "both lists follow" wait_for 10 lists_follow
check "the receiving VLCs play on" test "$(pgrep -c -u mirovell-test -f -- "udp://@$GROUP:$PORT")" -eq 2
check "the new stream reaches receiver 1" wait_for 20 bash -c "(( \$(stat -c %s '$(home 2)/capture.ts') > $offset1 + 150000 ))"
check "the new stream reaches receiver 2" wait_for 20 bash -c "(( \$(stat -c %s '$(home 3)/capture.ts') > $offset2 + 150000 ))"
import -window root "$shots/3-after-request.png"
for pc in 2 3; do
    offset=$offset1
    ((pc == 3)) && offset=$offset2
    streams=$(probe "$(home $pc)/capture.ts" "$offset")
    echo "$streams" | sed 's/^/        ffprobe: /'
    check "receiver $((pc - 1)) now gets clip two (352 wide) with audio" \
        bash -c "grep -q '^video,352' <<<'$streams' && grep -q '^audio' <<<'$streams'"
done

if [[ -n "${THREE_PCS_SHOTS:-}" ]]; then
    mkdir -p "$THREE_PCS_SHOTS" && cp "$shots"/*.png "$THREE_PCS_SHOTS"/
fi
echo "three PCs: $passed passed, $failed failed"
[[ $failed -eq 0 ]]
