# What the stage scripts share: counted checks and waiting for a condition. Sourced, not run.
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
