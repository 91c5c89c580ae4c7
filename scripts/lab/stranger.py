#!/usr/bin/env python3
"""A host on the LAN that is not the receiver the user chose, for scripts/strangers.sh.

  stranger.py flood HOST PORT BYTES            holds the request channel and sends BYTES of
                                               "1113STARTTRACK:zz"; says when it was disconnected
  stranger.py join HOST PORT LISTEN SECONDS    asks for the list from the address LISTEN (the
                                               request channel to HOST:PORT, a list port of its own
                                               on LISTEN:22355) and says what reached it; asks for
                                               a track every second meanwhile
  stranger.py knock HOST PORT TIMES            connects TIMES times as fast as it can and says how
                                               many connections the host kept open
  stranger.py receiver SENDER ENTRY SECONDS    a receiver of the old kind, one message per write:
                                               takes the list channel, asks for ENTRY, reports the
                                               first entry of every list; stays SECONDS
  stranger.py noroom RECEIVER SECONDS          a sender with no room: brings a list to RECEIVER and
                                               closes every request channel it opens at once;
                                               counts them
  stranger.py bring RECEIVER                   brings a list of its own to RECEIVER's list port and
                                               says whether it was kept
  stranger.py ping WINDOW SECONDS              asks the X window every 20 ms for a _NET_WM_PING
                                               answer and prints the longest wait in ms
"""
import select
import socket
import sys
import time

LIST_PORT = 22355
REQUEST_PORT = 22356


def say(*parts):
    print(*parts, flush=True)


def flood(host, port, size):
    unit = b"1113STARTTRACK:zz"
    data = unit * (int(size) // len(unit))
    s = socket.create_connection((host, int(port)), timeout=10)
    start = time.monotonic()
    sent = 0
    try:
        while sent < len(data):
            sent += s.send(data[sent:sent + 65536])
    except OSError:
        pass
    # the sender should hang up on us: wait for the end of the connection
    s.settimeout(30)
    try:
        while s.recv(65536):
            pass
        gone = True
    except socket.timeout:
        gone = False
    except OSError:
        gone = True
    say(f"flood: sent {sent} bytes, disconnected={'yes' if gone else 'no'} after {time.monotonic() - start:.1f} s")


def read_lists(conn, until, report):
    """Reads list messages until the time is up; reports the first entry of each and the count."""
    buf = b""
    conn.setblocking(False)
    while time.monotonic() < until:
        r, _, _ = select.select([conn], [], [], 0.2)
        if not r:
            continue
        try:
            chunk = conn.recv(1 << 20)
        except OSError:
            return
        if not chunk:
            return
        buf += chunk
        while True:
            at = buf.find(b"1113TRACKLIST:", 1)
            if at < 0:
                break
            report(buf[:at])
            buf = buf[at:]
        # a list whose announced count has arrived is whole
        if buf.startswith(b"1113TRACKLIST:") and b";" in buf:
            count = int(buf[14:buf.index(b";")] or b"0")
            if buf.count(b";") >= count + 1:
                report(buf)
                buf = b""


def describe(message):
    body = message[14:]
    count, _, rest = body.partition(b";")
    first = rest.split(b";", 1)[0]
    return f"list {int(count or b'0')} entries, first {first.decode('cp1252', 'replace')}"


def join(host, port, listen, seconds):
    server = socket.socket()
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind((listen, LIST_PORT))
    server.listen(4)
    req = socket.socket()
    req.bind((listen, 0))
    try:
        req.connect((host, int(port)))
    except ConnectionRefusedError:
        say("join: refused, list bytes 0")
        return
    say("join: asking")
    until = time.monotonic() + float(seconds)
    got = []
    closed = False
    next_ask = time.monotonic()
    server.setblocking(False)
    conns = []
    while time.monotonic() < until:
        if time.monotonic() >= next_ask and not closed:
            try:
                req.send(b"1113STARTTRACK:zz")
            except OSError:
                closed = True
            next_ask += 1
        r, _, _ = select.select([server] + ([] if closed else [req]) + conns, [], [], 0.1)
        for x in r:
            if x is server:
                c, _ = server.accept()
                conns.append(c)
            elif x is req:
                try:
                    if not req.recv(100):
                        closed = True
                except OSError:
                    closed = True
                if closed:
                    say("join: the request channel was closed")
            else:
                data = x.recv(1 << 20)
                if not data:
                    conns.remove(x)
                else:
                    if not got:
                        say("join: a list arrives")
                    got.append(data)
    total = sum(len(g) for g in got)
    say(f"join: list bytes {total}, request channel {'closed' if closed else 'open'}")


def knock(host, port, times):
    kept = 0
    start = time.monotonic()
    for _ in range(int(times)):
        try:
            s = socket.create_connection((host, int(port)), timeout=5)
        except OSError:
            continue
        s.settimeout(2)
        try:
            data = s.recv(100)
            kept += data != b""
        except socket.timeout:
            kept += 1
        except OSError:
            pass
        s.close()
    say(f"knock: {times} connections in {time.monotonic() - start:.1f} s, {kept} kept open")


def receiver(sender, entry, seconds):
    server = socket.socket()
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind(("", LIST_PORT))
    server.listen(1)
    server.settimeout(float(seconds))
    conn, _ = server.accept()
    until = time.monotonic() + float(seconds)
    asked = [False]
    req = socket.create_connection((sender, REQUEST_PORT), timeout=10)

    def report(message):
        say("receiver: " + describe(message))
        if not asked[0]:
            asked[0] = True
            time.sleep(0.5)
            req.send(("1113STARTTRACK:" + entry).encode("cp1252"))
            say("receiver: asked for " + entry)
    read_lists(conn, until, report)


def noroom(receiver_host, seconds):
    server = socket.socket()
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind(("", REQUEST_PORT))
    server.listen(64)
    lst = socket.create_connection((receiver_host, LIST_PORT), timeout=10)
    lst.send(b"1113TRACKLIST:2;/fremd/eins.avi;/fremd/zwei.avi;")
    server.settimeout(0.2)
    attempts = 0
    until = time.monotonic() + float(seconds)
    while time.monotonic() < until:
        try:
            c, _ = server.accept()
        except socket.timeout:
            continue
        attempts += 1
        c.close()
    say(f"noroom: {attempts} request channels in {seconds} s")


def bring(receiver_host):
    try:
        s = socket.create_connection((receiver_host, LIST_PORT), timeout=5)
    except OSError as e:
        say(f"bring: refused ({e.strerror})")
        return
    try:
        s.send(b"1113TRACKLIST:1;/fremd/liste.avi;")
        s.settimeout(3)
        data = s.recv(100)
        say("bring: closed" if not data else "bring: kept")
    except socket.timeout:
        say("bring: kept")
    except OSError:
        say("bring: closed")


def ping(window, seconds):
    from Xlib import X, display, protocol
    d = display.Display()
    root = d.screen().root
    # Qt answers to the root window, to those who watch its structure
    root.change_attributes(event_mask=X.StructureNotifyMask)
    win = d.create_resource_object("window", int(window, 0))
    wm_protocols = d.intern_atom("WM_PROTOCOLS")
    net_wm_ping = d.intern_atom("_NET_WM_PING")
    longest = 0.0
    answered = 0
    until = time.monotonic() + float(seconds)
    stamp = 1
    while time.monotonic() < until:
        sent = time.monotonic()
        ev = protocol.event.ClientMessage(window=win, client_type=wm_protocols,
                                          data=(32, [net_wm_ping, stamp, win.id, 0, 0]))
        win.send_event(ev, event_mask=X.NoEventMask)
        d.flush()
        back = False
        while not back:
            left = until + 30 - time.monotonic()
            if left <= 0:
                break
            r, _, _ = select.select([d.fileno()], [], [], min(left, 1.0))
            while d.pending_events():
                e = d.next_event()
                if e.type == X.ClientMessage and e.client_type == wm_protocols and e.data[1][1] == stamp:
                    back = True
        if not back:
            say("ping: no answer")
            sys.exit(1)
        waited = (time.monotonic() - sent) * 1000
        longest = max(longest, waited)
        answered += 1
        stamp += 1
        time.sleep(max(0.0, 0.02 - (time.monotonic() - sent)))
    say(f"ping: {answered} answers, longest {longest:.0f} ms")


def main():
    commands = {"flood": flood, "join": join, "knock": knock, "receiver": receiver, "noroom": noroom, "bring": bring,
                "ping": ping}
    if len(sys.argv) < 2 or sys.argv[1] not in commands:
        sys.exit(__doc__)
    commands[sys.argv[1]](*sys.argv[2:])


if __name__ == "__main__":
    main()
