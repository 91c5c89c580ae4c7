#!/usr/bin/env bash
# Takes the pictures of the window in docs/: each mode with the pin on and off, under Xvfb.
# Usage: scripts/screenshots.sh [path/to/mirovell [folder]]   (default: build/mirovell, docs)
# Two folders taken before and after a change compare pixel for pixel but for the clock.
set -euo pipefail
cd "$(dirname "$0")/.."
exe=$(realpath "${1:-build/mirovell}")
mkdir -p "${2:-docs}"
out=$(realpath "${2:-docs}")
if [[ -z "${INSIDE_XVFB:-}" ]]; then
    INSIDE_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$exe" "$out"
fi

work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$work/app" "$work/run" && chmod 700 "$work/run"
cp "$exe" "$work/app/mirovell"
printf '%s\r\n' '#EXTM3U' '/home/anna/Filme/Sommerfest 2024.mp4' '/home/anna/Filme/Geburtstag Oma.mkv' \
    '/home/anna/Musik/Konzert im Park.mp3' '/home/anna/Filme/Urlaub Ostsee Teil 1.avi' >"$work/liste.m3u"

XDG_RUNTIME_DIR="$work/run" DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent/system_bus_socket "$work/app/mirovell" "$work/liste.m3u" >/dev/null 2>&1 &
pid=$!
win=""
for _ in $(seq 100); do
    win=$(xdotool search --onlyvisible --name "Mirovell" 2>/dev/null | head -1) && [[ -n "$win" ]] && break
    sleep 0.1
done
[[ -n "$win" ]] || { echo "the window did not appear" >&2; exit 1; }
sleep 1

click() {   # x y inside the window
    xdotool mousemove --window "$win" "$1" "$2" click 1
    sleep 0.4
}
shot() {
    xdotool mousemove 1000 740   # keep the pointer and its tool tips out of the picture
    sleep 0.6
    import -window "$win" "$out/$1.png"
}
# twips / 15 = pixels: tabs at 0, 2280 and 4590 twips, 2340 wide; the pin sits in the status strip
height=$(xwininfo -id "$win" | awk '/Height:/ {print $2}')
pin_y=$(( (height * 15 + 410 - 800 + 45) / 15 + 10 ))
for mode in local send receive; do
    case $mode in
        local) click 78 21 ;;
        send) click 230 21 ;;
        receive) click 384 21 ;;
    esac
    shot "window-$mode-pin-on"
    click 15 "$pin_y"   # pin off
    shot "window-$mode-pin-off"
    click 15 "$pin_y"   # and on again
done
echo "pictures written to $out"
