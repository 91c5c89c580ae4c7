# Two PCs joined by one cable: a network namespace each, held open by a sleeping process, and a
# veth pair between them; and one Xvfb for every PC of a stage, whose socket file reaches every
# namespace. Needs $work, and pids=() for what the stage ends at its cleanup.

on() { local pc=$1; shift; nsenter --net="/proc/$pc/ns/net" -- "$@"; }   # on pc command...

cable_up() {   # cable_up send-address recv-address: sets pc_send and pc_recv; fails when it cannot
    unshare --net sleep infinity &
    pc_send=$!
    unshare --net sleep infinity &
    pc_recv=$!
    pids+=("$pc_send" "$pc_recv")
    local own pc i
    own=$(readlink /proc/self/ns/net)
    for pc in "$pc_send" "$pc_recv"; do
        for ((i = 0; i < 50; i++)); do [[ $(readlink "/proc/$pc/ns/net") != "$own" ]] && break; sleep 0.1; done
        [[ $(readlink "/proc/$pc/ns/net") != "$own" ]] || return 1
    done
    ip link add veth0 netns "$pc_send" type veth peer name veth0 netns "$pc_recv" || return 1
    on "$pc_send" ip addr add "$1/24" dev veth0
    on "$pc_recv" ip addr add "$2/24" dev veth0
    for pc in "$pc_send" "$pc_recv"; do
        on "$pc" ip link set lo up
        on "$pc" ip link set veth0 up
    done
}

start_xvfb() {   # start_xvfb size [log]: sets xvfb (its process id) and DISPLAY; fails when it does not start
    exec 3>"$work/display"
    Xvfb -displayfd 3 -nolisten tcp -screen 0 "$1" >"${2:-/dev/null}" 2>&1 &
    xvfb=$!
    exec 3>&-
    local i
    for ((i = 0; i < 100; i++)); do [[ -s "$work/display" ]] && break; sleep 0.1; done
    [[ -s "$work/display" ]] || return 1
    export DISPLAY=:$(cat "$work/display")
}
