#!/usr/bin/env bash
# Measures service discovery between two PCs made of network namespaces, each with a real
# avahi-daemon on a D-Bus system bus of its own (scripts/avahi-lab.sh): how fast a published
# service is seen on the other PC and how fast it goes after each way of leaving, what a QtDBus
# client sees (scripts/lab/avahi-probe), and how the bus behaves when there is no daemon or no bus.
# Prints one line per finding. About three minutes; needs root and the user mirovell-test.
# Usage: scripts/lab/measure-discovery.sh
set -uo pipefail
cd "$(dirname "$0")/../.."
if ip -o link show | grep -qv ': lo:'; then
    exec unshare --net bash -c 'ip link set lo up && exec bash "$0" "$@"' "$0" "$@"
fi
source scripts/netlab.sh
source scripts/avahi-lab.sh
TYPE=_mirovell._tcp

cmake -S scripts/lab/avahi-probe -B build/avahi-probe -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null &&
    cmake --build build/avahi-probe >/dev/null || exit 1

netlab_up lab-disc 10.77.2.1/24 10.77.2.2/24 10.77.2.3/24 || exit 1
probe=$NETLAB_DIR/avahi-probe
install -m 755 build/avahi-probe/avahi-probe "$probe"
log() { echo "$NETLAB_DIR/$1.log"; }
now() { date +%s%3N; }
# the time of the first line of a log that matches, as printed by the probe or by stamp
at() { grep -m1 -E "$2" "$(log "$1")" | cut -d' ' -f1; }
stamp() { while IFS= read -r line; do printf '%s %s\n' "$(now)" "$line"; done; }
waitfor() {   # waitfor seconds log pattern
    local until=$((SECONDS + $1))
    until grep -qE "$3" "$(log "$2")" 2>/dev/null; do
        ((SECONDS >= until)) && return 1
        sleep 0.05
    done
}
ms() { [[ -n "$1" && -n "$2" ]] && echo "$(($2 - $1)) ms" || echo "never"; }

echo "== start-up"
for pc in 1 2; do
    t0=$(now)
    avahi_lab_start "$pc" "pc-$pc" || exit 1
    echo "  bus and daemon on PC $pc running (host name announced) after $(($(now) - t0)) ms"
done
avahi_lab_user 2 "$probe" state | sed 's/^[0-9]* /  PC 2: /'

# One browser on PC 2 for the whole run; PC 1 publishes and leaves in one way after another.
avahi_lab_spawn_user 2 "$probe" browse-prepare "$TYPE" 600 >"$(log browser)" 2>&1
waitfor 5 browser "AllForNow" || echo "  (the browser said nothing)"

leave() {   # leave name action: publish with the probe, then leave by free, reset or exit after 3 s
    local name=$1 action=$2
    avahi_lab_spawn_user 1 "$probe" publish "$name" "$TYPE" 22355 3 "$action" >"$(log "$name")" 2>&1
    local pid=$NETLAB_PID
    waitfor 20 browser "ItemRemove $name" || true
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    local seen gone est left commit
    commit=$(at "$name" "Commit")
    est=$(at "$name" "established")
    left=$(at "$name" "Free|Reset|exit without")
    seen=$(at browser "ItemNew $name")
    gone=$(at browser "ItemRemove $name")
    echo "  $action: after Commit: established $(ms "$commit" "$est"), seen on PC 2 $(ms "$commit" "$seen")," \
        "resolved there $(ms "$commit" "$(at browser "resolved $name")");" \
        "gone on PC 2 $(ms "$left" "$gone") after the $action"
}
echo "== a service published on PC 1 through QtDBus, seen by a browser on PC 2 (Server2 Prepare + Start)"
leave "Mirovell-free" free
leave "Mirovell-reset" reset
leave "Mirovell-exit" exit

echo "== the same with avahi-publish, ended by TERM and by KILL"
for sig in TERM KILL; do
    avahi_lab_user 1 avahi-publish -s "Mirovell-cli-$sig" "$TYPE" 22355 role=receiver 2>&1 | stamp >"$(log cli-$sig)" &
    waitfor 10 browser "ItemNew Mirovell-cli-$sig"
    for p in $(ip netns pids "$(netlab_ns 1)"); do [[ $(cat "/proc/$p/comm" 2>/dev/null) == avahi-publish ]] && pid=$p; done
    t0=$(now)
    kill -"$sig" "$pid"
    waitfor 20 browser "ItemRemove Mirovell-cli-$sig"
    echo "  avahi-publish $sig: seen $(ms "$(at "cli-$sig" Established)" "$(at browser "ItemNew Mirovell-cli-$sig")") after Established;" \
        "gone on PC 2 $(ms "$t0" "$(at browser "ItemRemove Mirovell-cli-$sig")") after the signal"
done

echo "== the publishing PC's daemon ends: TERM (it says goodbye), KILL (it cannot)"
for sig in TERM KILL; do
    avahi_lab_spawn_user 1 avahi-publish -s "Mirovell-daemon-$sig" "$TYPE" 22355 role=receiver >/dev/null 2>&1
    waitfor 10 browser "ItemNew Mirovell-daemon-$sig"
    t0=$(now)
    kill -"$sig" "$(cat "$(avahi_lab_dir 1)/daemon.pid")"
    waitfor 20 browser "ItemRemove Mirovell-daemon-$sig"
    echo "  daemon $sig: gone on PC 2 $(ms "$t0" "$(at browser "ItemRemove Mirovell-daemon-$sig")") (waited 20 s)"
    avahi_lab_stop 1
    avahi_lab_start 1 pc-1 || exit 1
done
echo "  after the KILL, avahi-browse -rt on PC 2 still lists: $(avahi_lab_user 2 avahi-browse -pt "$TYPE" | grep -c daemon-KILL) entries of it"

echo "== subscribing after ServiceBrowserNew (the race), with the service already in PC 2's cache; 5 runs each"
avahi_lab_spawn_user 1 avahi-publish -s "Mirovell-cached" "$TYPE" 22355 role=receiver >/dev/null 2>&1
waitfor 10 browser "ItemNew Mirovell-cached"
for mode in browse-late browse-any browse-prepare; do
    found=0
    for run in 1 2 3 4 5; do
        avahi_lab_user 2 "$probe" "$mode" "$TYPE" 2 >"$(log "$mode-$run")" 2>&1
        grep -q "ItemNew Mirovell-cached" "$(log "$mode-$run")" && found=$((found + 1))
    done
    echo "  $mode: the cached service reported in $found of 5 runs"
done

echo "== no daemon, no bus"
avahi_lab_stop 1
netlab_spawn_root 1 dbus-daemon --config-file="$(avahi_lab_dir 1)/bus.conf" --nofork --nopidfile >/dev/null 2>&1
sleep 0.5
avahi_lab_user 1 "$probe" state | sed 's/^[0-9]* /  a bus without the daemon: /'
netlab_user 3 env DBUS_SYSTEM_BUS_ADDRESS="unix:path=$NETLAB_DIR/nothing" "$probe" state | sed 's/^[0-9]* /  no bus at all: /'
netlab_user 3 env -u DBUS_SYSTEM_BUS_ADDRESS "$probe" state | sed 's/^[0-9]* /  no variable and no \/run\/dbus socket: /'
