#!/usr/bin/python3
"""A host on the LAN that only listens: accepts on the link's ports and writes one line per
connection (port, peer address, bytes received) to LOG, so a stage can show that nothing reached it.

  quiet-stranger.py LOG [PORT...]     (ports 22355 and 22356 by default)
Writes "listening" as its first line once every port listens.
"""
import selectors
import socket
import sys


def main():
    log = open(sys.argv[1], "a", buffering=1)
    ports = [int(p) for p in sys.argv[2:]] or [22355, 22356]
    sel = selectors.DefaultSelector()
    for port in ports:
        s = socket.socket()
        s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        s.bind(("0.0.0.0", port))
        s.listen(16)
        s.setblocking(False)
        sel.register(s, selectors.EVENT_READ, port)
    log.write("listening\n")
    got = {}
    while True:
        for key, _ in sel.select():
            if key.data is not None:  # a listening socket
                try:
                    c, addr = key.fileobj.accept()
                except OSError:
                    continue
                c.setblocking(False)
                log.write(f"connection {key.data} from {addr[0]}\n")
                got[c] = (key.data, addr[0], 0)
                sel.register(c, selectors.EVENT_READ, None)
                continue
            c = key.fileobj
            port, peer, n = got[c]
            try:
                data = c.recv(65536)
            except OSError:
                data = b""
            if data and n < 1 << 20:  # bounded: it counts, keeps nothing
                got[c] = (port, peer, n + len(data))
                continue
            log.write(f"closed {port} from {peer} after {n + len(data)} bytes\n")
            sel.unregister(c)
            c.close()
            del got[c]


if __name__ == "__main__":
    main()
