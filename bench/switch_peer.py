#!/usr/bin/env python3
"""The receiving PC's side of the stream benchmark: the link end of a receiver (it takes the list
channel on port 22355 and opens the request channel back to the sender on 22356) and a catcher of
the stream on UDP port 1234. It knows a track on the wire by the picture width in its MPEG-2
sequence headers. Commands come on stdin, one a line: "ask ENTRY" sends the track request for
ENTRY. It writes to OUT_DIR/events.log, one line each, with the time in seconds since the epoch:
"list T", "asked T ENTRY" and "width T W" (whenever the width changes, or first shows after a
pause of the stream).

  switch_peer.py OUT_DIR
"""
import os
import select
import socket
import sys
import time


def width_of(data):
    i = data.find(b"\x00\x00\x01\xb3")
    if i < 0 or i + 7 > len(data):
        return None
    return (data[i + 4] << 4) | (data[i + 5] >> 4)


def main():
    log = open(os.path.join(sys.argv[1], "events.log"), "w", buffering=1)
    udp = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    udp.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4 << 20)
    udp.bind(("0.0.0.0", 1234))
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("0.0.0.0", 22355))
    listener.listen(4)
    listc, request, sender, tried = None, None, None, 0.0
    last, before = None, 0.0
    stdin = sys.stdin.fileno()
    watched = [udp, listener, stdin]
    while True:
        # the request channel goes back to the sender once it listens, tried every half second
        if sender and not request and time.time() - tried > 0.5:
            tried = time.time()
            try:
                request = socket.create_connection((sender, 22356), timeout=1)
            except OSError:
                request = None
        ready, _, _ = select.select(watched + [s for s in (listc,) if s], [], [], 0.5)
        for r in ready:
            if r is udp:
                data = udp.recv(65536)
                now = time.time()
                if now - before > 0.3:
                    last = None
                before = now
                w = width_of(data)
                if w is not None and w != last:
                    log.write("width %.4f %d\n" % (now, w))
                    last = w
            elif r is listener:
                conn, (sender, _) = listener.accept()
                if listc:
                    listc.close()
                listc = conn
                if request:
                    request.close()
                request = None
            elif r is listc:
                data = listc.recv(1 << 20)
                if not data:
                    listc = None
                elif data.startswith(b"1113TRACKLIST:"):
                    log.write("list %.4f\n" % time.time())
            elif r == stdin:
                line = sys.stdin.readline()
                if not line:
                    return
                if line.startswith("ask ") and request:
                    entry = line[4:].rstrip("\n")
                    now = time.time()
                    request.sendall(("1113STARTTRACK:" + entry).encode("cp1252"))
                    log.write("asked %.4f %s\n" % (now, entry))


if __name__ == "__main__":
    main()
