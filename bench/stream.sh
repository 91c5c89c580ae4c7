#!/usr/bin/env bash
# What a user waits for when streaming, between two PCs made of network namespaces (a veth pair),
# with the real VLC, all in one run: VLC's own start by hand (exec to its first datagram at the
# receiving PC), the program's start ("Starten ..." clicked to the first datagram there) and the
# switch (a track request from the receiving PC to the first datagram of that track there). The
# receiving PC is bench/switch_peer.py, which knows each track on the wire by its picture width:
# three clips of 20 s with different sizes and a sequence header in every frame.
#
#   bench/stream.sh PROGRAM [RUNS] [SUMMARY_FILE]     (RUNS: of each kind, default 3)
#
# The program's own times of each switch's steps come from its log (the debug category
# "mirovell.switch"); STREAM_KEEP=FOLDER keeps the last run's program log and the receiving PC's
# events there.
#
# Needs root (namespaces), Xvfb, xdotool, cvlc, ffmpeg and the user mirovell-test (VLC refuses root).
set -uo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/cable.sh
program=$(realpath "${1:?usage: bench/stream.sh PROGRAM [RUNS] [SUMMARY_FILE]}")
runs=${2:-3}
summary=${3:-}
for tool in Xvfb xdotool cvlc ffmpeg nsenter setpriv ip python3; do
    command -v "$tool" >/dev/null || { echo "stream: $tool is missing"; exit 1; }
done
[[ $(id -u) -eq 0 ]] || { echo "stream: making network namespaces needs root"; exit 1; }
id -u mirovell-test >/dev/null 2>&1 || { echo "stream: the user mirovell-test is missing"; exit 1; }

SEND_IP=10.231.11.1
RECV_IP=10.231.11.2
work=$(mktemp -d /tmp/mirovell-stream.XXXXXX)
chmod 755 "$work"
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
    # the VLCs the program started (they outlive it), known by the folder of this run
    for p in $(pgrep -u mirovell-test -f -- "$work/send/"); do kill "$p" 2>/dev/null; done
    wait 2>/dev/null
    [[ -n "${STREAM_KEEP:-}" ]] && cp "$work/send.log" "$work/events.log" "$STREAM_KEEP/" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

cable_up "$SEND_IP" "$RECV_IP" || { echo "stream: no two network namespaces with a cable between them"; exit 1; }

start_xvfb 1280x1024x24 || { echo "stream: Xvfb did not start"; exit 1; }
pids+=("$xvfb")

mkdir -p "$work/media" "$work/send/run"
declare -A width=([a]=320 [b]=352 [c]=176)
declare -A size=([a]=320x240 [b]=352x288 [c]=176x144)
for k in a b c; do
    ffmpeg -v error -y -f lavfi -i "testsrc=duration=20:size=${size[$k]}:rate=25" -f lavfi -i sine=frequency=440:duration=20 \
        -c:v mpeg2video -g 1 -c:a mp2 -shortest "$work/media/clip $k.mpg" || exit 1
done
printf '%s\r\n' "#EXTM3U" "$work/media/clip a.mpg" "$work/media/clip b.mpg" "$work/media/clip c.mpg" >"$work/media/list.m3u"
cp "$program" "$work/send/mirovell"
printf '[LastSettings]\r\nLastConnection=%s\r\nvlc.exe=%s\r\nMinimizeOnStart=0\r\nAutoSavePlaylist=0\r\n\r\n[Settings]\r\n' \
    "$RECV_IP" "$(command -v cvlc)" >"$work/send/mirovell.ini"
chmod -R a+rX "$work/media"
chown -R mirovell-test: "$work/send"
chmod 700 "$work/send/run"

mkfifo "$work/asks"
touch "$work/events.log"
on "$pc_recv" python3 bench/switch_peer.py "$work" <"$work/asks" &
pids+=($!)
exec 4>"$work/asks"
as_user() {   # as_user command... &: in the sending PC, as the ordinary user, with the job's own process id
    exec nsenter --net="/proc/$pc_send/ns/net" -- setpriv --reuid=mirovell-test --regid=mirovell-test --init-groups \
        env -i PATH=/usr/bin:/bin HOME="$work/send" XDG_RUNTIME_DIR="$work/send/run" DISPLAY="$DISPLAY" LANG=C.UTF-8 \
        QT_LOGGING_RULES="mirovell.switch.debug=true" QT_FORCE_STDERR_LOGGING=1 \
        DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent/system_bus_socket "$@"
}
now() { date +%s.%N; }
# the first time at or after T that the stream showed pictures W wide
seen() {   # seen T W
    awk -v t="$1" -v w="$2" '$1 == "width" && $2 >= t && $3 == w { print $2; exit }' "$work/events.log"
}
wait_seen() {   # wait_seen T W: prints the milliseconds from T, or nothing after 20 s
    local t=$1 w=$2 at=""
    for _ in $(seq 200); do
        at=$(seen "$t" "$w")
        [[ -n "$at" ]] && break
        sleep 0.1
    done
    [[ -n "$at" ]] && awk -v a="$at" -v t="$t" 'BEGIN { printf "%d\n", (a - t) * 1000 }'
}
# the program's own times of a switch's steps after T ("switch read|written|input SECONDS" in its log)
step() {   # step NAME T
    awk -v n="$1" -v t="$2" '$(NF - 1) == n && $NF >= t { print $NF; exit }' "$work/send.log"
}
ms() { [[ -n "$1" && -n "$2" ]] && awk -v a="$1" -v b="$2" 'BEGIN { printf "%d", (b - a) * 1000 }' || echo "?"; }
median() { sort -n | awk '{ v[NR] = $1 } END { if (NR) print v[int((NR + 1) / 2)] }'; }

# ---- VLC's own start, by hand
for _ in $(seq "$runs"); do
    t=$(now)
    as_user cvlc --sout-keep "--sout=#standard{mux=ts,dst=$RECV_IP,access=udp:}" "$work/media/list.m3u" >/dev/null 2>&1 &
    vlc=$!
    wait_seen "$t" 320 >>"$work/vlc.txt"
    kill "$vlc" 2>/dev/null
    wait "$vlc" 2>/dev/null
    sleep 1.5
done

# ---- the program: its start, then switches
window_of() { xdotool search --all --onlyvisible --pid "$1" --name "VLC- Drag&Drop - Mirovell" 2>/dev/null | head -n1; }
click_in() {   # click_in window x y
    local X Y WIDTH HEIGHT SCREEN WINDOW
    eval "$(xdotool getwindowgeometry --shell "$1")"
    xdotool mousemove $((X + $2)) $((Y + $3)) click 1
}
lists() { grep -c '^list' "$work/events.log"; }
for run in $(seq "$runs"); do
    as_user "$work/send/mirovell" "$work/media/list.m3u" >"$work/send.log" 2>&1 &
    app=$!
    win=""
    for _ in $(seq 100); do win=$(window_of "$app"); [[ -n "$win" ]] && break; sleep 0.1; done
    [[ -n "$win" ]] || { echo "stream: the window did not open"; break; }
    xdotool windowmove "$win" 0 0
    sleep 0.5
    before=$(lists)
    click_in "$win" 230 21   # "Senden"
    for _ in $(seq 100); do (($(lists) > before)) && break; sleep 0.1; done
    sleep 2.5   # the receiver's request channel is up
    t=$(now)
    click_in "$win" 232 62   # "Starten ..."
    wait_seen "$t" 320 >>"$work/start.txt"
    # requests from the receiving PC while VLC streams: each for a track of another width
    for k in c b a; do
        sleep 3
        t=$(now)
        echo "ask $work/media/clip $k.mpg" >&4
        sleep 0.05
        asked=$(awk '$1 == "asked" { t = $2 } END { print t }' "$work/events.log")
        wait_seen "${asked:-$t}" "${width[$k]}" >>"$work/switch.txt"
        # where it went: request read at the sender, commands written to VLC, VLC's "new input",
        # first datagram of the track at the receiving PC
        a=${asked:-$t}
        rd=$(step read "$a")
        wr=$(step written "${rd:-$a}")
        in=$(step input "${wr:-$a}")
        at=$(seen "$a" "${width[$k]}")
        echo "$(ms "$a" "$rd") $(ms "$rd" "$wr") $(ms "$wr" "$in") $(ms "$in" "$at") $(ms "$wr" "$at")" >>"$work/steps.txt"
    done
    # the program's sending VLC, known by its control socket (or play list) in this run's folder
    kill "$app" 2>/dev/null
    wait "$app" 2>/dev/null
    status=$?
    if ((status != 143 && status != 0)); then   # anything but our own TERM: say what it said
        echo "stream: run $run: the program ended with status $status"
        grep -v '^\[' "$work/send.log" | tail -n 20
    fi
    for p in $(pgrep -u mirovell-test -f -- "$work/send/mirovell"); do kill "$p" 2>/dev/null; done
    sleep 1.5
done

vlc=$(median <"$work/vlc.txt")
start=$(median <"$work/start.txt")
switch=$(median <"$work/switch.txt")
echo "stream, between two PCs, median of each (all runs in ms):"
echo "  VLC's own start, exec to its first datagram:      ${vlc:-?} ms ($(tr '\n' ' ' <"$work/vlc.txt"))"
echo "  start, \"Starten ...\" to the first datagram:        ${start:-?} ms ($(tr '\n' ' ' <"$work/start.txt"))"
echo "  switch, track request to its first datagram:      ${switch:-?} ms ($(tr '\n' ' ' <"$work/switch.txt"))"
col() { awk -v c="$1" '$c != "?" { print $c }' "$work/steps.txt" 2>/dev/null | median; }
echo "  the switch's steps, median: request to its reading at the sender $(col 1) ms, to the commands written"
echo "    to VLC $(col 2) ms, to VLC's \"new input\" $(col 3) ms, to the first datagram $(col 4) ms;"
echo "    VLC's own part, commands written to the first datagram: $(col 5) ms ($(awk '{ printf "%s ", $5 }' "$work/steps.txt" 2>/dev/null))"
if [[ -n "$summary" ]]; then
    printf 'vlc_start %s\nstart %s\nswitch %s\nswitch_vlc %s\n' "$vlc" "$start" "$switch" "$(col 5)" >"$summary"
fi
