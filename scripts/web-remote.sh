#!/usr/bin/env bash
# The web remote: three network namespaces on one bridge (scripts/netlab.sh). PC 1 is the real
# program as the sender, under Xvfb, clicked as a user would, with the real VLC; PC 2 and PC 3 are
# phones, each a headless Chromium driven through its DevTools protocol (scripts/lab/cdp.py) at a
# phone's width. The phone on PC 2 asks, is let in by a click on "Zulassen" in the sender's notice,
# sees the list, taps the second track (and the sender plays it first), pauses, goes on and skips;
# the phone on PC 3, not let in, sees no entry of the list; a flood of requests from PC 3 stalls
# neither the window (its answers to _NET_WM_PING, every 20 ms, are timed) nor the page on PC 2;
# "Antworten vergessen" takes PC 2's access back.
# Needs root, the user mirovell-test, Chromium and python3-websocket; skipped without them, unless CI is set.
# Usage: scripts/web-remote.sh [path/to/mirovell]    (WEB_SHOTS=folder keeps the screenshots)
set -uo pipefail
cd "$(dirname "$0")/.."
program=$(realpath "${1:-build/test/mirovell}")

stage="web remote"
source scripts/lib/checks.sh
source scripts/lib/cable.sh
source scripts/lib/pcs.sh
needs_lab Xvfb xdotool import ip runuser pgrep python3 chromium cvlc ffmpeg
/usr/bin/python3 -c "import Xlib, websocket" 2>/dev/null || skip "python3-xlib or python3-websocket is missing (scripts/deps.sh installs them)"
alone "$@"

SENDER=10.231.24.1
PHONE=10.231.24.2
STRANGER=10.231.24.3
URL="http://$SENDER:22357/"
LONGEST_STOP_MS=${WEB_LONGEST_STOP_MS:-1000}
xvfb=
failed=0
cleanup() {
    if [[ -n "${WEB_SHOTS:-}" && -n "${NETLAB_DIR:-}" ]]; then
        mkdir -p "$WEB_SHOTS" && cp "$NETLAB_DIR"/shots/*.png "$WEB_SHOTS"/ 2>/dev/null
    fi
    [[ -n "$xvfb" ]] && kill "$xvfb" 2>/dev/null
    if ((failed > 0)) && [[ -n "${NETLAB_DIR:-}" ]]; then
        for f in "$NETLAB_DIR"/*.log; do
            [[ -s "$f" ]] && { echo "---- $f"; grep -v dbus "$f" | tail -n 30; }
        done
    fi
}
trap cleanup EXIT
source scripts/netlab.sh
netlab_up web "$SENDER/24" "$PHONE/24" "$STRANGER/24" || skip "no network namespaces here"
work=$NETLAB_DIR
shots=$work/shots
mkdir -p "$shots" "$work/media"
passed=0
# the browsers' driver runs as the test user, who may not reach into the checkout
cp scripts/lab/cdp.py "$work/cdp.py" && chmod 644 "$work/cdp.py"
cdp=$work/cdp.py
flood=$(realpath scripts/lab/webflood.py)
stranger=$(realpath scripts/lab/stranger.py)

start_xvfb 1280x900x24 "$work/xvfb.log" || skip "Xvfb did not start"

# three clips of 40 s, long enough to be paused and skipped while they play
for name in one two three; do
    ffmpeg -v error -y -f lavfi -i testsrc=duration=40:size=160x120:rate=10 -f lavfi -i sine=duration=40 \
        -c:v mpeg2video -c:a mp2 -shortest "$work/media/clip $name.mpg" || skip "ffmpeg could not make the clips"
done
printf '#EXTM3U\r\n%s\r\n%s\r\n%s\r\n' "$work/media/clip one.mpg" "$work/media/clip two.mpg" \
    "$work/media/clip three.mpg" >"$work/media/list.m3u"
chmod -R a+rX "$work/media"
home=$(home 1)
cp "$program" "$home/mirovell"
printf '[LastSettings]\r\nLastConnection=%s\r\nvlc.exe=%s\r\nMinimizeOnStart=0\r\nAutoSavePlaylist=0\r\n\r\n[Settings]\r\n' \
    "$PHONE" "$(command -v cvlc)" >"$home/mirovell.ini"
chown -R mirovell-test: "$home"

click_at() { click_in 1 "$@"; }
# Places at the window's start size (691 x 407 pixels), from the controls' rectangles.
TAB_SEND="230 21"; RUN_VLC="232 62"; ADMIT="572 88"; FORGET="609 88"
notice_shown() { timeout 20 import -window "${win[1]}" -crop 1x1+535+60 -depth 8 txt:- 2>/dev/null | grep -qi '#FFFFC0'; }
first_entry() { grep -av '^#' "$home/mirovell_TmpPlst.m3u" 2>/dev/null | head -n1 | tr -d '\r'; }
vlc_runs() { pgrep -u mirovell-test -f -- "$home/mirovell_TmpPlst.m3u" >/dev/null; }

# phone PC: its own Chromium, as the test user, with its DevTools port on the PC's own loopback
start_browser() {   # start_browser pc
    netlab_spawn_user "$1" chromium --headless=new --disable-gpu --no-first-run --no-default-browser-check --window-size=390,844 \
        --user-data-dir="$work/home-$1/chromium" --remote-debugging-port=9222 about:blank >"$work/chromium-$1.log" 2>&1
}
phone() {   # phone pc cdp-command...: the driver, beside that PC's browser
    local pc=$1
    shift
    netlab_user "$pc" /usr/bin/python3 "$cdp" "$@"
}
shot() { netlab_root "$1" /usr/bin/python3 "$cdp" shot "$2"; }   # shot pc file: written as root
browser_up() { phone "$1" eval 1 >/dev/null 2>&1; }
rows() { phone "$1" eval "document.querySelectorAll('#list li').length"; }

echo "web remote: the sender ($SENDER) with three clips"
start_pc 1 "$work/media/list.m3u"
check "the window opens" wait_for 30 has_window 1
win[1]=$(window_of 1)
xdotool windowmove "${win[1]}" 0 0
sleep 1
click_at $TAB_SEND
served() { netlab_root 2 /usr/bin/python3 -c "import urllib.request as u; u.urlopen('$URL', timeout=3)" 2>/dev/null; }
check "in send mode, the page is served" wait_for 10 served
import -window "${win[1]}" "$shots/window-send.png"

echo "web remote: a phone ($PHONE) asks"
start_browser 2
check "PC 2: Chromium runs" wait_for 30 browser_up 2
phone 2 open "$URL" "en-GB,en;q=0.9"
check "the page says how to ask" wait_for 10 phone 2 wait "#askBtn" "Ask for access" 1
check "and shows no entry of the list" test "$(rows 2)" = 0
shot 2 "$shots/web-remote-ask-en.png"
phone 2 tap "#askBtn"
check "the sender's notice asks about the browser" wait_for 10 notice_shown
import -window "${win[1]}" "$shots/window-notice.png"
check "the phone waits for the answer" phone 2 wait "#askState" "Waiting" 5
click_at $ADMIT
check "let in, the phone shows the list" phone 2 wait "#list" "clip three.mpg" 10
check "three rows" test "$(rows 2)" = 3
check "and its WebSocket is open, for what changes" test "$(phone 2 eval "socket.readyState")" = 1

echo "web remote: the sender starts VLC; the phone steers it"
click_at $RUN_VLC
check "the sending VLC runs" wait_for 20 vlc_runs
check "the phone shows what plays: clip one" phone 2 wait "#now" "clip one" 20
check "and the controls are enabled" test "$(phone 2 eval "document.getElementById('next').disabled")" = false
phone 2 tap "#list li:nth-child(2) button"
check "a tap on the second track: the sender plays clip two first" \
    wait_for 15 bash -c "[[ \"\$(grep -av '^#' '$home/mirovell_TmpPlst.m3u' | head -n1 | tr -d '\r')\" == '$work/media/clip two.mpg' ]]"
check "VLC plays clip two, the phone shows it" phone 2 wait "#now" "clip two" 15
check "the phone's list follows: clip two is first" phone 2 wait "#list li:first-child" "clip two" 5
shot 2 "$shots/web-remote-en.png"
phone 2 tap "#pause"
check "Pause: VLC pauses, the button says Resume" phone 2 wait "#pause" "Resume" 10
check "and the phone says paused" phone 2 wait "#now" "paused" 5
phone 2 tap "#pause"
check "Resume: VLC plays on" phone 2 wait "#pause" "Pause" 10
phone 2 tap "#next"
check "Next: VLC skips to clip one (now second)" phone 2 wait "#now" "clip one" 10
phone 2 open "$URL" "de-DE,de;q=0.9,en;q=0.5"
check "in German" phone 2 wait "#pause" "Pause" 10
check "the German page shows the list" phone 2 wait "#prev" "Zurück" 5
shot 2 "$shots/web-remote-de.png"

echo "web remote: a second phone ($STRANGER), not let in"
start_browser 3
check "PC 3: Chromium runs" wait_for 30 browser_up 3
phone 3 open "$URL" "de-DE,de;q=0.9"
check "the page says how to ask, in German" phone 3 wait "#askBtn" "Zugang erbitten" 10
check "it shows no entry of the list" test "$(rows 3)" = 0
check "nor the controls" test "$(phone 3 eval "document.getElementById('next').offsetParent")" = null
check "the page holds no name of a track" test "$(phone 3 eval "document.documentElement.outerHTML.includes('clip')")" = false
check "the list is refused to it" test "$(phone 3 eval "fetch('/state').then(r => r.status)")" = 403
check "so is a command" test "$(phone 3 eval "fetch('/next', {method: 'POST'}).then(r => r.status)")" = 403
shot 3 "$shots/web-remote-ask-de.png"

echo "web remote: PC 3 floods the page with requests"
/usr/bin/python3 "$stranger" ping "${win[1]}" 14 >"$work/ping.log" 2>&1 &
pinger=$!
sleep 1
netlab_root 3 /usr/bin/python3 "$flood" "$SENDER" 22357 10 >"$work/flood.log" 2>&1
wait "$pinger"
sed 's/^/        /' "$work/flood.log" "$work/ping.log"
longest=$(sed -n 's/.*longest \([0-9]*\) ms.*/\1/p' "$work/ping.log")
check "the window stood still no longer than $LONGEST_STOP_MS ms (longest ${longest:-?} ms)" \
    test "${longest:-999999}" -le "$LONGEST_STOP_MS"
check "the flooding host was turned away or cut off" grep -Eq "closed by the server [1-9]|refused [1-9]" "$work/flood.log"
check "and steered nothing" test "$(first_entry)" = "$work/media/clip two.mpg"
phone 2 tap "#next"
check "the phone on PC 2 still steers: clip three" phone 2 wait "#now" "clip three" 10

echo "web remote: \"Antworten vergessen\" takes the phone's access back"
click_at $FORGET
no_rows() { [[ $(rows 2) == 0 ]]; }
check "the phone's page shows no list any more" wait_for 10 no_rows
check "and says how to ask" phone 2 wait "#askBtn" "Zugang erbitten" 5

echo "web remote: $passed passed, $failed failed"
[[ $failed -eq 0 ]]
