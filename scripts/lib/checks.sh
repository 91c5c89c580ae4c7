# What the stage scripts share: counted checks, waiting for a condition, skipping a stage that
# cannot run here, and the test clips. Sourced, not run; skip names the stage by $stage.
check() {   # check "what" command...
    local what=$1
    shift
    if "$@"; then
        passed=$((passed + 1))
        echo "  ok    $what"
    else
        failed=$((failed + 1))
        echo "  FAIL  $what"
    fi
}
not() { ! "$@"; }
wait_for() {   # wait_for seconds command...
    local until=$((SECONDS + $1))
    shift
    while ! "$@"; do
        ((SECONDS >= until)) && return 1
        sleep 0.2
    done
}
in_ci() { [[ -n "${CI:-}" && "${CI:-}" != false && "${CI:-}" != 0 ]]; }
skip() {   # skip "why": outside CI the stage is left out; in CI a missing piece is a failure
    if in_ci; then
        echo "$stage: FAIL: $1"
        exit 1
    fi
    echo "$stage: skipped: $1"
    exit 0
}
make_clips() {   # make_clips folder: "clip one.mpg" and "clip two.mpg", 6 s of MPEG-2 video with sound each
    # every frame a picture of its own with a sequence header, so a track is known on the wire at once by its width
    ffmpeg -v error -y -f lavfi -i testsrc=duration=6:size=320x240:rate=25 -f lavfi -i sine=frequency=440:duration=6 \
        -c:v mpeg2video -g 1 -c:a mp2 -shortest "$1/clip one.mpg" &&
        ffmpeg -v error -y -f lavfi -i testsrc2=duration=6:size=352x288:rate=25 -f lavfi -i sine=frequency=660:duration=6 \
            -c:v mpeg2video -g 1 -c:a mp2 -shortest "$1/clip two.mpg"
}

# Keeps every datagram that reaches UDP 1234 in $1, and writes to $2 the time (seconds since the
# epoch) and the picture width whenever the width in the MPEG-2 sequence headers changes, or first
# shows after a pause of the stream.
catch_stream() {   # catch_stream capture-file widths-file
    # exec: the caller kills this very process, and no listener outlives the stage
    exec /usr/bin/python3 -c '
import socket, sys, time
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(("0.0.0.0", 1234))
last, before = None, 0
with open(sys.argv[1], "wb", buffering=0) as out, open(sys.argv[2], "w", buffering=1) as widths:
    while True:
        d = s.recv(65536)
        now = time.time()
        if now - before > 0.3:
            last = None
        before = now
        out.write(d)
        i = d.find(b"\x00\x00\x01\xb3")
        if 0 <= i and i + 7 <= len(d):
            w = (d[i + 4] << 4) | (d[i + 5] >> 4)
            if w != last:
                widths.write("%.3f %d\n" % (now, w))
                last = w
' "$1" "$2"
}

# The first time at or after $2 that the stream turned to pictures $3 wide, from a widths file.
width_since() {   # width_since widths-file epoch width
    awk -v t="$2" -v w="$3" '$1 >= t && $2 == w { print $1; exit }' "$1"
}
needs_lab() {   # needs_lab tools...: the program, root, the tools and the test user, or the stage is skipped
    [[ -x "$program" ]] || skip "no program at $program"
    [[ $(id -u) -eq 0 ]] || skip "making network namespaces needs root"
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null || skip "$tool is missing (scripts/deps.sh installs it)"
    done
    id -u mirovell-test >/dev/null 2>&1 || skip "the user mirovell-test is missing (scripts/test.sh makes it)"
}
alone() {   # alone "$@": run by hand on a machine with a network, the stage starts again in a namespace of its own
    if ip -o link show | grep -qv ': lo:'; then
        exec unshare --net bash -c 'ip link set lo up && exec bash "$0" "$@"' "$0" "$@"
    fi
}
# A picture of the display: without a window id (a window that never opened) import waits for a
# click to choose one, so a failed stage would hang instead of ending.
import() { timeout 20 "$(type -P import)" "$@"; }
