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
    ffmpeg -v error -y -f lavfi -i testsrc=duration=6:size=320x240:rate=25 -f lavfi -i sine=frequency=440:duration=6 \
        -c:v mpeg2video -c:a mp2 -shortest "$1/clip one.mpg" &&
        ffmpeg -v error -y -f lavfi -i testsrc2=duration=6:size=352x288:rate=25 -f lavfi -i sine=frequency=660:duration=6 \
            -c:v mpeg2video -c:a mp2 -shortest "$1/clip two.mpg"
}
