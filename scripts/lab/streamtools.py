#!/usr/bin/python3
"""Small receivers and checks for the stream measurements (scripts/lab/measure-streams.sh).

  streamtools.py mcast GROUP PORT OUT SECONDS [IFADDR [WIDTHS]]  join the group, write every datagram's payload
      (WIDTHS: a log of the time since the epoch and the MPEG-2 picture width whenever it changes)
  streamtools.py http URL OUT SECONDS [retry]           pull the body; with retry, connect again after an end
  streamtools.py tones WAV                              which tone plays when, from a decoded WAV file
  streamtools.py ts FILE                                transport stream packets, PIDs, continuity errors
Each receiver ends after SECONDS and prints one line: bytes, datagrams or connections, first and
last arrival (seconds since its start) and the longest gap.
"""
import socket
import struct
import sys
import time
import urllib.request
import wave


def report(what, nbytes, count, arrivals):
    gap = max((b - a for a, b in zip(arrivals, arrivals[1:])), default=0.0)
    first = arrivals[0] if arrivals else -1
    last = arrivals[-1] if arrivals else -1
    print(f"{what} bytes={nbytes} count={count} first={first:.2f} last={last:.2f} longest_gap={gap:.2f}",
          flush=True)


def picture_width(data):
    i = data.find(b"\x00\x00\x01\xb3")
    if i < 0 or i + 7 > len(data):
        return None
    return (data[i + 4] << 4) | (data[i + 5] >> 4)


def mcast(group, port, out, seconds, ifaddr="0.0.0.0", widths=""):
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM, socket.IPPROTO_UDP)
    s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4 << 20)
    s.bind((group, int(port)))
    s.setsockopt(socket.IPPROTO_IP, socket.IP_ADD_MEMBERSHIP,
                 struct.pack("4s4s", socket.inet_aton(group), socket.inet_aton(ifaddr)))
    start = time.monotonic()
    end = start + float(seconds)
    nbytes, arrivals = 0, []
    log = open(widths, "w", buffering=1) if widths else None
    last, before = None, 0.0
    with open(out, "wb") as f:
        while True:
            left = end - time.monotonic()
            if left <= 0:
                break
            s.settimeout(left)
            try:
                data = s.recv(65536)
            except socket.timeout:
                break
            f.write(data)
            nbytes += len(data)
            arrivals.append(time.monotonic() - start)
            if log:
                now = time.time()
                if now - before > 0.3:
                    last = None  # the first picture after a pause counts as a change
                before = now
                w = picture_width(data)
                if w is not None and w != last:
                    log.write("%.3f %d\n" % (now, w))
                    last = w
    report("mcast", nbytes, len(arrivals), arrivals)


def http(url, out, seconds, retry=""):
    start = time.monotonic()
    end = start + float(seconds)
    nbytes, arrivals, connections = 0, [], 0
    with open(out, "wb") as f:
        while time.monotonic() < end:
            try:
                left = max(0.1, end - time.monotonic())
                with urllib.request.urlopen(url, timeout=min(left, 2.0)) as r:
                    connections += 1
                    print(f"http connected at {time.monotonic() - start:.2f} status={r.status}", flush=True)
                    while time.monotonic() < end:
                        try:
                            data = r.read1(65536)
                        except socket.timeout:
                            continue
                        if not data:
                            print(f"http body ended at {time.monotonic() - start:.2f}", flush=True)
                            break
                        f.write(data)
                        nbytes += len(data)
                        arrivals.append(time.monotonic() - start)
            except OSError as e:
                if connections == 0 or retry:
                    time.sleep(0.2)
                else:
                    print(f"http error at {time.monotonic() - start:.2f}: {e}", flush=True)
            if not retry and connections:
                break
    report("http", nbytes, connections, arrivals)


def tones(path):
    """Prints the runs of one tone: start and end in seconds of decoded audio, and the frequency."""
    with wave.open(path, "rb") as w:
        rate, channels, width = w.getframerate(), w.getnchannels(), w.getsampwidth()
        frames = w.readframes(w.getnframes())
    if not frames:  # a player that was killed leaves the header's length at 0
        with open(path, "rb") as f:
            frames = f.read()[44:]
        frames = frames[:len(frames) // 2 * 2]
    if width != 2:
        sys.exit("tones: 16-bit WAV expected")
    samples = struct.unpack(f"<{len(frames) // 2}h", frames)[::channels]
    step = rate // 4
    runs = []
    for i in range(0, len(samples) - step + 1, step):
        block = samples[i:i + step]
        loud = max(abs(v) for v in block)
        crossings = sum(1 for a, b in zip(block, block[1:]) if (a < 0) != (b < 0))
        freq = round(crossings * rate / step / 2 / 100) * 100 if loud > 500 else 0
        t = i / rate
        if runs and runs[-1][2] == freq:
            runs[-1][1] = t + step / rate
        else:
            runs.append([t, t + step / rate, freq])
    for a, b, freq in runs:
        print(f"{a:7.2f} {b:7.2f} {'silence' if freq == 0 else f'{freq} Hz'}")
    print(f"decoded {len(samples) / rate:.2f} s")


def ts(path):
    """Counts 188-byte packets per PID and continuity-counter jumps (a lost or doubled packet)."""
    with open(path, "rb") as f:
        data = f.read()
    pids, last, jumps, bad = {}, {}, 0, 0
    for i in range(0, len(data) - 187, 188):
        if data[i] != 0x47:
            bad += 1
            continue
        pid = ((data[i + 1] & 0x1F) << 8) | data[i + 2]
        pids[pid] = pids.get(pid, 0) + 1
        if pid == 0x1FFF or not data[i + 3] & 0x10:
            continue
        cc = data[i + 3] & 0x0F
        discontinuity = data[i + 3] & 0x20 and data[i + 4] and data[i + 5] & 0x80
        if pid in last and cc != (last[pid] + 1) % 16 and cc != last[pid] and not discontinuity:
            jumps += 1
        last[pid] = cc
    print(f"ts packets={len(data) // 188} not_synced={bad} continuity_jumps={jumps} pids={dict(sorted(pids.items()))}")


if __name__ == "__main__":
    command, args = sys.argv[1], sys.argv[2:]
    {"mcast": mcast, "http": http, "tones": tones, "ts": ts}[command](*args)
