#!/usr/bin/env python3
"""The soak run: the daemon under a phone's, a laptop's and a desktop app's load for a long time.

On loopback, against a simulated camera with the sample card and a 16 MiB clip, 32 clients
(half keeping their connection alive, half connecting anew each time) pick requests at random
from a seeded mix: whole and ranged downloads, media lists, thumbnails (a clip's and a
photo's), EXIF, track extractions (t=tracks), the control status and setting commands, the
legacy command relay (answered by `zqsim serve`), and clients that vanish mid-download. A
remote starts and stops recording through the shutter command every few seconds; downloads,
lists and clip thumbnails must then answer 503 (or a download under way is cut).

Every answer is checked: its status against what the route may answer given whether the
camera could have been recording during the request, and its body against a reference taken
from the idle camera before the load (a file's bytes for downloads). At the end it prints
requests by route and answer, the unexpected ones (each listed), the latency of
/zq/zqControl/status under the load, the daemon's resident memory, descriptors, threads and
message queues every 10 s, and what the run left behind: message queues of the camera root in
/dev/mqueue and new files under the root once the daemon and the simulator have stopped.

It fails (exit status 1) on any unexpected answer, on growth (the median of the last minute,
or of the last third of a shorter run, more than 10% above that of the first minute after a
10 s warm-up), on leftovers, on a daemon that does not stop cleanly within 10 s, and on a
sanitizer report. With --sanitized-memory (an AddressSanitizer daemon) the RSS is shown but
not judged: that allocator keeps freed memory in quarantine and in its own free lists, so its
RSS creeps (42 to 50 MiB in ten minutes, where the optimised daemon stays at 8.2 MiB), and its
leak checker, run at the daemon's exit, is the test of its memory.

Usage: soak.py BIN_DIR [--seconds N] [--seed N] [--clients N] [--work DIR]
(ZQ_SOAK_SECONDS sets the default time, 600 s)
"""

import argparse
import http.client
import json
import os
import random
import shutil
import signal
import statistics
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from benchlib import free_port, wait_port  # noqa: E402

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
IMAGE = os.path.join(REPO, "platform", "sim", "image")
WWW = os.path.join(REPO, "www")

TIMEOUT = 30.0  # an answer slower than this is unexpected
SAMPLE_EVERY = 1.0  # the daemon's resources are read every second ...
SHOW_EVERY = 10  # ... and shown every 10 s
GROWTH = 0.10
WARM_UP = 10  # seconds of load before the first samples compared
BIG = "ZQ010099.MP4"
BIG_SIZE = 16 << 20
MEDIA = "tmp/fuse_d/DCIM/100TAVRO"
SMALL_FILES = ["ZQ010001.MP4", "ZQ010001.LRV", "TAVR0003.JPG", "TAVR0004.JPG", "ZQ010002.MP4"]
SANITIZER_REPORTS = ("ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:",
                     "WARNING: ThreadSanitizer")

# Routes: name -> (weight in the mix, answers allowed while the camera is idle, while it
# records). A download under way when recording starts is cut ("cut"), which only a camera
# that records may cause; a recording camera refuses setting changes (500, ZQ_ERR_NAK).
# Thumbnails are read by their handler, not sent as files: no busy refusal.
ROUTES = {
    "status": (20, {200}, {200}),
    "setting": (4, {200}, {200, 500}),
    "media list": (8, {200}, {503}),
    "clip thumbnail": (6, {200}, {200}),
    "photo thumbnail": (6, {200}, {200}),
    "exif": (6, {200}, {200}),
    "tracks": (4, {200}, {200}),
    "relay": (8, {200}, {200}),
    "download": (10, {200}, {503, "cut"}),
    "range": (10, {206}, {503, "cut"}),
    "big download": (2, {200}, {503, "cut"}),
    "vanishing": (4, {200, 206}, {503, "cut"}),
}
SHUTTER = "shutter"  # the remote's own requests, counted beside the clients'

META = "/zq/zqMediaMetadata?p=100TAVRO/"
FIXED_PATHS = {
    "media list": "/zq/zqMediaList?f=videophoto",
    "clip thumbnail": META + "ZQ010001.MP4",
    "photo thumbnail": META + "TAVR0003.JPG",
    "exif": META + "TAVR0004.JPG&t=exif",
    "tracks": META + "ZQ010001.MP4&t=tracks&trackNames=video,telemetry",
    "relay": "/zq/zqCamera?cmd=XY&p=%2501",
}


def fnv1a64(text):
    h = 0xCBF29CE484222325
    for b in text.encode():
        h = ((h ^ b) * 0x100000001B3) & 0xFFFFFFFFFFFFFFFF
    return h


def same_answer(body, reference):
    """Whether `body` repeats `reference`, apart from the times of an MP4's movie header (a
    track extraction is made now, and says so)."""
    if len(body) != len(reference):
        return False
    at = reference.find(b"mvhd")
    if at < 0 or body.find(b"mvhd") != at:
        return body == reference
    times = 16 if reference[at + 4] == 1 else 8  # creation and modification time
    span = slice(at + 8, at + 8 + times)
    return body[:span.start] + body[span.stop:] == reference[:span.start] + reference[span.stop:]


class Timeline:
    """When the camera may have been recording: each shutter request's send and answer times
    bound the moment the state changed."""

    def __init__(self):
        self.lock = threading.Lock()
        self.changes = []  # (sent, answered or None while in flight, new state)

    def begin(self, state):
        with self.lock:
            self.changes.append([time.monotonic(), None, state])
            return len(self.changes) - 1

    def end(self, index, ok):
        with self.lock:
            # A failed or unanswered command may or may not have acted: both states stay
            # possible until the next change.
            self.changes[index][1] = time.monotonic() if ok else float("inf")

    def possible(self, t0, t1):
        """The states (False idle, True recording) the camera may have had in [t0, t1]."""
        with self.lock:
            changes = [tuple(c) for c in self.changes]
        inf = float("inf")
        current = {False}
        segments = []  # (from, to, states)
        since = -inf
        for i, (sent, answered, new) in enumerate(changes):
            following = changes[i + 1][0] if i + 1 < len(changes) else inf
            segments.append((since, sent, current))
            done = inf if answered is None else answered
            # Between the command and its answer either state holds; a command that failed
            # may or may not have acted, so after it both do.
            if done == inf:
                current = {False, True}
                segments.append((sent, following, current))
            else:
                segments.append((sent, done, current | {new}))
                current = {new}
            since = done if done != inf else following
        segments.append((since, inf, current))
        states = set()
        for a, b, s in segments:
            if a <= t1 and t0 <= b:
                states |= s
        return states


class Results:
    def __init__(self):
        self.lock = threading.Lock()
        self.counts = {}  # (route, answer) -> count
        self.unexpected = []
        self.status_ms = []
        self.stale = 0  # kept-alive connections found closed by the daemon, asked again anew

    def add(self, route, answer, expected, detail=""):
        with self.lock:
            key = (route, str(answer))
            self.counts[key] = self.counts.get(key, 0) + 1
            if not expected:
                self.unexpected.append(f"{route}: {answer} {detail}".rstrip())


class Card:
    """The files and reference answers the clients' answers are compared with."""

    def __init__(self, root):
        media = os.path.join(root, MEDIA)
        self.files = {}
        for name in SMALL_FILES + [BIG]:
            with open(os.path.join(media, name), "rb") as f:
                self.files[name] = f.read()
        self.reference = {}  # route -> body of the idle camera's answer


class Client(threading.Thread):
    def __init__(self, index, run):
        super().__init__(daemon=True)
        self.run_ = run
        self.rng = random.Random(run.seed * 1000 + index)
        self.keep_alive = index % 2 == 0
        self.conn = None
        self.routes = list(ROUTES)
        self.weights = [ROUTES[r][0] for r in self.routes]

    def connection(self):
        if self.conn is None or not self.keep_alive:
            if self.conn is not None:
                self.conn.close()
            self.conn = http.client.HTTPConnection("127.0.0.1", self.run_.port, timeout=TIMEOUT)
        return self.conn

    def drop(self):
        if self.conn is not None:
            self.conn.close()
            self.conn = None

    def run(self):
        while not self.run_.stop.is_set():
            route = self.rng.choices(self.routes, self.weights)[0]
            try:
                getattr(self, "do_" + route.replace(" ", "_"), self.do_fixed)(route)
            except Exception as e:  # noqa: BLE001 - a client never dies: it reports
                self.drop()
                self.run_.results.add(route, "client error", False, repr(e))
            self.run_.stop.wait(self.rng.uniform(0, 0.1))
        self.drop()

    def request(self, path, headers=None):
        """(status, body, complete, t0, t1); a stale keep-alive connection is tried again once
        on a new one, as every HTTP client does."""
        for attempt in (0, 1):
            conn = self.connection()
            reused = self.keep_alive and conn.sock is not None
            t0 = time.monotonic()
            try:
                conn.request("GET", path, headers=headers or {})
                r = conn.getresponse()
            except (http.client.RemoteDisconnected, ConnectionResetError, BrokenPipeError):
                self.drop()
                if reused and attempt == 0:
                    with self.run_.results.lock:
                        self.run_.results.stale += 1
                    continue
                raise
            body = bytearray()
            complete = True
            try:
                while True:
                    chunk = r.read(1 << 20)
                    if not chunk:
                        break
                    body += chunk
            except (http.client.IncompleteRead, ConnectionResetError, socket.timeout) as e:
                complete = False
                if isinstance(e, socket.timeout):
                    raise
            if not complete or r.will_close or not self.keep_alive:
                self.drop()
            return r.status, bytes(body), complete, t0, time.monotonic()
        raise RuntimeError("unreachable")

    def judge(self, route, status, complete, t0, t1, body_ok, detail=""):
        """Counts the answer and whether the camera's possible states allow it."""
        _, idle, recording = ROUTES[route]
        answer = status if complete else "cut"
        if not complete and status not in (200, 206):
            answer = f"{status} cut"
        states = self.run_.timeline.possible(t0, t1)
        allowed = set()
        if False in states:
            allowed |= idle
        if True in states:
            allowed |= recording
        expected = answer in allowed and (body_ok or answer != status)
        if answer in allowed and answer == status and not body_ok:
            detail = "wrong body " + detail
        self.run_.results.add(route, answer, expected, detail)

    def do_fixed(self, route):
        status, body, complete, t0, t1 = self.request(FIXED_PATHS[route])
        ok = status != 200 or same_answer(body, self.run_.card.reference[route])
        self.judge(route, status, complete, t0, t1, ok)

    def do_status(self, route):
        status, body, complete, t0, t1 = self.request("/zq/zqControl/status")
        try:
            ok = isinstance(json.loads(body), dict)
        except ValueError:
            ok = False
        self.judge(route, status, complete, t0, t1, ok)
        if status == 200:
            with self.run_.results.lock:
                self.run_.results.status_ms.append((t1 - t0) * 1000)

    def do_setting(self, route):
        # Video resolution, between two of its options.
        option = self.rng.choice((1, 9))
        status, body, complete, t0, t1 = self.request(f"/zq/zqControl/setting/2/{option}")
        ok = body.strip() == b"{}" if status == 200 else b'"ZQ_ERR_NAK"' in body
        self.judge(route, status, complete, t0, t1, ok, body[:80].decode("latin-1"))

    def download(self, route, name, first=None, last=None):
        data = self.run_.card.files[name]
        headers = {}
        if first is not None:
            headers["Range"] = f"bytes={first}-{last}"
        else:
            first, last = 0, len(data) - 1
        status, body, complete, t0, t1 = self.request(f"/videos/DCIM/100TAVRO/{name}", headers)
        want = data[first:last + 1]
        if status in (200, 206) and complete:
            ok = body == want
        elif status in (200, 206):
            ok = want.startswith(body)  # what came before the cut is right
        else:
            ok = True
        if status in (200, 206) and complete and len(body) < len(want):
            complete = False
        self.judge(route, status, complete, t0, t1, ok, f"{name} {first}-{last}")

    def do_download(self, route):
        self.download(route, self.rng.choice(SMALL_FILES))

    def do_big_download(self, route):
        self.download(route, BIG)

    def do_range(self, route):
        name = self.rng.choice(SMALL_FILES + [BIG])
        size = len(self.run_.card.files[name])
        first = self.rng.randrange(size)
        last = min(size - 1, first + self.rng.randrange(1, 2 << 20))
        self.download(route, name, first, last)

    def do_vanishing(self, route):
        """Asks for the big clip (or a part of it), takes the head and up to 2 MiB of a
        download (only the head of a refusal), and resets the connection."""
        ranged = self.rng.random() < 0.5
        extra = f"Range: bytes={self.rng.randrange(BIG_SIZE // 2)}-\r\n" if ranged else ""
        keep = self.rng.randrange(1, 2 << 20)
        t0 = time.monotonic()
        s = socket.create_connection(("127.0.0.1", self.run_.port), TIMEOUT)
        try:
            s.settimeout(TIMEOUT)
            s.sendall(f"GET /videos/DCIM/100TAVRO/{BIG} HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                      f"{extra}\r\n".encode())
            got = b""
            cut = False
            try:
                while b"\r\n\r\n" not in got or len(got) < keep and got[9:10] == b"2":
                    chunk = s.recv(65536)
                    if not chunk:
                        break
                    got += chunk
            except ConnectionResetError:
                cut = True  # the daemon ended the transfer first (the camera began recording)
            status = int(got[9:12]) if got.startswith(b"HTTP/1.1 ") else 0
            # Gone without a word: the daemon sees a reset, not an orderly close.
            s.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        finally:
            s.close()
        self.judge(route, status, not cut, t0, time.monotonic(), status != 0)


class Remote(threading.Thread):
    """Starts and stops recording through the shutter command every 2 to 6 seconds."""

    def __init__(self, run):
        super().__init__(daemon=True)
        self.run_ = run
        self.rng = random.Random(run.seed * 1000 + 999)

    def run(self):
        recording = False
        while not self.run_.stop.wait(self.rng.uniform(2, 6)):
            recording = not recording
            self.shutter(recording)
        if recording:
            self.shutter(False)

    def shutter(self, on):
        index = self.run_.timeline.begin(on)
        ok = False
        status = "client error"
        try:
            conn = http.client.HTTPConnection("127.0.0.1", self.run_.port, timeout=TIMEOUT)
            conn.request("GET", f"/zq/zqControl/command/shutter?p={int(on)}")
            r = conn.getresponse()
            r.read()
            conn.close()
            status = r.status
            ok = status == 200
        except (OSError, http.client.HTTPException):
            pass
        self.run_.timeline.end(index, ok)
        self.run_.results.add(SHUTTER, status, ok)


def socket_tables(pid, ports):
    """(the socket inodes of the daemon's client connections: TCP connections whose local port
    is one of `ports`; the inodes of every socket the kernel lists in its TCP and Unix tables)."""
    clients, listed = set(), set()
    for table in ("tcp", "tcp6"):
        try:
            with open(f"/proc/{pid}/net/{table}") as f:
                next(f)
                for line in f:
                    cols = line.split()
                    listed.add(cols[9])
                    port = int(cols[1].rsplit(":", 1)[1], 16)
                    if port in ports and cols[3] != "0A":  # 0A: listening
                        clients.add(cols[9])
        except OSError:
            pass
    try:
        with open(f"/proc/{pid}/net/unix") as f:
            next(f)
            listed.update(line.split()[6] for line in f)
    except OSError:
        pass
    return clients, listed


def usage(pid, suffix, ports):
    """The daemon's RSS, descriptors (all, and those that are client connections: their count
    follows the load, not a leak), threads and the camera root's message queues."""
    with open(f"/proc/{pid}/status") as f:
        fields = dict(line.split(":", 1) for line in f)
    clients, listed = socket_tables(pid, ports)
    fds = conns = 0
    for fd in os.listdir(f"/proc/{pid}/fd"):
        try:
            link = os.readlink(f"/proc/{pid}/fd/{fd}")
        except OSError:
            continue
        fds += 1
        # A client's connection, or one the daemon has reset and the library not yet closed
        # (no longer in the kernel's tables).
        inode = link[8:-1] if link.startswith("socket:[") else None
        conns += inode is not None and (inode in clients or inode not in listed)
    return {
        "rss": int(fields["VmRSS"].split()[0]),
        "fds": fds,
        "conns": conns,
        "own fds": fds - conns,
        "threads": int(fields["Threads"]),
        "queues": len(queues(suffix) or []) if queues(suffix) is not None else "-",
    }


def queues(suffix):
    """The message queues of the camera root, or None where they cannot be seen."""
    if not mqueue_mounted():
        return None
    return sorted(n for n in os.listdir("/dev/mqueue") if n.endswith(suffix))


# Files the run may add under the root, which are records kept on purpose, not leftovers.
KEPT = {
    "tmp/fuse_d/MISC/card": "the card's identifier, made when the media database first asks",
    "run/zqsim/": "the simulator's state and journals",
}


def kept(name):
    return any(name == k or k.endswith("/") and name.startswith(k) for k in KEPT)


def tree(root):
    out = set()
    for d, _, files in os.walk(root):
        out.update(os.path.relpath(os.path.join(d, f), root) for f in files)
    return out


def percentile(values, p):
    if not values:
        return float("nan")
    values = sorted(values)
    return values[min(len(values) - 1, int(p / 100 * len(values)))]


class Run:
    def __init__(self, args, work):
        self.seed = args.seed
        self.seconds = args.seconds
        self.bin_dir = args.bin_dir
        self.clients_n = args.clients
        self.sanitized_memory = args.sanitized_memory
        self.root = os.path.join(work, "root")
        self.env = dict(os.environ, ZQ_ROOT=self.root)
        self.suffix = "." + format(fnv1a64(self.root), "016x")
        self.stop = threading.Event()
        self.timeline = Timeline()
        self.results = Results()
        self.samples = []  # (seconds since the load began, usage)
        self.failures = []
        self.port = None

    def zqsim(self, *args):
        subprocess.run([os.path.join(self.bin_dir, "zqsim"), *args], env=self.env, check=True,
                       stdout=subprocess.DEVNULL)

    def prepare(self):
        shutil.copytree(IMAGE, self.root)
        shutil.copytree(WWW, os.path.join(self.root, "usr/local/tavro/www"), dirs_exist_ok=True)
        self.zqsim("card", "make", os.path.join(self.root, "tmp/fuse_d"))
        rng = random.Random(self.seed)
        with open(os.path.join(self.root, MEDIA, BIG), "wb") as f:
            block = rng.randbytes(1 << 20)
            for i in range(BIG_SIZE >> 20):
                f.write(bytes([i]) + block[1:])  # no two MiBs alike
        self.zqsim("reset")
        self.card = Card(self.root)

    def start(self):
        log = os.path.join(self.root, "..", "zqsim-serve.log")
        self.sim = subprocess.Popen([os.path.join(self.bin_dir, "zqsim"), "serve"], env=self.env,
                                    stdout=open(log, "wb"), stderr=subprocess.STDOUT)
        deadline = time.monotonic() + 30
        while "processes running" not in open(log, errors="replace").read():
            if self.sim.poll() is not None or time.monotonic() > deadline:
                raise RuntimeError("zqsim serve did not start: " + open(log).read())
            time.sleep(0.05)
        ports = [free_port() for _ in range(4)]
        self.env["ZQ_LISTENING_PORTS"] = ",".join(map(str, ports))
        self.ports = set(ports)
        self.port = ports[1]  # the internal port: a loopback client may do everything
        self.daemon_err = os.path.join(self.root, "..", "daemon.err")
        self.before = tree(self.root)
        self.daemon = subprocess.Popen([os.path.join(self.bin_dir, "zqHTTPServer")],
                                       env=self.env, stdout=subprocess.DEVNULL,
                                       stderr=open(self.daemon_err, "wb"))
        wait_port(self.port, 60)

    def references(self):
        """The idle camera's answers, which every later 200 must repeat."""
        for route, path in FIXED_PATHS.items():
            conn = http.client.HTTPConnection("127.0.0.1", self.port, timeout=TIMEOUT)
            conn.request("GET", path)
            r = conn.getresponse()
            body = r.read()
            conn.close()
            if r.status != 200 or not body:
                raise RuntimeError(f"{route} ({path}) answered {r.status} on the idle camera")
            self.card.reference[route] = body

    def load(self):
        clients = [Client(i, self) for i in range(self.clients_n)]
        remote = Remote(self)
        t0 = time.monotonic()
        self.samples.append((0, usage(self.daemon.pid, self.suffix, self.ports)))
        for c in clients:
            c.start()
        remote.start()
        next_sample = t0 + SAMPLE_EVERY
        end = t0 + self.seconds + 0.5
        while time.monotonic() < end:
            time.sleep(max(0, min(next_sample, end) - time.monotonic()))
            if self.daemon.poll() is not None:
                self.failures.append(f"the daemon ended under load ({self.daemon.returncode})")
                break
            if time.monotonic() >= next_sample - 0.01:
                self.samples.append((round(next_sample - t0),
                                     usage(self.daemon.pid, self.suffix, self.ports)))
                next_sample += SAMPLE_EVERY
        self.stop.set()
        for t in clients + [remote]:
            t.join(TIMEOUT + 5)
            if t.is_alive():
                self.failures.append("a client did not finish within its time-out")
        self.elapsed = time.monotonic() - t0

    def terminate(self, proc, what):
        """SIGTERM, and SIGKILL (a failure) when `proc` has not ended 10 s later."""
        proc.send_signal(signal.SIGTERM)
        try:
            proc.wait(10)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
            self.failures.append(f"{what} did not stop within 10 s of SIGTERM")

    def finish(self):
        """Lets the daemon settle, samples it idle, stops everything and looks for leftovers."""
        time.sleep(2)
        alive = self.daemon.poll() is None
        self.idle_after = usage(self.daemon.pid, self.suffix, self.ports) if alive else None
        t0 = time.monotonic()
        self.terminate(self.daemon, "the daemon")
        self.stop_seconds = time.monotonic() - t0
        if self.daemon.returncode != 0:
            self.failures.append(f"the daemon's exit status was {self.daemon.returncode}")
        self.terminate(self.sim, "zqsim serve")
        self.left_queues = queues(self.suffix)
        new = sorted(tree(self.root) - self.before)
        self.left_files = [n for n in new if not kept(n)]
        self.kept_files = [n for n in new if kept(n)]
        with open(self.daemon_err, errors="replace") as f:
            err = f.read()
        for report in SANITIZER_REPORTS:
            if report in err:
                i = err.index(report)
                self.failures.append("sanitizer report: " + err[i:i + 2000])
                break

    def report(self):
        r = self.results
        total = sum(r.counts.values())
        print(f"soak: {self.clients_n} clients for {self.elapsed:.0f} s, seed {self.seed}, "
              f"{total} requests ({total / self.elapsed:.0f}/s), "
              f"{sum(1 for c in self.timeline.changes)} shutter changes")
        answers = sorted({a for (_, a) in r.counts}, key=lambda a: (not a.isdigit(), a))
        print(f"\n{'route':<18}" + "".join(f"{a:>12}" for a in answers) + f"{'unexpected':>12}")
        for route in list(ROUTES) + [SHUTTER]:
            row = [r.counts.get((route, a), 0) for a in answers]
            bad = sum(1 for u in r.unexpected if u.startswith(route + ":"))
            print(f"{route:<18}" + "".join(f"{n:>12}" for n in row) + f"{bad:>12}")
        print(f"\nunexpected answers: {len(r.unexpected)}; kept-alive connections the daemon had "
              f"closed before a request (asked again on a new one): {r.stale}")
        for u in r.unexpected[:20]:
            print("  " + u)
        print(f"/zq/zqControl/status under the load: p50 {percentile(r.status_ms, 50):.1f} ms, "
              f"p99 {percentile(r.status_ms, 99):.1f} ms ({len(r.status_ms)} answers)")

        print(f"\n{'s':>5}{'RSS MiB':>10}{'fds':>6}{'conns':>7}{'threads':>9}{'queues':>8}")
        for t, u in self.samples:
            if t % SHOW_EVERY == 0:
                print(f"{t:>5}{u['rss'] / 1024:>10.1f}{u['fds']:>6}{u['conns']:>7}"
                      f"{u['threads']:>9}{u['queues']:>8}")
        if self.idle_after:
            u = self.idle_after
            print(f"{'idle':>5}{u['rss'] / 1024:>10.1f}{u['fds']:>6}{u['conns']:>7}"
                  f"{u['threads']:>9}{u['queues']:>8}")
            if u["conns"] > 0:  # every client has gone: a connection left is a leak
                self.failures.append(f"{u['conns']} client connections open when idle")
        # Flat: the median of the last minute (the last third of a shorter run) of samples
        # under load within 10% of the first minute's after the first WARM_UP seconds, in
        # which the workers' allocations reach their working size. Medians, since a moment's
        # peak (a dozen extractions' buffers at once) says nothing of a trend.
        loaded = [(t, u) for t, u in self.samples if t > WARM_UP]
        span = loaded[-1][0] - WARM_UP if loaded else 0
        window = 60 if span >= 180 else span // 3
        first = [u for t, u in loaded if t <= WARM_UP + window]
        last = [u for t, u in loaded if t > WARM_UP + span - window]
        if window >= 5:
            # Descriptors without the client connections, whose number follows the clients'
            # comings and goings (a leaked connection shows in the idle row).
            keys = ("rss", "own fds", "threads") + (("queues",) if mqueue_mounted() else ())
            for key in keys:
                a = statistics.median(u[key] for u in first)
                b = statistics.median(u[key] for u in last)
                verdict = "flat" if b <= a * (1 + GROWTH) else "GROWS"
                if key == "rss" and self.sanitized_memory:
                    print(f"{key:<8} median of {WARM_UP}-{WARM_UP + window} s {a:>8}, of the last "
                          f"{window} s {b:>8}: not judged (the leak checker judges memory)")
                    continue
                print(f"{key:<8} median of {WARM_UP}-{WARM_UP + window} s {a:>8}, of the last "
                      f"{window} s {b:>8}: {verdict}")
                if verdict != "flat":
                    self.failures.append(f"{key} grew from {a} to {b}")
        else:
            self.failures.append("too short a run to compare its first and last samples")

        print(f"\nthe daemon stopped {self.stop_seconds:.2f} s after SIGTERM, exit status "
              f"{self.daemon.returncode}")
        if self.left_queues is None:
            print("left in /dev/mqueue: not known (no mqueue filesystem there, no namespace of "
                  "our own)")
        else:
            print(f"left in /dev/mqueue: {', '.join(self.left_queues) or 'nothing'}")
        print(f"new files under the root: {', '.join(self.left_files) or 'none'} (besides the "
              f"records {', '.join(self.kept_files) or 'none'})")
        if self.left_queues:
            self.failures.append("queues left in /dev/mqueue")
        if self.left_files:
            self.failures.append("files left under the root")
        if r.unexpected:
            self.failures.append(f"{len(r.unexpected)} unexpected answers")
        for f in self.failures:
            print("FAIL: " + f)
        print("soak: " + ("FAIL" if self.failures else "pass"))
        return 1 if self.failures else 0


def mqueue_mounted():
    with open("/proc/mounts") as f:
        return any(line.split()[1:3] == ["/dev/mqueue", "mqueue"] for line in f)


def own_ipc_namespace():
    """Message queues show in /dev/mqueue only where the mqueue filesystem is mounted. Where
    it is not, the run goes on in a private IPC and mount namespace with it mounted there (the
    machine's own mounts stay as they are), when the system allows that."""
    if mqueue_mounted() or os.environ.get("ZQ_SOAK_NAMESPACE") or not shutil.which("unshare"):
        return
    mount = ["unshare", "--ipc", "--mount", "--propagation", "private", "sh", "-c",
             'mount -t mqueue mqueue /dev/mqueue && exec "$@"', "sh"]
    probe = subprocess.run(mount + ["true"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    if probe.returncode == 0:
        os.environ["ZQ_SOAK_NAMESPACE"] = "1"
        os.execvp("unshare", mount + [sys.executable, *sys.argv])


def main():
    own_ipc_namespace()
    p = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    p.add_argument("bin_dir")
    p.add_argument("--seconds", type=float,
                   default=float(os.environ.get("ZQ_SOAK_SECONDS", "600")))
    p.add_argument("--seed", type=int, default=20)
    p.add_argument("--clients", type=int, default=32)
    p.add_argument("--work", help="directory for the run (default: the system's temporary one)")
    p.add_argument("--sanitized-memory", action="store_true",
                   help="the daemon is an AddressSanitizer build: its leak checker judges its "
                   "memory at exit, not the RSS, which that allocator's quarantine and free "
                   "lists let creep")
    args = p.parse_args()
    work = tempfile.mkdtemp(prefix="zqsoak.", dir=args.work)
    run = Run(args, work)
    try:
        run.prepare()
        run.start()
        run.references()
        run.load()
        run.finish()
        status = run.report()
    finally:
        for proc in (getattr(run, "daemon", None), getattr(run, "sim", None)):
            if proc is not None and proc.poll() is None:
                proc.kill()
                proc.wait()
        shutil.rmtree(work, ignore_errors=True)
    sys.exit(status)


if __name__ == "__main__":
    main()
