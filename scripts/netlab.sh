# A few PCs on one LAN for tests, made of network namespaces. Source it from a bash script that
# runs as root; nothing it makes reaches beyond this machine, and everything goes again when the
# script ends, also after a failure, Ctrl-C or kill (not after kill -9: the next netlab_up with the
# same prefix clears what such a run left).
#
#   source scripts/netlab.sh
#   netlab_up mytest 10.77.1.1/24 10.77.1.2/24 10.77.1.3/24   # PCs 1..3; three or more share a bridge
#   netlab_root 1 ip -br addr                                  # a command as root on PC 1
#   netlab_spawn_user 2 cvlc udp://@239.77.1.1:1234 >rx.log 2>&1  # in the background, as the ordinary
#   kill "$NETLAB_PID"                                          #   test user on PC 2; its pid
#   netlab_ns 3; netlab_addr 3; netlab_port 3                   # names: mytest-3, 10.77.1.3, mytest-sw's port
#
# Two addresses make a plain veth pair unless NETLAB_BRIDGE=1. On a bridge, the bridge and one port
# per PC live in a namespace of their own (PREFIX-sw), so the caller's own namespace gets nothing:
# the same calls work on the host and inside `unshare --net` with only lo up. Each PC has lo and
# eth0 up, its address and, unless NETLAB_MCAST_ROUTE=0, the route 224.0.0.0/4 via eth0, without
# which multicast cannot be sent or joined there (there is no default route). Bridge settings:
# NETLAB_SNOOPING (IGMP snooping, kernel default 1) and NETLAB_QUERIER (0).
# netlab_user runs as NETLAB_USER (mirovell-test, made by scripts/test.sh) with HOME set to a
# folder of its own under $NETLAB_DIR, which the caller may use for files (readable by the user).
# NETLAB_TAG, where set, goes in front of every name (TAG-mytest-1), so that runs of several people
# on one machine never clear each other's namespaces.

NETLAB_USER=${NETLAB_USER:-mirovell-test}
NETLAB_PREFIX=
NETLAB_DIR=
NETLAB_NAMES=()
NETLAB_ADDRS=()
NETLAB_SWITCH=
NETLAB_PID=

netlab_ns() { echo "$NETLAB_PREFIX-$1"; }
netlab_addr() { echo "${NETLAB_ADDRS[$(($1 - 1))]%/*}"; }
netlab_port() { echo "p$1"; }   # PC i's port on the bridge, inside $NETLAB_SWITCH

netlab_root() {   # netlab_root i command...
    local ns
    ns=$(netlab_ns "$1")
    shift
    ip netns exec "$ns" "$@"
}

netlab_user() {   # netlab_user i command...
    local ns home
    ns=$(netlab_ns "$1")
    home=$NETLAB_DIR/home-$1
    shift
    ip netns exec "$ns" runuser -u "$NETLAB_USER" -- env HOME="$home" XDG_RUNTIME_DIR="$home/run" "$@"
}

# In the background, with the process's own pid in NETLAB_PID (`netlab_user ... &` would give the pid
# of a subshell, and killing that leaves the process running). runuser passes TERM and INT on.
netlab_spawn_root() {   # netlab_spawn_root i command...
    local ns
    ns=$(netlab_ns "$1")
    shift
    ip netns exec "$ns" "$@" &
    NETLAB_PID=$!
}

netlab_spawn_user() {   # netlab_spawn_user i command...
    local ns home
    ns=$(netlab_ns "$1")
    home=$NETLAB_DIR/home-$1
    shift
    ip netns exec "$ns" runuser -u "$NETLAB_USER" -- env HOME="$home" XDG_RUNTIME_DIR="$home/run" "$@" &
    NETLAB_PID=$!
}

netlab_switch() { ip netns exec "$NETLAB_SWITCH" "$@"; }   # a command beside the bridge

# Ends every process still inside one of the namespaces, then removes them.
_netlab_clear() {   # _netlab_clear name...
    local ns pids
    for ns in "$@"; do
        [[ -e /run/netns/$ns ]] || continue
        pids=$(ip netns pids "$ns" 2>/dev/null)
        if [[ -n "$pids" ]]; then
            # shellcheck disable=SC2086
            kill -TERM $pids 2>/dev/null
            for _ in 1 2 3 4 5 6 7 8 9 10; do
                [[ -z "$(ip netns pids "$ns" 2>/dev/null)" ]] && break
                sleep 0.2
            done
            pids=$(ip netns pids "$ns" 2>/dev/null)
            # shellcheck disable=SC2086
            [[ -n "$pids" ]] && kill -KILL $pids 2>/dev/null && sleep 0.2
        fi
        ip netns del "$ns" 2>/dev/null
    done
}

netlab_down() {
    [[ -n "$NETLAB_PREFIX" ]] || return 0
    _netlab_clear "${NETLAB_NAMES[@]}" ${NETLAB_SWITCH:+"$NETLAB_SWITCH"}
    [[ -n "$NETLAB_DIR" ]] && rm -rf "$NETLAB_DIR"
    NETLAB_PREFIX= NETLAB_DIR= NETLAB_SWITCH= NETLAB_NAMES=() NETLAB_ADDRS=()
}

# Runs netlab_down when the script ends, after whatever the caller already runs then; INT and TERM
# end the script so that this happens for them too.
_netlab_trap() {
    local old
    old=$(trap -p EXIT)
    [[ "$old" == *netlab_down* ]] && return 0
    old=${old#trap -- \'}
    old=${old%\' EXIT}
    # shellcheck disable=SC2064
    trap "${old:+$old; }netlab_down" EXIT
    [[ -z "$(trap -p INT)" ]] && trap 'exit 130' INT
    [[ -z "$(trap -p TERM)" ]] && trap 'exit 143' TERM
    return 0
}

netlab_up() {   # netlab_up prefix address/len...
    local prefix=${NETLAB_TAG:+$NETLAB_TAG-}$1
    shift
    if [[ -n "$NETLAB_PREFIX" ]]; then
        echo "netlab: $NETLAB_PREFIX is still up" >&2
        return 1
    fi
    if [[ ! "$prefix" =~ ^[A-Za-z0-9_.-]+$ ]] || (($# < 2)); then
        echo "netlab: usage: netlab_up prefix address/len address/len..." >&2
        return 1
    fi
    if [[ $(id -u) -ne 0 ]]; then
        echo "netlab: needs root" >&2
        return 1
    fi
    local bridge=${NETLAB_BRIDGE:-0}
    (($# > 2)) && bridge=1
    NETLAB_PREFIX=$prefix
    NETLAB_ADDRS=("$@")
    NETLAB_NAMES=()
    local i
    for ((i = 1; i <= $#; i++)); do NETLAB_NAMES+=("$(netlab_ns "$i")"); done
    ((bridge)) && NETLAB_SWITCH=$prefix-sw
    _netlab_trap
    # What a run killed with -9 left under these names.
    _netlab_clear "${NETLAB_NAMES[@]}" ${NETLAB_SWITCH:+"$NETLAB_SWITCH"}

    NETLAB_DIR=$(mktemp -d "/tmp/netlab-$prefix.XXXXXX") && chmod 755 "$NETLAB_DIR" || return 1
    local ns
    for ns in "${NETLAB_NAMES[@]}" ${NETLAB_SWITCH:+"$NETLAB_SWITCH"}; do
        ip netns add "$ns" && ip -n "$ns" link set lo up || { netlab_down; return 1; }
    done
    if ((bridge)); then
        ip -n "$NETLAB_SWITCH" link add br0 type bridge \
            mcast_snooping "${NETLAB_SNOOPING:-1}" mcast_querier "${NETLAB_QUERIER:-0}" &&
            ip -n "$NETLAB_SWITCH" link set br0 up || { netlab_down; return 1; }
        for ((i = 1; i <= ${#NETLAB_NAMES[@]}; i++)); do
            ip link add eth0 netns "${NETLAB_NAMES[$((i - 1))]}" type veth peer name "p$i" netns "$NETLAB_SWITCH" &&
                ip -n "$NETLAB_SWITCH" link set "p$i" master br0 up || { netlab_down; return 1; }
        done
    else
        ip link add eth0 netns "${NETLAB_NAMES[0]}" type veth peer name eth0 netns "${NETLAB_NAMES[1]}" ||
            { netlab_down; return 1; }
    fi
    for ((i = 1; i <= ${#NETLAB_NAMES[@]}; i++)); do
        ns=${NETLAB_NAMES[$((i - 1))]}
        ip -n "$ns" addr add "${NETLAB_ADDRS[$((i - 1))]}" dev eth0 && ip -n "$ns" link set eth0 up ||
            { netlab_down; return 1; }
        if [[ ${NETLAB_MCAST_ROUTE:-1} != 0 ]]; then
            ip -n "$ns" route add 224.0.0.0/4 dev eth0 || { netlab_down; return 1; }
        fi
        install -d -m 700 -o "$NETLAB_USER" "$NETLAB_DIR/home-$i" "$NETLAB_DIR/home-$i/run" ||
            { netlab_down; return 1; }
    done
    # Addresses are usable once duplicate address detection is over (IPv6) and the ports forward.
    for ((i = 1; i <= ${#NETLAB_NAMES[@]}; i++)); do
        local until=$((SECONDS + 5))
        while ip -n "${NETLAB_NAMES[$((i - 1))]}" -o addr show dev eth0 | grep -q tentative; do
            ((SECONDS >= until)) && break
            sleep 0.1
        done
    done
    if ((bridge)); then
        local until=$((SECONDS + 5))
        while ip -n "$NETLAB_SWITCH" -o link show master br0 | grep -qv 'state UP'; do
            ((SECONDS >= until)) && break
            sleep 0.1
        done
    fi
    return 0
}
