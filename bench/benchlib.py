"""Helpers the benchmark scripts share: free ports, waiting for a server, starting the
daemon on a simulated camera, timing."""

import os
import socket
import statistics
import subprocess
import time


def free_port():
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


def wait_port(port, timeout=10):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        try:
            socket.create_connection(("127.0.0.1", port), 0.2).close()
            return
        except OSError:
            time.sleep(0.05)
    raise RuntimeError(f"nothing listens on {port}")


def start_daemon(bin_dir, env, emulator=()):
    """Resets the simulated camera below env["ZQ_ROOT"] and starts the daemon on four free
    ports (set in `env`); returns the process and the ports once it listens. The internal
    port (ports[1]) lets a loopback client do everything. Programs built for another
    processor run through `emulator` (e.g. ["qemu-arm"])."""
    ports = [free_port() for _ in range(4)]
    env["ZQ_LISTENING_PORTS"] = ",".join(map(str, ports))
    subprocess.run([*emulator, os.path.join(bin_dir, "zqsim"), "reset"], env=env, check=True,
                   stderr=subprocess.DEVNULL)
    daemon = subprocess.Popen([*emulator, os.path.join(bin_dir, "zqHTTPServer")], env=env,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wait_port(ports[1])
    return daemon, ports


def median_ms(fn, runs):
    """The median time of `runs` calls of fn(), in milliseconds."""
    times = []
    for _ in range(runs):
        t0 = time.perf_counter()
        fn()
        times.append((time.perf_counter() - t0) * 1000)
    return statistics.median(times)
