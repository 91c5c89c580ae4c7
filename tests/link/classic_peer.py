#!/usr/bin/env python3
"""A peer that knows only the track list and the track request, as the first versions of the
program on Windows: one message per write, in Windows-1252, and whatever one read returns is one
message. It records every read and writes them, one hex line each, to OUT when it is done.

  classic_peer.py receiver LIST_PORT REQUEST_PORT OUT ENTRY
      listens for the list channel, connects the request channel back, asks for ENTRY once the
      first list came, and is done when a list with ENTRY first has come.
  classic_peer.py sender LIST_PORT REQUEST_PORT OUT ENTRY...
      connects the list channel, sends the list of ENTRY..., takes the request channel, and is
      done when a track request has come (and one second more has passed).
"""
import select
import socket
import sys
import time


def record(reads, out):
    with open(out + ".part", "w") as f:
        for r in reads:
            f.write(r.hex() + "\n")
    import os
    os.replace(out + ".part", out)


def track_list(entries):
    return ("1113TRACKLIST:%d;" % len(entries) + "".join(e + ";" for e in entries)).encode("cp1252")


def as_receiver(list_port, request_port, out, entry):
    server = socket.socket()
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind(("127.0.0.1", list_port))
    server.listen(1)
    listc, (sender, _) = server.accept()
    request = socket.create_connection((sender, request_port))
    reads, asked = [], False
    deadline = time.time() + 30
    while time.time() < deadline:
        ready, _, _ = select.select([listc, request], [], [], 0.2)
        for s in ready:
            data = s.recv(65536)
            if not data:
                record(reads, out)
                return
            if s is request:
                continue  # nothing comes back on the request channel
            reads.append(data)
            if not asked and data.startswith(b"1113TRACKLIST:"):
                request.sendall(("1113STARTTRACK:" + entry).encode("cp1252"))
                asked = True
            elif asked and data.startswith(b"1113TRACKLIST:") and data.split(b";")[1] == entry.encode("cp1252"):
                record(reads, out)
                return
    record(reads, out)


def as_sender(list_port, request_port, out, entries):
    server = socket.socket()
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind(("127.0.0.1", request_port))
    server.listen(1)
    listc = socket.create_connection(("127.0.0.1", list_port))
    time.sleep(0.3)
    listc.sendall(track_list(entries))
    request, _ = server.accept()
    reads, done = [], None
    deadline = time.time() + 30
    while time.time() < deadline and (done is None or time.time() < done):
        ready, _, _ = select.select([request], [], [], 0.1)
        if ready:
            data = request.recv(65536)
            if not data:
                break
            reads.append(data)
            if b"STARTTRACK:" in data and done is None:
                done = time.time() + 1
    record(reads, out)


if __name__ == "__main__":
    role, list_port, request_port, out = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
    if role == "receiver":
        as_receiver(list_port, request_port, out, sys.argv[5])
    else:
        as_sender(list_port, request_port, out, sys.argv[5:])
