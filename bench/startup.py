#!/usr/bin/python3
"""Start-up as a user meets it, timed from outside the program.

Starts, alternately and under the X server in $DISPLAY, a bare Qt window of the same size (also
once with one label in it), the program with an empty list and the program with a kept list of
32,767 entries, each from a fresh
folder that holds a hard link to the executable, and for the program a settings file as a previous
run leaves it (plus the kept list). For every start it records:

- mapped: exec to the MapNotify of the first top-level window (an X event watcher on the root
  window; the program's own output is not used);
- painted: exec to the first damage (XDAMAGE) of that window, i.e. its first frame on the screen.
  A bare QWidget maps before it loads fonts and its style and does that before its first paint;
  the program does it before it maps. So "mapped" alone flatters the bare window, and both are
  shown;
- peak resident memory at start: VmHWM from /proc once the window has not been redrawn for 0.25 s;
- CPU time until then (all threads, /proc/PID/task/*/schedstat), and the time it waited for a
  CPU: the rest of "painted" is waiting for the X server and the disk, and shows how busy the
  machine was;
- of its resident memory then, the part it allocated itself (RssAnon; the rest is library code and
  data files that every Qt program maps, and which a first touch pays for all the same);
- page faults until then (minor faults: on a virtual machine each costs several microseconds);
- peak resident memory of the whole run (ru_maxrss after it ended by SIGTERM, which includes the
  save at exit).

Precision: times are taken by this process when it reads the event from the X server; it waits in
select(), so each figure is late by its wake-up (about 0.1 ms on an idle core, a few ms when both
cores are busy), and starts with posix_spawn (about 0.3 ms). Medians with the interquartile range
are printed; a summary file (--summary) holds the medians as "key value" lines for scripts/bench.sh.
"""

import argparse
import os
import select
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

from Xlib import X
from Xlib import display as xdisplay
from Xlib.ext import damage

KINDS = ("bare", "label", "empty", "list")
LABELS = {"bare": "bare Qt window", "label": "bare window + label", "empty": "program, empty list",
          "list": "program, 32767 kept"}
# the bare window with one line of text and a listening TCP port: what any window that shows text and
# keeps a link cannot avoid (fontconfig, a font, the network library)
ARGS = {"label": ["label"]}
ENTRIES = 32767
# the same shape of line as bench_playlist's 2.5 MB list
ENTRY = "/home/benutzer/Videos/Serien/Staffel {:03d}/Folge {:05d} - Ein langer Titel.mp4"
SETTLE_S = 0.25   # below the clock's second, whose redraw would otherwise never let a start settle
TIMEOUT_S = 20.0


def settings_text():
    # what an earlier run leaves behind; the receiver is this machine, so a start reaches nothing else
    lines = ["[LastSettings]", "LastConnection=127.0.0.1", "Protocol=UDP", "vlc.exe=/usr/bin/vlc",
             "AutoSavePlaylist=1", "MinimizeOnStart=1", "", "[Settings]", "Protocol1=UDP", "Protocol2=",
             "Protocol3=", ""]
    return "\r\n".join(lines).encode()


def kept_list():
    body = "".join(ENTRY.format(i // 100, i) + "\r\n" for i in range(ENTRIES))
    return ("#EXTM3U\r\n" + body).encode()


def place(binary, folder):
    target = os.path.join(folder, os.path.basename(binary))
    try:
        os.link(binary, target)   # the same file: no copy to read in again
    except OSError:
        shutil.copy2(binary, target)
    return target


def runtime_root():
    # XDG_RUNTIME_DIR is a tmpfs in a desktop session (/run/user/UID); the single-instance lock
    # there is synced to disk on every start, which costs a journal commit on a real disk
    shm = "/dev/shm"
    if os.path.isdir(shm) and os.access(shm, os.W_OK):
        return tempfile.mkdtemp(prefix="mirovell-startup-", dir=shm)
    return tempfile.mkdtemp(prefix="mirovell-startup-runtime-")


def prepare(kind, binary, root, runtime, run, list_bytes):
    name = "%03d-%s" % (run, kind)
    folder = os.path.join(root, name)
    os.makedirs(folder)
    os.makedirs(os.path.join(runtime, name), mode=0o700)
    exe = place(binary, folder)
    if kind in ("empty", "list"):
        base = os.path.splitext(os.path.basename(exe))[0]
        with open(os.path.join(folder, base + ".ini"), "wb") as f:
            f.write(settings_text())
        if kind == "list":
            with open(os.path.join(folder, base + "_TmpPlst.m3u"), "wb") as f:
                f.write(list_bytes)
    return exe, folder


def status_kib(pid, field):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    return 0


def minor_faults(pid):
    # field 10 of /proc/PID/stat, counted after the name in parentheses (which may hold blanks)
    with open("/proc/%d/stat" % pid) as f:
        return int(f.read().rsplit(")", 1)[1].split()[7])


def cpu_ms(pid):
    # on-CPU and run-queue time of all threads so far (/proc/PID/task/*/schedstat, in ns)
    on = waited = 0
    for task in os.listdir("/proc/%d/task" % pid):
        with open("/proc/%d/task/%s/schedstat" % (pid, task)) as f:
            fields = f.read().split()
        on += int(fields[0])
        waited += int(fields[1])
    return on / 1e6, waited / 1e6


def end(pid):
    os.kill(pid, signal.SIGTERM)
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline:
        done, status, usage = os.wait4(pid, os.WNOHANG)
        if done:
            return usage.ru_maxrss
        time.sleep(0.01)
    os.kill(pid, signal.SIGKILL)
    return os.wait4(pid, 0)[2].ru_maxrss


def watch(d, argv, runtime, settle, timeout):
    """Starts argv; returns its pid, the start time and when its window was mapped and first drawn,
    once the window has not been redrawn for settle seconds. The program still runs."""
    env = dict(os.environ, XDG_RUNTIME_DIR=runtime)
    created = set()
    window = None
    mapped = painted = last = None
    fd = d.fileno()
    t0 = time.monotonic()
    pid = os.posix_spawnp(argv[0], argv, env)
    while True:
        now = time.monotonic()
        if last is not None and now - last >= settle:
            break
        if now - t0 > timeout:
            break
        if not d.pending_events():
            select.select([fd], [], [], 0.02)
        while d.pending_events():
            e = d.next_event()
            t = time.monotonic()
            if e.type == X.CreateNotify and not e.override:
                created.add(e.window.id)
                # watch it before it can be drawn; windows without contents answer with an error
                e.window.damage_create(damage.DamageReportNonEmpty)
            elif e.type == X.MapNotify and window is None and e.window.id in created and not e.override:
                window, mapped = e.window.id, t
            elif type(e).__name__ == "DamageNotify" and window is not None and e.drawable.id == window:
                if painted is None:
                    painted = t
                last = t
                d.damage_subtract(e.damage)   # a new event for the next frame
    if mapped is None or painted is None:
        end(pid)
        raise RuntimeError("%s: no window was %s within %.0f s" % (argv[0], "mapped" if mapped is None else "drawn",
                                                                    timeout))
    return pid, t0, mapped, painted


def start_once(d, exe, args, runtime):
    pid, t0, mapped, painted = watch(d, [exe] + args, runtime, SETTLE_S, TIMEOUT_S)
    hwm = status_kib(pid, "VmHWM")
    anon = status_kib(pid, "RssAnon")
    faults = minor_faults(pid)
    cpu, waited = cpu_ms(pid)
    maxrss = end(pid)
    return {"mapped": (mapped - t0) * 1000, "painted": (painted - t0) * 1000, "hwm": hwm / 1024,
            "life": maxrss / 1024, "anon": anon / 1024, "faults": faults, "cpu": cpu,
            "waited": waited}


def grind(d, kinds, binaries, list_bytes, folder):
    """Each kind once under callgrind; the dump taken at the first settled frame is kept as
    folder/start-KIND.callgrind and its instruction count printed."""
    root = tempfile.mkdtemp(prefix="mirovell-startup-")
    runtime = runtime_root()
    try:
        for kind in kinds:
            exe, place_folder = prepare(kind, binaries[kind], root, runtime, 0, list_bytes)
            out = os.path.join(os.path.abspath(folder), "start-%s.out" % kind)
            argv = ["valgrind", "-q", "--tool=callgrind", "--callgrind-out-file=" + out, exe] + ARGS.get(kind, [])
            # the clock redraws every second: a quiet spell must be shorter to be noticed
            pid, _, _, _ = watch(d, argv, os.path.join(runtime, os.path.basename(place_folder)), 0.6, 600)
            subprocess.run(["callgrind_control", "--dump", str(pid)], stdout=subprocess.DEVNULL, check=True)
            dump = out + ".1"
            deadline = time.monotonic() + 120
            while time.monotonic() < deadline and not dump_complete(dump):
                time.sleep(0.1)
            end(pid)
            keep = os.path.join(folder, "start-%s.callgrind" % kind)
            os.replace(dump, keep)
            if os.path.exists(out):
                os.remove(out)
            print("start-up, %-22s %8.1f M instructions to the first settled frame" %
                  (LABELS[kind] + ":", dump_summary(keep) / 1e6))
    finally:
        shutil.rmtree(root, ignore_errors=True)
        shutil.rmtree(runtime, ignore_errors=True)


def dump_complete(path):
    # callgrind writes "totals:" last
    try:
        with open(path, errors="replace") as f:
            return any(line.startswith("totals:") for line in f)
    except OSError:
        return False


def dump_summary(path):
    with open(path, errors="replace") as f:
        for line in f:
            if line.startswith("summary:"):
                return int(line.split()[1])
    return 0


def quartiles(values):
    v = sorted(values)
    if len(v) < 4:
        return v[0], statistics.median(v), v[-1]
    q = statistics.quantiles(v, n=4)
    return q[0], q[1], q[2]


def main():
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("--program", required=True)
    p.add_argument("--bare", required=True)
    p.add_argument("--runs", type=int, default=15)
    p.add_argument("--summary")
    p.add_argument("--callgrind", metavar="DIR",
                   help="instead: start each kind once under callgrind and keep the dump at its first settled frame")
    args = p.parse_args()

    d = xdisplay.Display()
    d.set_error_handler(lambda *a, **k: None)
    if not d.has_extension("DAMAGE"):
        sys.exit("the X server has no DAMAGE extension")
    d.damage_query_version()
    d.screen().root.change_attributes(event_mask=X.SubstructureNotifyMask)
    d.sync()

    list_bytes = kept_list()
    binaries = {"bare": args.bare, "label": args.bare, "empty": args.program, "list": args.program}
    if args.callgrind:
        grind(d, KINDS, binaries, list_bytes, args.callgrind)
        return
    results = {k: [] for k in KINDS}
    root = tempfile.mkdtemp(prefix="mirovell-startup-")
    runtime = runtime_root()
    try:
        for run in range(args.runs):
            # each round in another order, so that no kind always follows the same one
            for kind in KINDS[run % len(KINDS):] + KINDS[:run % len(KINDS)]:
                exe, folder = prepare(kind, binaries[kind], root, runtime, run, list_bytes)
                results[kind].append(start_once(d, exe, ARGS.get(kind, []),
                                                os.path.join(runtime, os.path.basename(folder))))
                shutil.rmtree(folder, ignore_errors=True)
    finally:
        shutil.rmtree(root, ignore_errors=True)
        shutil.rmtree(runtime, ignore_errors=True)

    med = {k: {f: statistics.median(r[f] for r in results[k]) for f in ("mapped", "painted", "hwm", "life", "anon", "faults", "cpu", "waited")}
           for k in KINDS}
    print("start-up from outside: %d runs of each, alternated, one X server (%s)" % (args.runs, os.environ["DISPLAY"]))
    print("%-22s %26s %26s %17s %17s %8s %7s %7s %7s" % ("", "exec to mapped, ms", "exec to first paint, ms",
                                                            "peak at start MiB", "whole run MiB", "anon MiB",
                                                            "faults", "CPU ms", "wait ms"))
    for k in KINDS:
        row = [LABELS[k]]
        for f in ("mapped", "painted"):
            lo, mid, hi = quartiles([r[f] for r in results[k]])
            row.append("%7.1f (IQR %6.1f-%6.1f)" % (mid, lo, hi))
        for f in ("hwm", "life"):
            vals = [r[f] for r in results[k]]
            row.append("%6.1f (%5.1f-%5.1f)" % (statistics.median(vals), min(vals), max(vals)))
        row += ["%.1f" % med[k]["anon"], "%d" % med[k]["faults"], "%.1f" % med[k]["cpu"], "%.1f" % med[k]["waited"]]
        print("%-22s %26s %26s %17s %17s %8s %7s %7s %7s" % tuple(row))
    for what, over, under in (("empty / bare window", "empty", "bare"), ("empty / window + label", "empty", "label"),
                              ("kept list / empty", "list", "empty")):
        print("ratio of the medians, %-23s mapped %.2fx, first paint %.2fx, peak memory %.2fx" %
              (what + ":", med[over]["mapped"] / med[under]["mapped"], med[over]["painted"] / med[under]["painted"],
               med[over]["hwm"] / med[under]["hwm"]))
    if args.summary:
        with open(args.summary, "w") as f:
            for k in KINDS:
                for field, value in med[k].items():
                    f.write("%s_%s %.3f\n" % (field, k, value))


if __name__ == "__main__":
    main()
