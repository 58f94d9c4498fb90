#!/usr/bin/env python3
"""The metadata route under load beside a static server.

The sample card (zqsim card make) is served by the daemon; its answers for one photo (EXIF
thumbnail, screennail, EXIF JSON) and one clip (its .THM) are saved once and served by nginx
as plain files, so the ratio shows what finding the answer inside the photo costs over
sending bytes. wrk runs 8 connections for DURATION seconds per row. Metadata requests are
serialised by the daemon's media lock, as on the camera, so its rows are one request at a
time whatever the connection count. Peak RSS is the daemon's high-water mark after the run.
Track extraction (t=tracks) is timed on a 30-second 1080p clip made by ffmpeg, as curl to
/dev/null beside `zqmp4 extract` of the same tracks to /dev/null and `cat`, best of 5.
Usage: metadata.py BIN_DIR
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import urllib.request

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from benchlib import free_port, start_daemon, wait_port  # noqa: E402

DURATION = 5
CONNECTIONS = 8
ROWS = [  # label, query, file name of the static copy
    ("photo thumbnail (EXIF IFD1)", "p=100TAVRO/TAVR0003.JPG", "thumb.jpg"),
    ("photo screennail (indexed)", "p=100TAVRO/TAVR0003.JPG&t=scr", "scr.jpg"),
    ("photo screennail (APP2 pieces)", "p=100TAVRO/TAVR0004.JPG&t=scr", "scr-old.jpg"),
    ("photo EXIF JSON", "p=100TAVRO/TAVR0003.JPG&t=exif", "exif.json"),
    ("clip thumbnail (.THM)", "p=100TAVRO/ZQ010001.MP4", "clip.jpg"),
]


def rss_kib(pid, field):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    return 0


def wrk(url, host=None):
    cmd = ["wrk", "-t2", f"-c{CONNECTIONS}", f"-d{DURATION}s", url]
    if host:
        cmd[1:1] = ["-H", f"Host: {host}"]
    out = subprocess.run(cmd, capture_output=True, text=True, check=True).stdout
    if re.search(r"Non-2xx or 3xx responses", out):
        raise RuntimeError(f"errors from {url}:\n{out}")
    return float(re.search(r"Requests/sec:\s+([\d.]+)", out).group(1))


def best_seconds(cmd, runs=5):
    best = None
    for _ in range(runs):
        t0 = time.perf_counter()
        subprocess.run(cmd, stdout=subprocess.DEVNULL, check=True)
        took = time.perf_counter() - t0
        best = took if best is None else min(best, took)
    return best


def make_long_clip(path):
    subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                    "testsrc2=size=1920x1080:rate=30:duration=30", "-f", "lavfi", "-i",
                    "sine=frequency=500:sample_rate=48000:duration=30", "-c:v", "libx264",
                    "-preset", "ultrafast", "-b:v", "40M", "-g", "30", "-pix_fmt", "yuv420p",
                    "-c:a", "aac", path], check=True)


def tracks_rows(bin_dir, base, clip):
    size_mb = os.path.getsize(clip) / 1e6
    rel = os.path.relpath(clip, clip[:clip.index("/DCIM/") + 6])
    cat = best_seconds(["cat", clip])
    print(f"\nt=tracks on a {size_mb:.0f} MB clip (1080p H.264 + AAC), best of 5; MB/s of the "
          "source read")
    print("| tracks | cat MB/s | zqmp4 extract MB/s | HTTP t=tracks MB/s | HTTP/cat |"
          " HTTP/zqmp4 |")
    print("|---|---:|---:|---:|---:|---:|")
    for names in ("video", "video,audio"):
        tool = best_seconds([os.path.join(bin_dir, "zqmp4"), "extract", "--tracks", names, clip])
        http = best_seconds(["curl", "-sf", "-o", "/dev/null", "-H", "Host: 127.0.0.1",
                             f"{base}p={rel}&t=tracks&trackNames={names}"])
        print(f"| {names} | {size_mb / cat:.0f} | {size_mb / tool:.0f} | {size_mb / http:.0f} |"
              f" {cat / http:.2f} | {tool / http:.2f} |")


def main():
    bin_dir = sys.argv[1]
    work = tempfile.mkdtemp(prefix="zqbench.")
    os.chmod(work, 0o755)  # nginx's workers run as an unprivileged user
    procs = []
    try:
        root = os.path.join(work, "root")
        static = os.path.join(work, "static")
        os.makedirs(static)
        env = dict(os.environ, ZQ_ROOT=root)
        subprocess.run([os.path.join(bin_dir, "zqsim"), "card", "make",
                        os.path.join(root, "tmp/fuse_d")], env=env, check=True)
        daemon, ports = start_daemon(bin_dir, env)
        procs.append(daemon)
        base = f"http://127.0.0.1:{ports[1]}/zq/zqMediaMetadata?"
        for _, query, name in ROWS:
            with urllib.request.urlopen(base + query, timeout=30) as r:
                body = r.read()
            with open(os.path.join(static, name), "wb") as f:
                f.write(body)
        idle = rss_kib(daemon.pid, "VmRSS")

        nginx_port = free_port()
        conf = os.path.join(work, "nginx.conf")
        with open(conf, "w") as f:
            f.write(f"""worker_processes 1; daemon off; pid {work}/nginx.pid;
error_log {work}/nginx.err; events {{ worker_connections 64; }}
http {{ access_log off; types {{ image/jpeg jpg; application/json json; }}
  server {{ listen 127.0.0.1:{nginx_port}; root {static}; }} }}
""")
        nginx = subprocess.Popen(["nginx", "-p", work, "-c", conf],
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        procs.append(nginx)
        wait_port(nginx_port)

        print(f"wrk, {CONNECTIONS} connections, {DURATION} s per row; sample card photos "
              "1920x1080 (thumbnail 160x90, screennail 640x360)\n")
        print("| request | bytes | zqHTTPServer req/s | nginx static req/s | ratio |")
        print("|---|---:|---:|---:|---:|")
        for label, query, name in ROWS:
            ours = wrk(base + query, "127.0.0.1")
            peer = wrk(f"http://127.0.0.1:{nginx_port}/{name}")
            size = os.path.getsize(os.path.join(static, name))
            print(f"| {label} | {size} | {ours:.0f} | {peer:.0f} | {ours / peer:.2f} |")
        peak = rss_kib(daemon.pid, "VmHWM")
        print(f"\nzqHTTPServer RSS: idle {idle / 1024:.1f} MiB, peak {peak / 1024:.1f} MiB")
        clip = os.path.join(root, "tmp/fuse_d/DCIM/100TAVRO/ZQ010050.MP4")
        make_long_clip(clip)
        tracks_rows(bin_dir, base, clip)
    finally:
        for p in procs:
            p.terminate()
            try:
                p.wait(10)
            except subprocess.TimeoutExpired:
                p.kill()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
