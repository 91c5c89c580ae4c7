#!/usr/bin/env python3
"""A host that floods the web remote: many connections at once, each with hundreds of pipelined
requests, a body far too large and a WebSocket handshake with a made-up cookie, again and again.

  webflood.py HOST PORT SECONDS    prints what it sent and what came back
"""
import re
import socket
import sys
import threading
import time

host, port, seconds = sys.argv[1], int(sys.argv[2]), float(sys.argv[3])
lock = threading.Lock()
counts = {"connections": 0, "refused": 0, "sent": 0, "received": 0, "closed by the server": 0}
codes = {}

# within the bytes a host may send, beyond the requests it may make
small = b"GET /state HTTP/1.1\r\nHost: x\r\n\r\n" * 60
# far beyond both
burst = b"".join([
    b"GET /state HTTP/1.1\r\nHost: x\r\n\r\n" * 100,
    b"POST /next HTTP/1.1\r\nHost: x\r\nContent-Length: 2\r\n\r\n{}" * 50,
    b"GET /ws HTTP/1.1\r\nHost: x\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Version: 13\r\n"
    b"Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nCookie: mirovell=00000000000000000000000000000000\r\n\r\n",
    b"POST /ask HTTP/1.1\r\nHost: x\r\nContent-Length: 1048576\r\n\r\n" + b"x" * 262144,
])


def add(key, n=1):
    with lock:
        counts[key] += n


def worker(data):
    until = time.monotonic() + seconds
    while time.monotonic() < until:
        try:
            s = socket.create_connection((host, port), timeout=2)
        except OSError:
            add("refused")
            time.sleep(0.05)
            continue
        add("connections")
        got = b""
        try:
            s.settimeout(1)
            sent = 0
            while sent < len(data):
                sent += s.send(data[sent:sent + 65536])
            add("sent", sent)
            while True:
                d = s.recv(65536)
                if not d:
                    add("closed by the server")
                    break
                add("received", len(d))
                got = (got + d)[-4096:]
                for code in re.findall(rb"HTTP/1\.1 (\d{3})", d):
                    with lock:
                        codes[code.decode()] = codes.get(code.decode(), 0) + 1
        except OSError:
            add("closed by the server")
        finally:
            s.close()


threads = [threading.Thread(target=worker, args=(small if i % 2 else burst,)) for i in range(24)]
for t in threads:
    t.start()
for t in threads:
    t.join()
print("webflood: " + ", ".join(f"{k} {v}" for k, v in counts.items()) +
      "; answers " + (", ".join(f"{k}: {v}" for k, v in sorted(codes.items())) or "none"), flush=True)
