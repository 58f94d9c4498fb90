#!/usr/bin/env python3
"""Control requests per second and p50/p99 latency, beside nginx.

wrk drives, for 1, 8 and 32 connections:
  - zqHTTPServer /zq/zqControl/status              (command 34, the status and settings JSON)
  - zqHTTPServer /zq/zqControl/command/shutter?p=0 (command 3 with one byte)
  - zqHTTPServer /zq/zqControl/command/wireless/ssid/list (23 networks: three pages of
    command 20 assembled into one list)
  - zqHTTPServer /zq/zqWebcam/STATUS               (a round trip through the webcam process:
    the command word into a camera status, the 8-byte reply on a queue made for it)
  - nginx, a ~100-byte static JSON file            (the floor: an HTTP server doing nothing)
against the simulated camera (`zqsim serve` plays the webcam process). Control requests run one at a time by design, so their rate
does not grow with connections; the ratios say what the daemon costs next to nginx.
Usage: control.py BIN_DIR [WORK_DIR]
"""

import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from benchlib import free_port, wait_port  # noqa: E402

SECONDS = int(os.environ.get("ZQ_BENCH_SECONDS", "5"))
CONNECTIONS = [1, 8, 32]


def to_ms(text):
    m = re.fullmatch(r"([\d.]+)(us|ms|s)", text)
    value, unit = float(m.group(1)), m.group(2)
    return value / 1000 if unit == "us" else value * 1000 if unit == "s" else value


def wrk(url, connections):
    """(requests per second, p50 ms, p99 ms, non-2xx answers)."""
    out = subprocess.run(["wrk", "-t", str(min(connections, 2)), "-c", str(connections),
                          "-d", f"{SECONDS}s", "--latency", url],
                         capture_output=True, text=True, check=True).stdout
    rps = float(re.search(r"Requests/sec:\s+([\d.]+)", out).group(1))
    p50 = to_ms(re.search(r"\s50%\s+(\S+)", out).group(1))
    p99 = to_ms(re.search(r"\s99%\s+(\S+)", out).group(1))
    bad = re.search(r"Non-2xx or 3xx responses:\s+(\d+)", out)
    return rps, p50, p99, int(bad.group(1)) if bad else 0


def main():
    bin_dir = sys.argv[1]
    work = tempfile.mkdtemp(prefix="zqbench.", dir=sys.argv[2] if len(sys.argv) > 2 else None)
    os.chmod(work, 0o755)  # nginx's workers run as an unprivileged user
    procs = []
    try:
        run(bin_dir, work, procs)
    finally:
        for p in procs:
            if p.poll() is None:
                p.terminate()
        for p in procs:
            p.wait()
        shutil.rmtree(work, ignore_errors=True)


def run(bin_dir, work, procs):
    repo = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    root = os.path.join(work, "root")
    shutil.copytree(os.path.join(repo, "platform", "sim", "image"), root)
    env = dict(os.environ, ZQ_ROOT=root)
    ports = [free_port() for _ in range(4)]
    env["ZQ_LISTENING_PORTS"] = ",".join(map(str, ports))
    zqsim = os.path.join(bin_dir, "zqsim")
    subprocess.run([zqsim, "reset"], env=env, check=True, stderr=subprocess.DEVNULL)
    subprocess.run([zqsim, "wifi", "clear"], env=env, check=True)
    for i in range(23):
        subprocess.run([zqsim, "wifi", "add", f"network-{i:02d}", str(i % 4), str(i % 5)],
                       env=env, check=True)
    sim_log = os.path.join(work, "zqsim-serve.log")
    with open(sim_log, "wb") as log:
        procs.append(subprocess.Popen([zqsim, "serve"], env=env, stdout=log, stderr=log))
    deadline = time.monotonic() + 10
    while "processes running" not in open(sim_log).read():
        if time.monotonic() > deadline:
            raise SystemExit("zqsim serve did not start")
        time.sleep(0.02)
    daemon = subprocess.Popen([os.path.join(bin_dir, "zqHTTPServer")], env=env,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    procs.append(daemon)
    wait_port(ports[1])
    base = f"http://127.0.0.1:{ports[1]}/zq/zqControl"

    static = os.path.join(work, "static")
    os.makedirs(static)
    with open(os.path.join(static, "status.json"), "w") as f:
        json.dump({"status": {"1": 1, "2": 3, "8": 0, "10": 0, "13": 0, "43": 0, "82": 1},
                   "settings": {"2": 1, "3": 5}}, f)
    nginx_port = free_port()
    conf = os.path.join(work, "nginx.conf")
    with open(conf, "w") as f:
        f.write(f"""worker_processes 1; daemon off; pid {work}/nginx.pid;
error_log {work}/nginx.err; events {{ worker_connections 256; }}
http {{ access_log off; types {{ application/json json; }}
  server {{ listen 127.0.0.1:{nginx_port}; root {static}; }} }}
""")
    nginx = subprocess.Popen(["nginx", "-p", work, "-c", conf],
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    procs.append(nginx)
    wait_port(nginx_port)

    targets = [
        ("nginx static JSON", f"http://127.0.0.1:{nginx_port}/status.json"),
        ("zq status", f"{base}/status"),
        ("zq shutter p=0", f"{base}/command/shutter?p=0"),
        ("zq wifi list (23)", f"{base}/command/wireless/ssid/list"),
        ("zq webcam STATUS", f"http://127.0.0.1:{ports[1]}/zq/zqWebcam/STATUS"),
    ]
    results = {}
    for label, url in targets:
        for c in CONNECTIONS:
            results[(label, c)] = wrk(url, c)
            subprocess.run([zqsim, "control", "clear"], env=env, check=True)
    size = os.path.getsize(os.path.join(static, "status.json"))
    status_size = len(subprocess.run(["curl", "-s", f"{base}/status"], capture_output=True,
                                     check=True).stdout)

    print(f"wrk {SECONDS} s per cell; nginx file {size} bytes, status document {status_size} "
          f"bytes; ratios: requests/s against nginx at the same connections")
    print(f"{'target':<20}{'conns':>6}{'req/s':>11}{'ratio':>8}{'p50 ms':>9}{'p99 ms':>9}"
          f"{'non-2xx':>9}")
    for label, _ in targets:
        for c in CONNECTIONS:
            rps, p50, p99, bad = results[(label, c)]
            ratio = rps / results[("nginx static JSON", c)][0]
            print(f"{label:<20}{c:>6}{rps:>11.0f}{ratio:>8.2f}{p50:>9.3f}{p99:>9.3f}{bad:>9}")


if __name__ == "__main__":
    main()
