#!/usr/bin/env bash
# Exact instruction counts (callgrind) for the speed goals: the figures to compare before and after
# a change on a machine too busy for stable times. Builds build/prof (RelWithDebInfo: optimised,
# with symbols), runs the benchmarks under callgrind and the start-up under bench/startup.sh, and
# prints instructions per call at 32,767 entries. The dump of each figure stays in OUT_DIR for
# callgrind_annotate (docs/performance.md says how to read them).
#
#   scripts/profile.sh [OUT_DIR]      (default build/prof/callgrind)
#
# How a call is cut out: callgrind writes a dump when a benchmark enters the function of a row and
# another one when the benchmark reads its timer right after the call (QElapsedTimer::nsecsElapsed
# in BenchUtil.h's medianMs; bench_link's timer is read in a loop, so there the next step, rawCopy,
# ends the road). A dump that begins with the row's function and ends there holds one call as the
# benchmark times it. The functions are found by name, whatever class holds them; when a benchmark
# changes its loop, change the patterns below.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-build/prof/callgrind}
if [[ -z "${MIROVELL_ISOLATED:-}" ]]; then
    bash scripts/deps.sh --bench
    [[ $(id -u) -eq 0 ]] || { echo "needs a network namespace of its own: run as root" >&2; exit 1; }
    exec unshare --net -- env MIROVELL_ISOLATED=1 bash -c 'ip link set lo up && exec bash scripts/profile.sh "$@"' \
        bash "$out"
fi
cmake -S . -B build/prof -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMIROVELL_BUILD_TESTS=OFF -DMIROVELL_BUILD_BENCH=ON \
    >/dev/null
cmake --build build/prof -j 2
rm -rf "$out"
mkdir -p -m 700 "$out"
export XDG_RUNTIME_DIR=$out

# grind NAME BENCH FUNCTION...: the benchmark under callgrind, a dump before each of the functions
grind() {
    local name=$1 bench=$2
    shift 2
    local args=()
    for f in "$@"; do
        args+=("--dump-before=$f")
    done
    echo "== $bench under callgrind"
    valgrind --tool=callgrind "${args[@]}" --callgrind-out-file="$out/$name.out" "build/prof/bench/$bench" 2>/dev/null
}
timer='QElapsedTimer::nsecsElapsed*'
grind playlist bench_playlist '*::LoadPlaylistFile(*)' '*::WritePlainPlaylist(*)' '*::WriteStreamingPlaylist(*)' "$timer"
grind drop bench_drop '*::FilmList_OLEDragDrop(*)' "$timer"
grind link bench_link '*EncodeTrackList(*)' '*rawCopy(*)'

# Each row: the calls [first:last] (Python slice, in the order the benchmark makes them) of the
# dumps that begin with START and end with END; the median is printed and its dump kept as
# OUT/LABEL.callgrind.
/usr/bin/python3 - "$out" <<'EOF'
import os, re, shutil, statistics, sys

out = sys.argv[1]

def dumps(name):
    files = [f for f in os.listdir(out) if re.fullmatch(re.escape(name) + r"\.out\.\d+", f)]
    files.sort(key=lambda f: int(f.rsplit(".", 1)[1]))
    result = []
    for f in files + [name + ".out"]:
        trigger = summary = None
        with open(os.path.join(out, f), errors="replace") as fh:
            for line in fh:
                if line.startswith("desc: Trigger:"):
                    trigger = line.split(":", 2)[2].strip()
                elif line.startswith("summary:"):
                    summary = int(line.split()[1])
                    break
        result.append((f, trigger, summary))
    return result

def calls(name, start, end):
    # a dump holds what ran since the dump before it: one call when that one began the function
    # and this one ended it
    d = dumps(name)
    found = []
    for (f0, t0, _), (f1, t1, s1) in zip(d, d[1:]):
        if t0 and re.search(start, t0) and t1 and re.search(end, t1):
            found.append((s1, f1))
    return found

timer = r"QElapsedTimer::nsecsElapsed"
rows = [
    ("load of a 32,767-entry .m3u (bench_playlist)", "playlist", r"::LoadPlaylistFile\(", timer, -7, None, "load"),
    ("plain write, 32,767 entries", "playlist", r"::WritePlainPlaylist\(", timer, -7, None, "plain-write"),
    ("streaming write, 32,767 entries", "playlist", r"::WriteStreamingPlaylist\(", timer, -7, None,
     "streaming-write"),
    ("drop of reversed.pls, 32,767 entries (bench_drop)", "drop", r"::FilmList_OLEDragDrop\(", timer, 5, 10,
     "drop-pls"),
    ("drop of relative.m3u, 32,767 entries", "drop", r"::FilmList_OLEDragDrop\(", timer, 0, 5, "drop-m3u"),
    ("track list over the link, 32,767 entries (bench_link)", "link", r"EncodeTrackList\(", r"rawCopy\(", -5, None,
     "link"),
]
print("instructions per call (callgrind, build/prof), median of the calls at 32,767 entries:")
for label, name, start, end, first, last, keep in rows:
    found = calls(name, start, end)[first:last]
    if not found:
        print("%-56s not found" % label)
        continue
    found.sort()
    count, f = found[len(found) // 2]
    shutil.copy(os.path.join(out, f), os.path.join(out, keep + ".callgrind"))
    print("%-56s %8.1f M  (%d calls, %.1f-%.1f M)" % (label, count / 1e6, len(found), found[0][0] / 1e6,
                                                    found[-1][0] / 1e6))
for name in ("playlist", "drop", "link"):
    for f in os.listdir(out):
        if f.startswith(name + ".out"):
            os.remove(os.path.join(out, f))
EOF
echo "== start-up under callgrind (one start of each, to the first settled frame)"
bash bench/startup.sh build/prof/mirovell build/prof/bench/bare_window 1 "" --callgrind "$out"
echo "dumps for callgrind_annotate: $out/*.callgrind"
