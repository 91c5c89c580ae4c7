#!/usr/bin/env bash
# Measures how the real VLC 3 serves several receivers on one LAN: a sender and its receivers are
# network namespaces on one bridge (scripts/netlab.sh); VLC streams a play list of generated clips
# either once to a multicast group or through its own HTTP output that the receivers pull from.
# Each receiver catches what reaches it (datagrams or the HTTP body) and ffprobe counts the video
# and audio frames; receiving VLCs decode the sound to a WAV file, whose tones (one per clip) tell
# what they played. Prints one line per finding. About eight minutes; needs root and the user
# mirovell-test (scripts/test.sh makes it).
# Usage: scripts/lab/measure-streams.sh [scenario...]   (default: all; names below, in "all")
set -uo pipefail
cd "$(dirname "$0")/../.."
if ip -o link show | grep -qv ': lo:'; then
    exec unshare --net bash -c 'ip link set lo up && exec bash "$0" "$@"' "$0" "$@"
fi
source scripts/netlab.sh
tools="/usr/bin/python3 $PWD/scripts/lab/streamtools.py"
GROUP=239.77.1.1
PORT=1234
HTTP_PORT=8080
NET=10.77.1
SENDER=$NET.1

work=$(mktemp -d /tmp/lab-streams.XXXXXX)
chmod 755 "$work"
trap '[[ -z "${KEEP:-}" ]] && rm -rf "$work"' EXIT
media=$work/media
mkdir -p "$media"

say() { echo "$*"; }

# Three clips of 6 s, each with a tone of its own (400, 800, 1200 Hz), and two lists of them.
make_media() {
    local f
    for f in 400 800 1200; do
        ffmpeg -loglevel error -y -f lavfi -i "testsrc=size=320x240:rate=25:duration=6" \
            -f lavfi -i "sine=frequency=$f:sample_rate=48000:duration=6" \
            -c:v mpeg2video -b:v 800k -c:a mp2 -b:a 128k -f mpegts "$media/clip$f.ts" || return 1
    done
    ffmpeg -loglevel error -y -f lavfi -i "testsrc=size=320x240:rate=25:duration=6" \
        -f lavfi -i "sine=frequency=800:sample_rate=44100:duration=6" \
        -c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac -b:a 128k "$media/clip800.mp4" || return 1
    printf '%s\n' "$media/clip400.ts" "$media/clip800.ts" "$media/clip1200.ts" >"$media/first.m3u"
    printf '%s\n' "$media/clip400.ts" "$media/clip800.mp4" "$media/clip1200.ts" >"$media/mixed.m3u"
    printf '%s\n' "$media/clip1200.ts" "$media/clip400.ts" "$media/clip800.ts" >"$media/second.m3u"
    chmod 644 "$media"/*
}

# frames of each kind ffprobe finds in a caught stream: "video=N audio=M"
frames() {
    local out
    out=$(ffprobe -v error -count_packets -show_entries stream=codec_type,nb_read_packets -of csv=p=0 "$1" 2>/dev/null |
        awk -F, '$1 != "" {n[$1] += $2} END {printf "video=%d audio=%d", n["video"], n["audio"]}')
    echo "${out:-video=0 audio=0}"
}

# What VLC itself makes of the whole first list, written to a file instead of the network.
reference() {
    netlab_up lab-ref 10.77.9.1/24 10.77.9.2/24 || return 1
    netlab_user 1 cvlc -q --play-and-exit --sout-keep "$media/first.m3u" \
        ":sout=#standard{mux=ts,dst=$NETLAB_DIR/home-1/ref.ts,access=file}" >/dev/null 2>&1
    say "reference: the whole first list remuxed by VLC: $(frames "$NETLAB_DIR/home-1/ref.ts") bytes=$(stat -c %s "$NETLAB_DIR/home-1/ref.ts")"
    netlab_down
}

lab() {   # lab pcs: the sender and pcs-1 receivers on one bridge
    local addrs=() i
    for ((i = 1; i <= $1; i++)); do addrs+=("$NET.$i/24"); done
    NETLAB_BRIDGE=1 netlab_up lab-st "${addrs[@]}"
}
port_tx() { netlab_switch cat "/sys/class/net/p$1/statistics/tx_bytes"; }
port_rx() { netlab_switch cat "/sys/class/net/p$1/statistics/rx_bytes"; }
home() { echo "$NETLAB_DIR/home-$1"; }

sender() {   # sender list transport [vlc options...]: the sending VLC, in the background
    local list=$1 transport=$2
    shift 2
    local sout
    if [[ $transport == multicast ]]; then
        sout="#standard{mux=ts,dst=$GROUP:$PORT,access=udp}"
        netlab_spawn_user 1 cvlc -q "$@" "$media/$list" ":sout=$sout" ":ttl=1" >>"$(home 1)/vlc.log" 2>&1
    else
        sout="#standard{mux=ts,dst=:$HTTP_PORT/stream,access=http}"
        netlab_spawn_user 1 cvlc -q "$@" "$media/$list" ":sout=$sout" >>"$(home 1)/vlc.log" 2>&1
    fi
    SENDER_PID=$NETLAB_PID
}
stop_sender() {
    kill -TERM "$SENDER_PID" 2>/dev/null
    wait "$SENDER_PID" 2>/dev/null
}
catcher() {   # catcher pc seconds [retry]: catches the stream for that long, in the background
    local pc=$1 seconds=$2
    if [[ $TRANSPORT == multicast ]]; then
        netlab_user "$pc" $tools mcast $GROUP $PORT "$(home "$pc")/caught.ts" "$seconds" >"$(home "$pc")/catch.log" 2>&1 &
    else
        netlab_user "$pc" $tools http "http://$SENDER:$HTTP_PORT/stream" "$(home "$pc")/caught.ts" "$seconds" ${3:-} \
            >"$(home "$pc")/catch.log" 2>&1 &
    fi
}
player() {   # player pc [vlc options...]: a receiving VLC that decodes the sound to a WAV file
    local pc=$1
    shift
    local url=udp://@$GROUP:$PORT
    [[ $TRANSPORT == http ]] && url=http://$SENDER:$HTTP_PORT/stream
    netlab_spawn_user "$pc" cvlc -q --vout=dummy --aout=afile --audiofile-file="$(home "$pc")/heard.wav" "$@" "$url" \
        >"$(home "$pc")/player.log" 2>&1
    PLAYERS+=("$NETLAB_PID")
}
stop_players() {
    local p
    for p in "${PLAYERS[@]}"; do kill -TERM "$p" 2>/dev/null; done
    for p in "${PLAYERS[@]}"; do wait "$p" 2>/dev/null; done
    PLAYERS=()
}
caught() {   # caught pc: one line on what pc caught
    local pc=$1
    echo "$(grep -E '^(mcast|http) ' "$(home "$pc")/catch.log" | tail -n1) $(frames "$(home "$pc")/caught.ts")" \
        "$($tools ts "$(home "$pc")/caught.ts" | sed 's/ pids=.*//')"
    # each HTTP connection: when it was made and when its body ended, in seconds since the catcher began
    grep -E '^http (connected|body ended)' "$(home "$pc")/catch.log" |
        awk '/connected/ {printf "    connected %s", $4} /ended/ {printf ", ended %s", $5} /connected/ {c++} END {if (c) print ""}' 
}
heard() {   # heard pc: the tones a receiving VLC played, on one line
    local pc=$1
    if [[ -s "$(home "$pc")/heard.wav" ]]; then
        $tools tones "$(home "$pc")/heard.wav" | awk '/Hz|silence/ {printf "%s(%.1fs) ", $3 == "Hz" ? $3 : $3, $2 - $1} /decoded/ {printf "| %s %s", $2, $3}'
        echo
    else
        echo "nothing decoded"
    fi
}
PLAYERS=()

# Streams the first list once (18 s) with receivers on PCs 2-4 from the start, a late one on 5 that
# joins after 7 s, one on 6 that leaves after 6 s, and PC 7 that asks for nothing.
everyone() {   # everyone transport [sender vlc options...]
    TRANSPORT=$1
    shift
    lab 7 || return 1
    local wait=27 s0 left
    for pc in 2 3 4; do catcher "$pc" "$wait" retry; done
    catcher 6 6 retry
    sleep 0.5
    s0=$(port_rx 1)
    sender first.m3u "$TRANSPORT" "$@"
    sleep 7
    catcher 5 $((wait - 7)) retry
    sleep 2
    left=$(port_tx 6)
    sleep $((wait - 9))
    say "  sender's bytes on the wire: $(($(port_rx 1) - s0)) (one VLC: $(netlab_root 1 pgrep -c vlc) running)"
    for pc in 2 3 4; do say "  receiver $pc: $(caught "$pc")"; done
    say "  late receiver 5 (joined at 7 s): $(caught 5)"
    say "  receiver 6 (left at 6 s): $(caught 6); its port got $(($(port_tx 6) - left)) bytes after it left"
    say "  PC 7 (asked for nothing): its port got $(port_tx 7) bytes"
    [[ $TRANSPORT == multicast ]] && say "  bridge groups: $(netlab_switch bridge mdb show | grep -c "grp $GROUP") ports in $GROUP"
    stop_sender
    netlab_down
}

# The sender ends its VLC 8 s into the first list and starts a new one with the second list (1200 Hz
# first); receiving VLCs on PCs 2-4 (plain, and with the options given) and a catcher on PC 5.
restart() {   # restart transport "options of PC 3" "options of PC 4" [sender vlc options...]
    TRANSPORT=$1
    local o3=$2 o4=$3
    shift 3
    lab 5 || return 1
    catcher 5 30 retry
    sender first.m3u "$TRANSPORT" "$@"
    sleep 1
    player 2
    # shellcheck disable=SC2086
    player 3 $o3
    # shellcheck disable=SC2086
    player 4 $o4
    sleep 7
    local t0=$SECONDS
    stop_sender
    sender second.m3u "$TRANSPORT" "$@"
    say "  the old VLC ended and the new one started in $((SECONDS - t0)) s"
    sleep 21
    stop_players
    say "  receiving VLC, plain: $(heard 2)"
    say "  receiving VLC, ${o3:-plain}: $(heard 3)"
    say "  receiving VLC, ${o4:-plain}: $(heard 4)"
    sleep 1.5
    say "  catcher: $(caught 5)"
    stop_sender
    netlab_down
}

# Two receivers only: the sender's bytes do not grow with the receivers (compare with "everyone").
two() {   # two transport [sender vlc options...]
    TRANSPORT=$1
    shift
    lab 3 || return 1
    local s0
    for pc in 2 3; do catcher "$pc" 24 retry; done
    sleep 0.5
    s0=$(port_rx 1)
    sender first.m3u "$TRANSPORT" "$@"
    sleep 24.5
    say "  sender's bytes on the wire: $(($(port_rx 1) - s0))"
    for pc in 2 3; do say "  receiver $pc: $(caught "$pc")"; done
    stop_sender
    netlab_down
}

# Multicast without the route 224.0.0.0/4 in the namespaces (they have no default route either).
no_route() {
    TRANSPORT=multicast
    NETLAB_MCAST_ROUTE=0 lab 2 || return 1
    catcher 2 8
    sender first.m3u multicast
    sleep 8.5
    say "  receiver: $(cat "$(home 2)/catch.log" | tail -n1)"
    say "  sender's VLC log: $(grep -im2 'error\|unreach' "$(home 1)/vlc.log" | tr '\n' ' ')"
    stop_sender
    netlab_down
}

querier() { NETLAB_QUERIER=1 everyone multicast --sout-keep; }

# A list whose middle entry is H.264 + AAC in MP4 between two MPEG-2 + MP2 entries in MPEG-TS.
mixed() {   # mixed transport [sender vlc options...]
    TRANSPORT=$1
    shift
    lab 3 || return 1
    catcher 3 25 retry
    sender mixed.m3u "$TRANSPORT" "$@"
    sleep 1
    player 2
    sleep 24.5
    stop_players
    say "  receiving VLC: $(heard 2)"
    say "  catcher: $(caught 3)"
    stop_sender
    netlab_down
}

nosnoop() { NETLAB_SNOOPING=0 everyone multicast --sout-keep; }

scenario() {
    local name=$1
    shift
    say "== $name"
    "$@"
}

all=(reference mc-keep mc-two mc-nokeep mc-nosnoop mc-querier mc-noroute mc-restart mc-mixed
     http-keep http-two http-nokeep http-restart http-mixed)
[[ $# -gt 0 ]] && all=("$@")
make_media || exit 1
for s in "${all[@]}"; do
    case $s in
    reference) scenario "what VLC makes of the list (file output)" reference ;;
    mc-keep) scenario "multicast, --sout-keep, IGMP snooping on (kernel default), 3 receivers + late + leaving" everyone multicast --sout-keep ;;
    mc-two) scenario "multicast, --sout-keep, 2 receivers" two multicast --sout-keep ;;
    mc-nokeep) scenario "multicast without --sout-keep, 3 receivers + late + leaving" everyone multicast ;;
    mc-nosnoop) scenario "multicast, --sout-keep, IGMP snooping off" nosnoop ;;
    mc-querier) scenario "multicast, --sout-keep, IGMP snooping on and the bridge as querier" querier ;;
    mc-mixed-nokeep) scenario "multicast without --sout-keep, entries of different formats" mixed multicast ;;
    mc-mixed) scenario "multicast, --sout-keep, entries of different formats" mixed multicast --sout-keep ;;
    http-mixed) scenario "HTTP output, --sout-keep, entries of different formats" mixed http --sout-keep ;;
    mc-noroute) scenario "multicast with no multicast route in the namespaces" no_route ;;
    mc-restart) scenario "multicast: the sender restarts VLC with another track first" restart multicast "" "" --sout-keep ;;
    http-keep) scenario "HTTP output, --sout-keep, 3 receivers + late + leaving" everyone http --sout-keep ;;
    http-two) scenario "HTTP output, --sout-keep, 2 receivers" two http --sout-keep ;;
    http-nokeep) scenario "HTTP output without --sout-keep, 3 receivers + late + leaving" everyone http ;;
    http-restart) scenario "HTTP: the sender restarts VLC with another track first" restart http "--http-reconnect" "--input-repeat=1000" --sout-keep ;;
    *) echo "unknown scenario $s"; exit 2 ;;
    esac
done
