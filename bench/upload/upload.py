#!/usr/bin/env python3
"""Firmware upload through the daemon beside its peers, in one run:
  - upload MB/s of a 100 MB package posted to /zq/zqSoftUpdate in one piece, against the
    same bytes sent over loopback to a raw socket sink that only reads them (the difference
    is the daemon's cost: multipart parsing, the SHA-1, the writes to the card);
  - the completing request's time (the last byte with complete=true: the digest is kept up
    to date while pieces arrive, so completion does not read the package back) against
    `sha1sum` of the same 100 MB file (what a read-back would cost at least);
  - the daemon's peak RSS (VmHWM) before and after the upload.
Usage: upload.py BIN_DIR [WORK_DIR]
"""

import hashlib
import json
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from benchlib import start_daemon  # noqa: E402

SIZE = 100 << 20
RUNS = 3
BOUNDARY = "zqBenchBoundary"
USER = "127.0.0.2"  # firmware routes are for the camera's users, not the tunnel


def piece(sha1, offset, complete, data):
    text = "".join(f"--{BOUNDARY}\r\nContent-Disposition: form-data; name=\"{n}\"\r\n\r\n{v}\r\n"
                   for n, v in (("sha1", sha1), ("offset", offset), ("complete", complete)))
    return (text.encode() + f"--{BOUNDARY}\r\nContent-Disposition: form-data; name=\"file\"; "
            "filename=\"firmware.zip\"\r\n\r\n".encode(), data,
            f"\r\n--{BOUNDARY}--\r\n".encode())


def post(port, parts, path="/zq/zqSoftUpdate"):
    """Posts the body made of `parts` (the data sent without copying); returns (seconds,
    answer)."""
    length = sum(len(p) for p in parts)
    s = socket.create_connection(("127.0.0.1", port), 120, source_address=(USER, 0))
    t0 = time.perf_counter()
    s.sendall((f"POST {path} HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: multipart/form-data;"
               f" boundary={BOUNDARY}\r\nContent-Length: {length}\r\n\r\n").encode())
    for p in parts:
        s.sendall(p)
    reply = b""
    while True:
        chunk = s.recv(65536)
        if not chunk:
            break
        reply += chunk
        if reply.endswith(b"}\n"):
            break
    elapsed = time.perf_counter() - t0
    s.close()
    return elapsed, json.loads(reply[reply.index(b"\r\n\r\n") + 4:])


def sink_seconds(data):
    """Seconds to send `data` over loopback to a reader that drops it."""
    srv = socket.socket()
    srv.bind(("127.0.0.1", 0))
    srv.listen(1)
    done = threading.Event()

    def read():
        c, _ = srv.accept()
        buf = bytearray(1 << 18)
        got = 0
        while got < len(data):
            n = c.recv_into(buf)
            if n == 0:
                break
            got += n
        c.sendall(b"ok")
        c.close()
        done.set()

    t = threading.Thread(target=read)
    t.start()
    s = socket.create_connection(srv.getsockname(), 60)
    t0 = time.perf_counter()
    s.sendall(data)
    s.recv(2)
    elapsed = time.perf_counter() - t0
    s.close()
    t.join()
    srv.close()
    return elapsed


def hwm_kib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1])
    return 0


def main():
    bin_dir = sys.argv[1]
    work = sys.argv[2] if len(sys.argv) > 2 else None
    root = tempfile.mkdtemp(prefix="zqbench-upload.", dir=work)
    env = dict(os.environ, ZQ_ROOT=root)
    os.makedirs(os.path.join(root, "tmp/fuse_d"))
    data = os.urandom(SIZE)
    sha1 = hashlib.sha1(data).hexdigest()
    daemon, ports = start_daemon(bin_dir, env)
    try:
        subprocess.run([os.path.join(bin_dir, "zqsim"), "storage", "free", str(1 << 33)],
                       env=env, check=True)
        hwm_before = hwm_kib(daemon.pid)
        upload, complete, sink = [], [], []
        view = memoryview(data)
        for _ in range(RUNS):
            subprocess.run(["curl", "-s", "--interface", USER, "-o", "/dev/null",
                            f"http://127.0.0.1:{ports[1]}/zq/zqSoftUpdate?request=delete"],
                           check=True)
            # All but the last byte, then the last with complete=true.
            seconds, answer = post(ports[1], piece(sha1, "0", "false", view[:SIZE - 1]))
            assert answer["bytes_complete"] == SIZE - 1, answer
            upload.append(seconds)
            seconds, answer = post(ports[1], piece(sha1, str(SIZE - 1), "true", view[SIZE - 1:]))
            assert answer["complete"] is True, answer
            complete.append(seconds)
            sink.append(sink_seconds(data))
        hwm_after = hwm_kib(daemon.pid)
        package = os.path.join(root, "fwupdate/firmware.zip")
        sha = []
        for _ in range(RUNS):
            t0 = time.perf_counter()
            subprocess.run(["sha1sum", package], check=True, capture_output=True)
            sha.append(time.perf_counter() - t0)
    finally:
        daemon.terminate()
        daemon.wait()
        shutil.rmtree(root, ignore_errors=True)

    best = min
    mb = SIZE / 1e6
    print(f"{'':38s}{'daemon':>12s}{'peer':>12s}{'ratio':>8s}")
    print(f"{'upload MB/s (peer: raw socket sink)':38s}{mb / best(upload):12.0f}"
          f"{mb / best(sink):12.0f}{best(sink) / best(upload):8.2f}")
    print(f"{'s to complete 100 MB (peer: sha1sum)':38s}{best(complete):12.3f}"
          f"{best(sha):12.3f}{best(complete) / best(sha):8.3f}")
    print(f"peak RSS KiB: {hwm_before} at start, {hwm_after} after {RUNS} uploads "
          f"(+{hwm_after - hwm_before})")
    print(f"load average: {os.getloadavg()[0]:.1f} on {os.cpu_count()} cores (best of {RUNS})")


if __name__ == "__main__":
    main()
