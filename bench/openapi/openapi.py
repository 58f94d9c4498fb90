#!/usr/bin/env python3
"""/tavro/camera/state against /zq/zqControl/status: requests per second and p50/p99 at 8
connections (the same status document, through the Open API's lock or the control
interface's), then camera/state again while another client keeps stopping a streaming helper
that ignores the hang-up (each stop holds the Open API's lock for about 300 ms until the kill).
Usage: openapi.py BIN_DIR [WORK_DIR]
"""

import os
import shutil
import subprocess
import sys
import tempfile
import threading
import urllib.request

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.dirname(here))
sys.path.insert(0, os.path.join(os.path.dirname(here), "control"))
from benchlib import start_daemon  # noqa: E402
from control import SECONDS, wrk  # noqa: E402

CONNECTIONS = 8


def main():
    bin_dir = sys.argv[1]
    work = tempfile.mkdtemp(prefix="zqbench.", dir=sys.argv[2] if len(sys.argv) > 2 else None)
    repo = os.path.dirname(os.path.dirname(here))
    root = os.path.join(work, "root")
    shutil.copytree(os.path.join(repo, "platform", "sim", "image"), root)
    env = dict(os.environ, ZQ_ROOT=root)
    daemon, ports = start_daemon(bin_dir, env)
    try:
        zqsim = os.path.join(bin_dir, "zqsim")
        subprocess.run([zqsim, "stream", "install"], env=env, check=True)
        subprocess.run([zqsim, "stream", "mode", "ignore"], env=env, check=True)
        base = f"http://127.0.0.1:{ports[1]}"
        rows = [("control status", wrk(f"{base}/zq/zqControl/status", CONNECTIONS)),
                ("tavro camera/state", wrk(f"{base}/tavro/camera/state", CONNECTIONS))]
        stop = threading.Event()
        slow = []

        def hold_lock():
            while not stop.is_set():
                urllib.request.urlopen(f"{base}/tavro/camera/stream/start").read()
                urllib.request.urlopen(f"{base}/tavro/camera/stream/stop").read()
                slow.append(1)

        holder = threading.Thread(target=hold_lock)
        holder.start()
        rows.append(("state, stops beside", wrk(f"{base}/tavro/camera/state", CONNECTIONS)))
        stop.set()
        holder.join()
    finally:
        daemon.terminate()
        daemon.wait()
        shutil.rmtree(work, ignore_errors=True)

    print(f"wrk {SECONDS} s per row, {CONNECTIONS} connections; ratio: requests/s against the "
          f"control status; {len(slow)} helper stops during the last row")
    print(f"{'target':<22}{'req/s':>10}{'ratio':>8}{'p50 ms':>9}{'p99 ms':>9}{'non-2xx':>9}")
    for label, (rps, p50, p99, bad) in rows:
        print(f"{label:<22}{rps:>10.0f}{rps / rows[0][1][0]:>8.2f}{p50:>9.3f}{p99:>9.3f}"
              f"{bad:>9}")


if __name__ == "__main__":
    main()
