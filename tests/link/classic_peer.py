#!/usr/bin/env python3
"""A peer as the program's first versions on Windows: it knows only the track list and the track
request, sends one message per write in Windows-1252, and takes whatever one read returns as one
message. When it is done it writes every read to OUT, one hex line each.

  classic_peer.py receiver LIST_PORT REQUEST_PORT OUT ENTRY   asks for ENTRY once a list came;
                                                              done when a list with ENTRY first came
  classic_peer.py sender LIST_PORT REQUEST_PORT OUT ENTRY...  sends the list of ENTRY...; done a
                                                              second after a track request came
"""
import os
import select
import socket
import sys
import time


def listening(port):
    server = socket.socket()
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind(("127.0.0.1", port))
    server.listen(1)
    return server


def main(role, list_port, request_port, out, entries):
    if role == "receiver":
        heard, (sender, _) = listening(list_port).accept()
        request = socket.create_connection((sender, request_port))
    else:
        server = listening(request_port)
        listc = socket.create_connection(("127.0.0.1", list_port))
        time.sleep(0.3)
        listc.sendall(("1113TRACKLIST:%d;" % len(entries) + "".join(e + ";" for e in entries)).encode("cp1252"))
        heard, _ = server.accept()
    reads, asked, done = [], False, time.time() + 30
    while time.time() < done:
        if not select.select([heard], [], [], 0.1)[0]:
            continue
        data = heard.recv(65536)
        if not data:
            break
        reads.append(data)
        if role == "sender":
            if b"STARTTRACK:" in data and done > time.time() + 1:
                done = time.time() + 1
        elif data.startswith(b"1113TRACKLIST:") and not asked:
            request.sendall(("1113STARTTRACK:" + entries[0]).encode("cp1252"))
            asked = True
        elif data.startswith(b"1113TRACKLIST:") and data.split(b";")[1] == entries[0].encode("cp1252"):
            break
    with open(out + ".part", "w") as f:
        f.writelines(r.hex() + "\n" for r in reads)
    os.replace(out + ".part", out)


if __name__ == "__main__":
    main(sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4], sys.argv[5:])
