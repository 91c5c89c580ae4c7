# A real Avahi daemon with a D-Bus system bus of its own inside one network namespace, for tests of
# service discovery between namespaces (scripts/netlab.sh). Source it from a bash script that runs
# as root; several can run at once, one per namespace.
#
#   source scripts/netlab.sh; source scripts/avahi-lab.sh
#   netlab_up disc 10.77.2.1/24 10.77.2.2/24
#   avahi_lab_start 1 pc-one          # bus and daemon on PC 1, host name pc-one(.local)
#   avahi_lab_start 2 pc-two
#   avahi_lab_user 1 avahi-publish -s "Mirovell on pc-one" _mirovell._tcp 22355 role=receiver &
#   avahi_lab_user 2 avahi-browse -rtp _mirovell._tcp
#   avahi_lab_stop_daemon 2; avahi_lab_start_daemon 2   # the daemon ends and comes back, the bus stays
#   avahi_lab_stop 1                  # or leave it to netlab_down
#
# avahi_lab_root / avahi_lab_user (avahi_lab_spawn_user: in the background) run a command on PC i with DBUS_SYSTEM_BUS_ADDRESS set to that
# PC's bus, so avahi-utils, busctl --system, gdbus --system and QDBusConnection::systemBus() reach
# that PC's daemon. avahi_lab_bus i prints the address. The bus lets root and $NETLAB_USER connect;
# only root may own names, and everyone may call the daemon.
# The daemon keeps its pid file and socket in /run/avahi-daemon and reads /etc/avahi/services,
# paths built into it: each daemon gets a mount namespace of its own in which its own folder is
# bound over both, so two daemons do not find each other's pid file and publish no static services.

avahi_lab_dir() { echo "$NETLAB_DIR/avahi-$1"; }
avahi_lab_bus() { echo "unix:path=$(avahi_lab_dir "$1")/system_bus_socket"; }
avahi_lab_root() {   # avahi_lab_root i command...
    local pc=$1
    shift
    netlab_root "$pc" env DBUS_SYSTEM_BUS_ADDRESS="$(avahi_lab_bus "$pc")" "$@"
}
avahi_lab_user() {   # avahi_lab_user i command...
    local pc=$1
    shift
    netlab_user "$pc" env DBUS_SYSTEM_BUS_ADDRESS="$(avahi_lab_bus "$pc")" "$@"
}
avahi_lab_spawn_user() {   # avahi_lab_spawn_user i command...: in the background, pid in NETLAB_PID
    local pc=$1
    shift
    netlab_spawn_user "$pc" env DBUS_SYSTEM_BUS_ADDRESS="$(avahi_lab_bus "$pc")" "$@"
}

_avahi_lab_bus_config() {   # _avahi_lab_bus_config folder
    cat <<EOF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=$1/system_bus_socket</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="root"/>
    <allow user="$NETLAB_USER"/>
    <allow send_destination="*" eavesdrop="true"/>
    <allow receive_sender="*"/>
    <allow eavesdrop="true"/>
  </policy>
  <policy user="root">
    <allow own="*"/>
  </policy>
</busconfig>
EOF
}

_avahi_lab_daemon_config() {   # _avahi_lab_daemon_config host-name
    cat <<EOF
[server]
host-name=$1
domain-name=local
use-ipv4=yes
use-ipv6=no
allow-interfaces=eth0
enable-dbus=yes
ratelimit-interval-usec=1000000
ratelimit-burst=1000

[wide-area]
enable-wide-area=no

[publish]
publish-hinfo=no
publish-workstation=no
publish-domain=yes
publish-addresses=yes

[reflector]
enable-reflector=no

[rlimits]
EOF
}

avahi_lab_start() {   # avahi_lab_start i host-name: returns once the daemon has its name on the bus
    local pc=$1 host=$2 dir
    dir=$(avahi_lab_dir "$pc")
    mkdir -p "$dir/run" "$dir/services" && chmod 755 "$dir" || return 1
    _avahi_lab_bus_config "$dir" >"$dir/bus.conf"
    _avahi_lab_daemon_config "$host" >"$dir/avahi-daemon.conf"
    netlab_spawn_root "$pc" dbus-daemon --config-file="$dir/bus.conf" --nofork --nopidfile >"$dir/bus.log" 2>&1
    echo "$NETLAB_PID" >"$dir/bus.pid"
    local until=$((SECONDS + 5))
    while [[ ! -S "$dir/system_bus_socket" ]]; do
        ((SECONDS >= until)) && { echo "avahi-lab: no bus on PC $pc" >&2; return 1; }
        sleep 0.05
    done
    avahi_lab_start_daemon "$pc"
}

# The daemon alone, on the bus that PC already has (after avahi_lab_stop_daemon, say).
avahi_lab_start_daemon() {   # avahi_lab_start_daemon i: returns once the daemon runs
    local pc=$1 dir until
    dir=$(avahi_lab_dir "$pc")
    mkdir -p /run/avahi-daemon
    rm -f "$dir/run/pid"   # left by a daemon that was killed; its pid may belong to another process now
    netlab_spawn_root "$pc" env DBUS_SYSTEM_BUS_ADDRESS="$(avahi_lab_bus "$pc")" \
        unshare --mount --propagation private bash -c \
        'mount --bind "$1/run" /run/avahi-daemon && mount --bind "$1/services" /etc/avahi/services &&
         exec avahi-daemon -f "$1/avahi-daemon.conf" --no-drop-root --no-chroot --no-rlimits --no-proc-title' \
        _ "$dir" >"$dir/daemon.log" 2>&1
    echo "$NETLAB_PID" >"$dir/daemon.pid"
    # Running (state 2) means the host name is probed and announced.
    until=$((SECONDS + 10))
    while [[ "$(avahi_lab_root "$pc" busctl --system call org.freedesktop.Avahi / org.freedesktop.Avahi.Server GetState \
        2>/dev/null)" != "i 2" ]]; do
        if ((SECONDS >= until)) || ! kill -0 "$(cat "$dir/daemon.pid")" 2>/dev/null; then
            echo "avahi-lab: the daemon on PC $pc did not come up:" >&2
            tail -n5 "$dir/daemon.log" >&2
            return 1
        fi
        sleep 0.1
    done
}

avahi_lab_stop_daemon() {   # avahi_lab_stop_daemon i: the daemon ends (and says goodbye), the bus stays
    local dir
    dir=$(avahi_lab_dir "$1")
    [[ -f "$dir/daemon.pid" ]] || return 0
    kill -TERM "$(cat "$dir/daemon.pid")" 2>/dev/null
    wait "$(cat "$dir/daemon.pid")" 2>/dev/null
    rm -f "$dir/daemon.pid"
}

avahi_lab_stop() {   # avahi_lab_stop i: the daemon first, so it can still say goodbye on the LAN
    local dir pid
    dir=$(avahi_lab_dir "$1")
    for pid in daemon bus; do
        [[ -f "$dir/$pid.pid" ]] || continue
        kill -TERM "$(cat "$dir/$pid.pid")" 2>/dev/null
        wait "$(cat "$dir/$pid.pid")" 2>/dev/null
        rm -f "$dir/$pid.pid"
    done
}
