#!/usr/bin/env bash
# A user's tour of the real program under Xvfb: start with a play list, switch through the modes,
# save the list, leave with the exit button, start again and find everything kept, and watch a
# second start hand over to the first. Screenshots of every step go to the folder printed first.
# Usage: scripts/tour.sh [path/to/mirovell]
set -uo pipefail
cd "$(dirname "$0")/.."
program=${1:-build/test/mirovell}
[[ -x "$program" ]] || { echo "tour: no program at $program"; exit 1; }

if [[ -z "${DISPLAY:-}" ]]; then
    exec xvfb-run -a -s "-screen 0 1024x640x24" bash "$0" "$@"
fi
unset QT_QPA_PLATFORM

shots=${TOUR_SHOTS:-$(mktemp -d /tmp/mirovell-tour.XXXXXX)}
mkdir -p "$shots"
echo "tour: screenshots in $shots"
home=$(mktemp -d /tmp/mirovell-tour-home.XXXXXX)
cp "$program" "$home/mirovell"
export XDG_RUNTIME_DIR=$home/runtime XDG_CONFIG_HOME=$home/config
# no D-Bus system bus: finding other PCs is off, and start-up and every mode must be as without it
export DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent/system_bus_socket
mkdir -p -m 700 "$XDG_RUNTIME_DIR"

passed=0
failed=0
source scripts/lib/checks.sh
shot() { import -window root "$shots/$1.png" 2>/dev/null; }
window_id() { xdotool search --sync --onlyvisible --name "VLC- Drag&Drop - Mirovell" 2>/dev/null | head -n1; }
# Clicks at a point of the window's client area, in pixels.
click() {
    local win
    win=$(window_id)
    eval "$(xdotool getwindowgeometry --shell "$win")"
    xdotool mousemove $((X + $1)) $((Y + $2)) click 1
    sleep 0.6
}
running() { kill -0 "$1" 2>/dev/null; }
ended() { ! kill -0 "$1" 2>/dev/null; }

# Places at the window's start size (691 x 407 pixels), from the design rectangles.
TAB_LOCAL="78 21"; TAB_SEND="230 21"; TAB_RECEIVE="383 21"; EXIT="505 21"; SAVE="92 357"

printf '#EXTM3U\r\n/home/anna/Videos/Urlaub Teil 1.avi\r\n/home/anna/Musik/Lied für dich.mp3\r\n/home/anna/Videos/Folge #3.mkv\r\n' >"$home/liste.m3u"
expected=$'#EXTM3U\r\n/home/anna/Videos/Urlaub Teil 1.avi\r\n/home/anna/Musik/Lied für dich.mp3\r\n/home/anna/Videos/Folge #3.mkv\r'

echo "tour: first start with a play list on the command line"
"$home/mirovell" "$home/liste.m3u" &
first=$!
check "the window opens" wait_for 15 window_id
sleep 1
shot 01-start
check "the settings file is created" test -f "$home/mirovell.ini"

click $TAB_SEND; shot 02-send
click $TAB_RECEIVE; shot 03-receive
click $TAB_LOCAL; shot 04-local
check "still running after the mode switches" running $first

echo "tour: Speichern als.."
click $SAVE
check "the path question appears" wait_for 10 xdotool search --onlyvisible --name "Zielpfad eingeben"
sleep 0.5
shot 05-save-question
xdotool key ctrl+a
xdotool type --delay 15 "$home/gespeichert.m3u"
xdotool key Return
check "the list is saved where the user said" wait_for 10 test -f "$home/gespeichert.m3u"
check "the saved list holds the three entries" bash -c "[[ \"\$(cat '$home/gespeichert.m3u')\" == \"\$1\" ]]" _ "$expected"
shot 06-saved

echo "tour: exit button"
click $EXIT
check "the exit button ends the program" wait_for 10 ended $first
check "the list is kept for the next start" bash -c "[[ \"\$(cat '$home/mirovell_TmpPlst.m3u')\" == \"\$1\" ]]" _ "$expected"
check "the settings are written" grep -q "AutoSavePlaylist=1" "$home/mirovell.ini"
check "a copy in its own folder writes nothing to the user's settings folder" test ! -e "$XDG_CONFIG_HOME/Mirovell"
cp "$home/mirovell.ini" "$home/settings-after-first-run.ini"

echo "tour: second start finds the same list"
"$home/mirovell" &
second=$!
check "the window opens again" wait_for 15 window_id
sleep 1
shot 07-restart

echo "tour: a further start hands over to the running one"
xdotool windowminimize "$(window_id)" 2>/dev/null
sleep 0.5
"$home/mirovell"
status=$?
check "the further start ends at once with status 0" test $status -eq 0
check "the running one is still there" running $second
check "it came forward" wait_for 5 window_id
shot 08-handed-over
check "the further start wrote nothing" cmp -s "$home/mirovell.ini" "$home/settings-after-first-run.ini"

click $EXIT
check "the exit button ends the second run" wait_for 10 ended $second
check "the same list is kept again" bash -c "[[ \"\$(cat '$home/mirovell_TmpPlst.m3u')\" == \"\$1\" ]]" _ "$expected"
check "the same settings again" grep -q "LastConnection=" "$home/mirovell.ini"

kill $first $second 2>/dev/null
rm -rf "$home"
echo "tour: $passed passed, $failed failed"
[[ $failed -eq 0 ]]
