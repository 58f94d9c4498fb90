#!/usr/bin/env python3
"""The media list on big cards beside the cost of just walking the card.

Cards of 1,000 and 10,000 media files (sparse, in 20 folders: clips with their proxy and
thumbnail, and photos) are listed through /zq/zqMediaList, answered by the daemon with the
simulated media database, and walked with `find DCIM -printf '%s %T@ %p\\n'` in the same run (both timed as a process:
curl for the list, find for the walk).
The database's own share is measured too, by asking it for every folder directly from this
script (a Python client, so slightly slower than the daemon's), so a ratio above 3 can be
split between the database and the daemon.
Usage: medialist.py BIN_DIR
"""

import os
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import time
import urllib.request

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from benchlib import median_ms  # noqa: E402

RUNS = 7
FOLDERS = 20


def free_ports(n):
    socks = []
    for _ in range(n):
        s = socket.socket()
        s.bind(("127.0.0.1", 0))
        socks.append(s)
    ports = [s.getsockname()[1] for s in socks]
    for s in socks:
        s.close()
    return ports


def rss_kib(pid, field):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    return 0


def make_card(dcim, files):
    """`files` media files in 20 folders: per number a clip (MP4, LRV, THM) or a photo."""
    per_folder = files // FOLDERS
    for k in range(FOLDERS):
        folder = os.path.join(dcim, f"{100 + k}TAVRO")
        os.makedirs(folder)
        made = 0
        number = 1
        while made < per_folder:
            if number % 3 == 0:
                names = [(f"TAVR{number:04d}.JPG", 4 << 20)]
            else:
                names = [(f"ZQ01{number:04d}.MP4", 50 << 20), (f"ZQ01{number:04d}.LRV", 5 << 20),
                         (f"ZQ01{number:04d}.THM", 9 << 10)]
            for name, size in names[:per_folder - made]:
                with open(os.path.join(folder, name), "wb") as f:
                    f.truncate(size)
                made += 1
            number += 1


def db_scan_all(sock_path, folders):
    """Asks the database for every folder the way the daemon does; returns the entry count."""
    total = 0
    for name in folders:
        s = socket.socket(socket.AF_UNIX, socket.SOCK_SEQPACKET)
        s.connect(sock_path)
        s.send(struct.pack("<III", 12, 1, 1) + name.encode())
        reply = s.recv(1500)
        _, status, transfers, count, _ = struct.unpack("<IiIII", reply[:20])
        got = (len(reply) - 20) // 28
        for _ in range(transfers - 1):
            got += len(s.recv(1500)) // 28
        s.close()
        total += got
    return total


def run_card(bin_dir, files):
    root = tempfile.mkdtemp(prefix="zqbench.")
    try:
        dcim = os.path.join(root, "tmp/fuse_d/DCIM")
        make_card(dcim, files)
        ports = free_ports(4)
        env = dict(os.environ, ZQ_ROOT=root, ZQ_LISTENING_PORTS=",".join(map(str, ports)))
        subprocess.run([os.path.join(bin_dir, "zqsim"), "reset"], env=env, check=True,
                       stderr=subprocess.DEVNULL)
        log = open(os.path.join(root, "sim.log"), "wb")
        sim = subprocess.Popen([os.path.join(bin_dir, "zqsim"), "serve"], env=env, stdout=log,
                               stderr=log)
        daemon = subprocess.Popen([os.path.join(bin_dir, "zqHTTPServer")], env=env,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            url = f"http://127.0.0.1:{ports[1]}/zq/zqMediaList"
            deadline = time.monotonic() + 10
            while True:
                try:
                    urllib.request.urlopen(url, timeout=30).read()
                    break
                except OSError:
                    if time.monotonic() > deadline:
                        raise
                    time.sleep(0.05)
            body = urllib.request.urlopen(url, timeout=60).read()
            idle = rss_kib(daemon.pid, "VmRSS")
            # curl, a process like find: both sides pay one process start.
            list_ms = median_ms(lambda: subprocess.run(
                ["curl", "-sf", "-o", "/dev/null", url], stdout=subprocess.DEVNULL, check=True),
                RUNS)
            peak = rss_kib(daemon.pid, "VmHWM")
            find_ms = median_ms(lambda: subprocess.run(
                ["find", "DCIM", "-printf", r"%s %T@ %p\n"], cwd=os.path.dirname(dcim),
                stdout=subprocess.DEVNULL, check=True), RUNS)
            sock = os.path.join(root, "run/zqsim/rtos_media_db.sock")
            folders = sorted(os.listdir(dcim))
            entries = db_scan_all(sock, folders)
            db_ms = median_ms(lambda: db_scan_all(sock, folders), RUNS)
            if entries != files:
                raise RuntimeError(f"database listed {entries} of {files} files")
            return list_ms, find_ms, db_ms, idle, peak, len(body)
        finally:
            daemon.terminate()
            sim.terminate()
            daemon.wait(10)
            sim.wait(10)
    finally:
        shutil.rmtree(root, ignore_errors=True)


def main():
    bin_dir = sys.argv[1] if len(sys.argv) > 1 else "build/bin"
    print(f"median of {RUNS} runs; cards of sparse files in {FOLDERS} folders\n")
    print("| files  | zqMediaList ms | find ms | ratio | database alone ms |"
          " RSS idle MiB | RSS peak MiB | document KiB |")
    print("|-------:|---------------:|--------:|------:|------------------:|"
          "-------------:|-------------:|-------------:|")
    for files in (1000, 10000):
        list_ms, find_ms, db_ms, idle, peak, size = run_card(bin_dir, files)
        print(f"| {files:6d} | {list_ms:14.1f} | {find_ms:7.1f} | {list_ms / find_ms:5.2f} |"
              f" {db_ms:17.1f} | {idle / 1024:12.1f} |"
              f" {peak / 1024:12.1f} | {size / 1024:12.1f} |")


if __name__ == "__main__":
    main()
