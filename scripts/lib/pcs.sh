# Our program on PCs made of network namespaces, under one Xvfb: PC i's home folder, its program,
# its window and a click into it. Needs $work and scripts/netlab.sh (or avahi-lab.sh) sourced;
# scripts/lib/cable.sh starts their display.
#   PC_SPAWN       starts a command as the ordinary user on PC i (default netlab_spawn_user)
#   PC_OWN_BUS     set: the program meets the system bus the spawner gives; unset: none at all
#   CLICK_PAUSE    seconds to let a click take effect (default 0.6)

home() { echo "$work/home-$1"; }

start_pc() {   # start_pc i [arguments...]: the program on PC i, as the ordinary user, its output in pc-i.log
    local pc=$1 bus=()
    shift
    [[ -n "${PC_OWN_BUS:-}" ]] || bus=(DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent/system_bus_socket)
    "${PC_SPAWN:-netlab_spawn_user}" "$pc" env DISPLAY="$DISPLAY" LANG=C.UTF-8 XDG_CONFIG_HOME="$(home "$pc")/config" \
        "${bus[@]}" "$(home "$pc")/mirovell" "$@" >"$work/pc-$pc.log" 2>&1
}

program_of() { pgrep -u mirovell-test -f -- "^$(home "$1")/mirovell( |\$)" | head -n1; }
window_of() {   # PC i's main window
    local pid
    pid=$(program_of "$1")
    [[ -n "$pid" ]] && xdotool search --all --onlyvisible --pid "$pid" --name "VLC- Drag&Drop - Mirovell" 2>/dev/null | head -n1
}
has_window() { [[ -n "$(window_of "$1")" ]]; }

declare -A win   # the main window of each PC, once it is shown
click_in() {   # click_in pc x y [repeat]: at a point of the window's client area, in pixels
    local X=0 Y=0 WIDTH HEIGHT SCREEN WINDOW
    [[ -n "${win[$1]:-}" ]] || return 1
    eval "$(xdotool getwindowgeometry --shell "${win[$1]}")"
    xdotool mousemove $((X + $2)) $((Y + $3)) click --repeat "${4:-1}" --delay 120 1
    sleep "${CLICK_PAUSE:-0.6}"
}
