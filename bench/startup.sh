#!/usr/bin/env bash
# Start-up from outside: exec to mapped window and to first paint, and peak memory, of a bare Qt
# window, the program with an empty list and the program with a 32,767-entry kept list, alternated
# under one Xvfb (see bench/startup.py for what is measured and how precisely).
#
#   bench/startup.sh PROGRAM BARE_WINDOW [RUNS] [SUMMARY_FILE] [--callgrind DIR]
#
# Every start of the program connects to the receiver in its settings: the runs happen in a
# network namespace of their own with only loopback up (entered here when not already in one).
set -euo pipefail
cd "$(dirname "$0")/.."
if (($# < 2)); then
    echo "usage: $0 PROGRAM BARE_WINDOW [RUNS] [SUMMARY_FILE]" >&2
    exit 2
fi
if [[ -z "${MIROVELL_ISOLATED:-}" ]]; then
    if [[ $(id -u) -ne 0 ]]; then
        echo "needs a network namespace of its own: run as root, or through scripts/bench.sh" >&2
        exit 1
    fi
    # shellcheck disable=SC2016 # expanded by the inner shell
    exec unshare --net -- env MIROVELL_ISOLATED=1 bash -c 'ip link set lo up && exec bash "$0" "$@"' "$0" "$@"
fi
program=$(realpath "$1")
bare=$(realpath "$2")
runs=${3:-15}
summary=${4:-}

display_file=$(mktemp)
exec 3>"$display_file"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
exec 3>&-
trap 'kill $xvfb 2>/dev/null; rm -f "$display_file"' EXIT
for _ in $(seq 100); do
    [[ -s "$display_file" ]] && break
    sleep 0.05
done
[[ -s "$display_file" ]] || { echo "Xvfb did not start" >&2; exit 1; }
display=$(head -n1 "$display_file")
export DISPLAY=":$display"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY
/usr/bin/python3 bench/startup.py --program "$program" --bare "$bare" --runs "$runs" ${summary:+--summary "$summary"} "${@:5}"
