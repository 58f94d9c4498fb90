#!/usr/bin/env python3
"""Download throughput of the daemon's file sender beside its peers.

One 1 GiB file on a disk filesystem is downloaded by curl from:
  - zqHTTPServer (O_DIRECT, 640 KiB chunks, one card read at a time across downloads, the
    next chunk read while this one is sent),
  - Debian's stock civetweb (buffered reads),
  - nginx with directio and 640 KiB output buffers (the same O_DIRECT discipline),
  - a loopback send: 1 GiB from memory in 640 KiB writes, no file at all (the limit of the
    socket path and of curl on this machine),
and read by `dd iflag=direct bs=640k`, the device limit that discipline imposes.
Each is measured for one download and for four at once, ROUNDS times (default 2; the best
of them counts, since the machine may be shared); the page cache is emptied of the file
(posix_fadvise DONTNEED) before every run so buffered readers start cold too.
The goals are printed beside the figures: one download at 0.90 of the slower of dd and the
loopback send or better, and at 1.25 times nginx's or better; four at once at 0.90 of one
or better, in total.
Usage: downloads.py BIN_DIR [WORK_DIR]
"""

import os
import socket
import shutil
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from benchlib import free_port, start_daemon, wait_port  # noqa: E402

SIZE = 1 << 30
NAME = "ZQ010099.MP4"


def evict(path):
    fd = os.open(path, os.O_RDONLY)
    os.fsync(fd)
    os.posix_fadvise(fd, 0, 0, os.POSIX_FADV_DONTNEED)
    os.close(fd)


def rss_kib(pid, field="VmRSS"):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    return 0


def curl(url, host_header=None):
    cmd = ["curl", "-s", "-o", "/dev/null", "-w", "%{size_download}", url]
    if host_header:
        cmd[1:1] = ["-H", f"Host: {host_header}"]
    out = subprocess.run(cmd, capture_output=True, text=True, check=True).stdout
    return int(out)


def timed_downloads(url, n, path, host_header=None):
    """MB/s over n parallel downloads of the whole file (total bytes / wall time)."""
    evict(path)
    sizes = [0] * n

    def one(i):
        sizes[i] = curl(url, host_header)

    threads = [threading.Thread(target=one, args=(i,)) for i in range(n)]
    t0 = time.monotonic()
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    seconds = time.monotonic() - t0
    if any(s != SIZE for s in sizes):
        raise RuntimeError(f"short download from {url}: {sizes}")
    return n * SIZE / seconds / 1e6


def timed_dd(path, n):
    evict(path)
    cmds = [["dd", f"if={path}", "of=/dev/null", "bs=640k", "iflag=direct", "status=none"]
            for _ in range(n)]
    t0 = time.monotonic()
    procs = [subprocess.Popen(c) for c in cmds]
    for p in procs:
        p.wait()
    return n * SIZE / (time.monotonic() - t0) / 1e6


ROUNDS = int(os.environ.get("ROUNDS", "2"))
GOAL_OF_LIMIT = 0.90  # one download / min(dd, loopback send)
GOAL_OF_NGINX = 1.25  # one download / nginx directio
GOAL_OF_ONE = 0.90  # four at once (total) / one download


def loopback_sender(port):
    """Serves SIZE bytes from memory to every connection, as an HTTP answer written in 640 KiB
    pieces: what a sender without a file achieves over loopback to curl."""
    listener = socket.create_server(("127.0.0.1", port), backlog=16)
    piece = memoryview(os.urandom(640 << 10))
    head = (f"HTTP/1.1 200 OK\r\nContent-Length: {SIZE}\r\nContent-Type: video/mp4\r\n"
            "Connection: close\r\n\r\n").encode()

    def serve(conn):
        with conn:
            request = b""
            while b"\r\n\r\n" not in request:
                more = conn.recv(4096)
                if not more:
                    return
                request += more
            conn.sendall(head)
            left = SIZE
            while left > 0:
                n = min(left, len(piece))
                conn.sendall(piece[:n])
                left -= n

    while True:
        conn, _ = listener.accept()
        threading.Thread(target=serve, args=(conn,), daemon=True).start()


def main():
    if sys.argv[1] == "--loopback-sender":
        loopback_sender(int(sys.argv[2]))
        return
    bin_dir = sys.argv[1]
    work = tempfile.mkdtemp(prefix="zqbench.", dir=sys.argv[2] if len(sys.argv) > 2 else None)
    os.chmod(work, 0o755)  # nginx's workers run as an unprivileged user
    procs = []
    try:
        run(bin_dir, work, procs)
    finally:
        for p in procs:
            p.terminate()
        for p in procs:
            p.wait()
        shutil.rmtree(work, ignore_errors=True)


def run(bin_dir, work, procs):
    root = os.path.join(work, "root")
    media = os.path.join(root, "tmp/fuse_d/DCIM/100TAVRO")
    os.makedirs(media)
    path = os.path.join(media, NAME)
    with open(path, "wb") as f:  # real blocks on disk, not a sparse file
        block = os.urandom(1 << 20)
        for _ in range(SIZE >> 20):
            f.write(block)
    env = dict(os.environ, ZQ_ROOT=root)

    # The daemon: the internal port's role, so a loopback client may download.
    daemon, ports = start_daemon(bin_dir, env)
    procs.append(daemon)
    zq_url = f"http://127.0.0.1:{ports[1]}/videos/DCIM/100TAVRO/{NAME}"

    civet_port = free_port()
    civet = subprocess.Popen(["civetweb", "-document_root", media, "-listening_ports",
                              str(civet_port), "-num_threads", "8"],
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    procs.append(civet)
    wait_port(civet_port)
    civet_url = f"http://127.0.0.1:{civet_port}/{NAME}"

    nginx_port = free_port()
    conf = os.path.join(work, "nginx.conf")
    with open(conf, "w") as f:
        f.write(f"""worker_processes 1; daemon off; pid {work}/nginx.pid;
error_log {work}/nginx.err; events {{ worker_connections 64; }}
http {{ access_log off; types {{ video/mp4 mp4; }}
  server {{ listen 127.0.0.1:{nginx_port}; root {media};
    location / {{ directio 4k; output_buffers 1 640k; sendfile off; }} }} }}
""")
    nginx = subprocess.Popen(["nginx", "-p", work, "-c", conf],
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    procs.append(nginx)
    wait_port(nginx_port)
    nginx_url = f"http://127.0.0.1:{nginx_port}/{NAME}"

    loop_port = free_port()
    procs.append(subprocess.Popen([sys.executable, os.path.abspath(__file__),
                                   "--loopback-sender", str(loop_port)]))
    wait_port(loop_port)
    loop_url = f"http://127.0.0.1:{loop_port}/{NAME}"

    idle_rss = rss_kib(daemon.pid)
    load_before = load()
    peers = [
        ("dd iflag=direct bs=640k", lambda n: timed_dd(path, n)),
        ("loopback send 640k", lambda n: timed_downloads(loop_url, n, path)),
        ("zqHTTPServer", lambda n: timed_downloads(zq_url, n, path, "127.0.0.1")),
        ("nginx directio 640k", lambda n: timed_downloads(nginx_url, n, path)),
        ("civetweb (stock)", lambda n: timed_downloads(civet_url, n, path)),
    ]
    best = {label: [0.0, 0.0] for label, _ in peers}
    for _ in range(ROUNDS):  # the peers take turns, so a burst of load hits them alike
        for label, fn in peers:
            best[label][0] = max(best[label][0], fn(1))
            best[label][1] = max(best[label][1], fn(4))
    peak_rss = rss_kib(daemon.pid, "VmHWM")

    dd1, dd4 = best["dd iflag=direct bs=640k"]
    print(f"1 GiB file on {fs_type(work)}; MB/s, best of {ROUNDS} rounds "
          f"(ratio to dd iflag=direct); load average before: {load_before}")
    print(f"{'reader':<26}{'1 download':>22}{'4 at once (total)':>24}")
    for label, _ in peers:
        one, four = best[label]
        print(f"{label:<26}{one:>12.0f} ({one / dd1:4.2f}){four:>16.0f} ({four / dd4:4.2f})")
    print(f"zqHTTPServer RSS: idle {idle_rss / 1024:.1f} MiB, "
          f"peak over the runs {peak_rss / 1024:.1f} MiB")

    zq1, zq4 = best["zqHTTPServer"]
    limit = min(dd1, best["loopback send 640k"][0])
    nginx1 = best["nginx directio 640k"][0]
    print("zqHTTPServer against the goals:")
    for what, ratio, goal in [
        ("one download / min(dd, loopback send)", zq1 / limit, GOAL_OF_LIMIT),
        ("one download / nginx directio", zq1 / nginx1, GOAL_OF_NGINX),
        ("four at once (total) / one download", zq4 / zq1, GOAL_OF_ONE),
    ]:
        verdict = "meets" if ratio >= goal else "SHORT of"
        print(f"  {what:<40}{ratio:6.2f}   {verdict} the goal {goal:.2f}")
    print(f"load average after: {load()} (on {os.cpu_count()} CPUs)")


def load():
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])


def fs_type(path):
    out = subprocess.run(["df", "-T", path], capture_output=True, text=True).stdout
    return out.splitlines()[-1].split()[1]


if __name__ == "__main__":
    main()
