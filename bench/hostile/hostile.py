#!/usr/bin/env python3
"""Hostile and slow clients: how long an ordinary client waits while others hold the server.

Scenarios (each against the daemon, Debian's stock civetweb and nginx, side by side):
  idle     64 connections that connect and send nothing, reconnecting whenever cut
  head     64 connections that dribble a request head, a byte every 100 ms
  body     64 connections that send a head with "Content-Length: 1000000000", then dribble
           the body a byte every 100 ms
each once from one other address (127.0.0.2) and once from 64 addresses (127.0.0.2 to
127.0.0.65);
  kept alive  8 connections from 8 addresses, as many as the daemon has workers, that ask
           for the version on a kept-alive connection, then idle (the library's keep-alive
           wait) or ask again every 0.5 s or 0.1 s; a connection that ends is opened again;
           and, for each sample anew, 8 that have all just been answered and wait, so that
           every worker holds an idle kept-alive connection when the ordinary client comes; and
  slow     one client reading a 64 MiB clip at 2 KB/s (4 KiB receive buffer).
Meanwhile an ordinary client (127.0.0.1, a new connection each time) asks for the version
route (a small file for the peers) and downloads a 95 KB photo, five times each; the table
gives the median and the worst time. A wait longer than TIMEOUT seconds counts as that.
After each scenario the attack stops, and the daemon's RSS, descriptors and threads are
sampled until they are back at their idle values (RSS within 1 MiB): the time it took.

The daemon runs with the camera's figures (8 workers, 5 s for a request head, 6 workers per
address). Usage: hostile.py BIN_DIR [ONLY [SCENARIO]]   (ONLY: one server label, e.g.
zqHTTPServer, or "all"; SCENARIO: the scenarios whose name contains it)
"""

import os
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from benchlib import free_port, start_daemon, wait_port  # noqa: E402

TIMEOUT = 10.0
ATTACKERS = 64
SAMPLES = 5
CLIP = "ZQ010099.MP4"
PHOTO = "TAVR0003.JPG"


class Server:
    def __init__(self, label, attack_port, port, version_path, photo_path, proc, host=None):
        self.label = label
        self.attack_port = attack_port  # where the attackers connect
        self.port = port  # where the ordinary client connects
        self.version_path = version_path
        self.photo_path = photo_path
        self.proc = proc
        self.host = host or f"127.0.0.1:{port}"


class Attack:
    """`count` connections from `sources` (cycled) that send `first` and then, when `gap` is
    set, a byte every `gap` seconds; a connection that the server ends is opened again."""

    def __init__(self, server, sources, first, gap, count=ATTACKERS, repeat=False):
        self.server, self.sources, self.first, self.gap = server, sources, first, gap
        self.count, self.repeat = count, repeat  # repeat: send `first` again every `gap`
        self.stop = threading.Event()
        self.socks = [None] * count
        self.reconnects = 0
        self.thread = threading.Thread(target=self.run, daemon=True)
        self.thread.start()

    def open(self, i):
        s = socket.socket()
        s.setblocking(False)
        try:
            s.bind((self.sources[i % len(self.sources)], 0))
            s.connect_ex(("127.0.0.1", self.server.attack_port))
        except OSError:
            s.close()
            return None
        return [s, False]  # socket, head sent

    def run(self):
        while not self.stop.is_set():
            for i in range(self.count):
                entry = self.socks[i]
                if entry is None:
                    self.socks[i] = self.open(i)
                    self.reconnects += 1
                    continue
                s = entry[0]
                try:
                    if s.recv(65536) == b"":
                        raise ConnectionResetError
                except BlockingIOError:
                    pass
                except OSError:
                    s.close()
                    self.socks[i] = None
                    continue
                try:
                    if not entry[1]:
                        if self.first:
                            s.send(self.first)
                        entry[1] = True
                    elif self.gap is not None:
                        s.send(self.first if self.repeat else b"x")
                except BlockingIOError:
                    pass
                except OSError:
                    s.close()
                    self.socks[i] = None
            self.stop.wait(self.gap or 0.1)

    def close(self):
        self.stop.set()
        self.thread.join()
        for entry in self.socks:
            if entry is not None:
                entry[0].close()


class SlowReader:
    """Reads the big clip 2 KB a second through a 4 KiB receive buffer."""

    def __init__(self, server, path):
        self.stop = threading.Event()
        self.sock = socket.socket()
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
        self.sock.connect(("127.0.0.1", server.port))
        self.sock.sendall(f"GET {path} HTTP/1.1\r\nHost: {server.host}\r\n\r\n".encode())
        self.thread = threading.Thread(target=self.run, daemon=True)
        self.thread.start()

    def run(self):
        while not self.stop.wait(1.0):
            try:
                self.sock.recv(2048)
            except OSError:
                return

    def close(self):
        self.stop.set()
        self.thread.join()
        self.sock.close()


def timed_get(server, path):
    """Seconds until the whole answer of a GET on a new connection, or TIMEOUT."""
    t0 = time.monotonic()
    try:
        with socket.create_connection(("127.0.0.1", server.port), TIMEOUT) as s:
            s.settimeout(TIMEOUT)
            s.sendall(f"GET {path} HTTP/1.1\r\nHost: {server.host}\r\n"
                      "Connection: close\r\n\r\n".encode())
            data = b""
            while time.monotonic() - t0 < TIMEOUT:
                chunk = s.recv(65536)
                if not chunk:
                    break
                data += chunk
            if not data.startswith(b"HTTP/1.1 200"):
                return TIMEOUT
    except OSError:
        return TIMEOUT
    return min(time.monotonic() - t0, TIMEOUT)


def waits(server, path, before=None):
    """Median and worst of SAMPLES timed GETs; a time-out ends the series. `before`, when
    given, runs before each one and returns what to close after it."""
    times = []
    for _ in range(SAMPLES):
        held = before() if before else []
        times.append(timed_get(server, path))
        for sock in held:
            sock.close()
        if times[-1] >= TIMEOUT:
            break
    return statistics.median(times), max(times)


def answered_keep_alive(server, sources):
    """One kept-alive connection from each of `sources`, each answered once and left waiting
    for its next request. Returns the sockets."""
    socks = []
    for source in sources:
        s = socket.socket()
        s.settimeout(TIMEOUT)
        s.bind((source, 0))
        s.connect(("127.0.0.1", server.attack_port))
        s.sendall(f"GET {server.version_path} HTTP/1.1\r\nHost: {server.host}\r\n\r\n".encode())
        socks.append(s)
    for s in socks:  # the whole answer: its head and Content-Length bytes of body
        data = b""
        while b"\r\n\r\n" not in data:
            data += s.recv(65536)
        head, _, body = data.partition(b"\r\n\r\n")
        length = 0
        for line in head.split(b"\r\n"):
            if line.lower().startswith(b"content-length:"):
                length = int(line.split(b":")[1])
        while len(body) < length:
            body += s.recv(65536)
    return socks


def usage(pid):
    with open(f"/proc/{pid}/status") as f:
        fields = dict(line.split(":", 1) for line in f)
    rss = int(fields["VmRSS"].split()[0])
    threads = int(fields["Threads"])
    fds = len(os.listdir(f"/proc/{pid}/fd"))
    return rss, fds, threads


def recovery(pid, idle, limit=10.0):
    """Seconds until RSS (within 1 MiB), descriptors and threads are back at `idle`."""
    t0 = time.monotonic()
    while time.monotonic() - t0 < limit:
        rss, fds, threads = usage(pid)
        if rss <= idle[0] + 1024 and fds <= idle[1] and threads <= idle[2]:
            return time.monotonic() - t0, (rss, fds, threads)
        time.sleep(0.05)
    return None, usage(pid)


SCENARIOS = [
    ("no one else", [], None, None),
    ("64 idle, one address", ["127.0.0.2"], "", None),
    ("64 dribbling heads, one address", ["127.0.0.2"], "GET / HTTP/1.1\r\nX-Slow: ", 0.1),
    ("64 dribbling bodies, one address", ["127.0.0.2"], "BODY", 0.1),
    ("64 idle, 64 addresses", [f"127.0.0.{i}" for i in range(2, 66)], "", None),
    ("64 dribbling heads, 64 addresses", [f"127.0.0.{i}" for i in range(2, 66)],
     "GET / HTTP/1.1\r\nX-Slow: ", 0.1),
    ("8 kept alive idle, 8 addresses", [f"127.0.0.{i}" for i in range(2, 10)], "KEEP-ALIVE",
     None),
    ("8 kept alive asking every 0.5 s", [f"127.0.0.{i}" for i in range(2, 10)], "KEEP-ALIVE",
     0.5),
    ("8 kept alive asking every 0.1 s", [f"127.0.0.{i}" for i in range(2, 10)], "KEEP-ALIVE",
     0.1),
    ("8 kept alive, all just answered", [f"127.0.0.{i}" for i in range(2, 10)], "ANSWERED",
     None),
    ("a 2 KB/s reader holds a clip", None, None, None),
]


def ms(seconds):
    return f"{seconds * 1000:.1f}" if seconds < 0.01 else f"{seconds * 1000:.0f}"


def fmt(pair):
    median, worst = pair
    if worst >= TIMEOUT:
        return f">{TIMEOUT:.0f} s"
    return f"{ms(median)} ms (max {ms(worst)})"


def main():
    bin_dir = sys.argv[1]
    only = sys.argv[2] if len(sys.argv) > 2 and sys.argv[2] != "all" else None
    scenario = sys.argv[3] if len(sys.argv) > 3 else ""
    work = tempfile.mkdtemp(prefix="zqbench.")
    os.chmod(work, 0o755)  # nginx's workers run as an unprivileged user
    procs = []
    try:
        run(bin_dir, work, only, scenario, procs)
    finally:
        for p in procs:
            p.terminate()
        for p in procs:
            p.wait()
        shutil.rmtree(work, ignore_errors=True)


def run(bin_dir, work, only, scenario, procs):
    root = os.path.join(work, "root")
    env = dict(os.environ, ZQ_ROOT=root)
    card = os.path.join(root, "tmp/fuse_d")
    subprocess.run([os.path.join(bin_dir, "zqsim"), "card", "make", card], env=env, check=True,
                   stdout=subprocess.DEVNULL)
    media = os.path.join(card, "DCIM/100TAVRO")
    with open(os.path.join(media, CLIP), "wb") as f:
        block = os.urandom(1 << 20)
        for _ in range(64):
            f.write(block)
    with open(os.path.join(media, "version.txt"), "w") as f:
        f.write('{ "version": "peer" }\n')

    servers = []
    if only in (None, "zqHTTPServer"):
        daemon, ports = start_daemon(bin_dir, env)
        procs.append(daemon)
        servers.append(Server("zqHTTPServer", ports[0], ports[1], "/zq/version",
                              f"/videos/DCIM/100TAVRO/{PHOTO}", daemon, host="127.0.0.1"))
    if only in (None, "civetweb") and shutil.which("civetweb"):
        port = free_port()
        civet = subprocess.Popen(["civetweb", "-document_root", media, "-listening_ports",
                                  f"0.0.0.0:{port}", "-num_threads", "8"],
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        procs.append(civet)
        wait_port(port)
        servers.append(Server("civetweb (stock)", port, port, "/version.txt", f"/{PHOTO}",
                              civet))
    if only in (None, "nginx") and shutil.which("nginx"):
        port = free_port()
        conf = os.path.join(work, "nginx.conf")
        with open(conf, "w") as f:
            f.write(f"""worker_processes 1; daemon off; pid {work}/nginx.pid;
error_log {work}/nginx.err; events {{ worker_connections 1024; }}
http {{ access_log off; server {{ listen {port}; root {media}; }} }}
""")
        nginx = subprocess.Popen(["nginx", "-p", work, "-c", conf],
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        procs.append(nginx)
        wait_port(port)
        servers.append(Server("nginx", port, port, "/version.txt", f"/{PHOTO}", nginx))

    zq = servers[0] if servers and servers[0].label == "zqHTTPServer" else None
    for s in servers:  # warm up
        timed_get(s, s.version_path)
        timed_get(s, s.photo_path)
    idle = usage(zq.proc.pid) if zq else None

    print(f"An ordinary client's wait, median of {SAMPLES} (worst), while others hold the server"
          f"; >{TIMEOUT:.0f} s: no answer in {TIMEOUT:.0f} s")
    header = f"{'scenario':<36}{'request':<10}" + "".join(f"{s.label:>26}" for s in servers)
    print(header)
    notes = []
    for name, sources, first, gap in SCENARIOS:
        if scenario not in name:
            continue
        rows = {"version": [], "photo": []}
        for s in servers:
            if first == "ANSWERED":
                def before(s=s, sources=sources):
                    return answered_keep_alive(s, sources)
                rows["version"].append(waits(s, s.version_path, before))
                rows["photo"].append(waits(s, s.photo_path, before))
                continue
            if sources == []:
                attack = None
            elif sources is None:
                clip = (f"/videos/DCIM/100TAVRO/{CLIP}" if s is zq else f"/{CLIP}")
                attack = SlowReader(s, clip)
            else:
                head = first
                count = ATTACKERS
                if head == "BODY":
                    head = (f"POST {s.version_path} HTTP/1.1\r\nHost: {s.host}\r\n"
                            "Content-Length: 1000000000\r\n\r\n")
                elif head == "KEEP-ALIVE":
                    head = f"GET {s.version_path} HTTP/1.1\r\nHost: {s.host}\r\n\r\n"
                    count = len(sources)
                attack = Attack(s, sources, head.encode(), gap, count, repeat=first == "KEEP-ALIVE")
            if attack is not None:
                time.sleep(1.0)  # let the attack take hold of the server
            rows["version"].append(waits(s, s.version_path))
            rows["photo"].append(waits(s, s.photo_path))
            if attack is None:
                continue
            attack.close()
            if s is zq:
                took, now = recovery(zq.proc.pid, idle)
                notes.append((name, took, now))
        for what in ("version", "photo"):
            print(f"{name if what == 'version' else '':<36}{what:<10}" +
                  "".join(f"{fmt(p):>26}" for p in rows[what]))
    if zq:
        print(f"\nzqHTTPServer idle: RSS {idle[0] / 1024:.1f} MiB, {idle[1]} descriptors, "
              f"{idle[2]} threads; back to idle after each scenario:")
        for name, took, now in notes:
            when = f"{took:.2f} s" if took is not None else "not within 10 s"
            print(f"  {name:<36}{when:>16}   (RSS {now[0] / 1024:.1f} MiB, {now[1]} fds, "
                  f"{now[2]} threads)")


if __name__ == "__main__":
    main()
