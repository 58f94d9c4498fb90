"""End-to-end fixtures: a simulated camera and the real daemon on free ports.

Every test gets its own camera root (ZQ_ROOT) with the camera image, a copy of the sample
card and fresh simulator state, so tests can run in parallel without seeing each other.
The binaries come from ZQ_BIN_DIR (default: build/bin of this checkout). When they are built
for another processor, ZQ_EMULATOR names the program that runs them (with its arguments, such as
"/usr/bin/qemu-arm"); the build sets it for its tests.
"""

import http.client
import json
import os
import random
import shutil
import signal
import socket
import subprocess
import tempfile
import time

import pytest

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
BIN_DIR = os.environ.get("ZQ_BIN_DIR", os.path.join(REPO, "build", "bin"))
EMULATOR = os.environ.get("ZQ_EMULATOR", "").split()
IMAGE = os.path.join(REPO, "platform", "sim", "image")
# The camera's page, which ships in the daemon's document root.
WWW = os.path.join(REPO, "www")
DOCUMENT_ROOT = "/usr/local/tavro/www"

# Roles of the four listening ports, as the daemon numbers them.
PUBLIC, INTERNAL, INTERNAL2, ALTERNATE = range(4)


def _elf_machine(path):
    """The processor an ELF program is for (its e_machine: 40 ARM, 62 x86-64), or None."""
    try:
        with open(path, "rb") as f:
            head = f.read(20)
    except OSError:
        return None
    if len(head) < 20 or head[:4] != b"\x7fELF":
        return None
    return int.from_bytes(head[18:20], "big" if head[5] == 2 else "little")


# True when the programs under test are built for 32-bit ARM (the camera's processor).
ARM32 = _elf_machine(os.path.join(BIN_DIR, "zqHTTPServer")) == 40


def program(name):
    """The command line that starts one of the built programs (zqHTTPServer, zqsim)."""
    return [*EMULATOR, os.path.join(BIN_DIR, name)]


def free_ports(n):
    """n ports that were free a moment ago. They come from below the kernel's ephemeral range,
    so outgoing connections and other tests' bind(0) never take them; a test running beside
    this one may still pick the same port, which Camera.start() survives by trying again."""
    low, high = 20000, 32000
    with open("/proc/sys/net/ipv4/ip_local_port_range") as f:
        ephemeral_low = int(f.read().split()[0])
    high = min(high, ephemeral_low - 1)
    while True:
        ports = random.sample(range(low, high), n)
        socks = []
        try:
            for port in ports:
                s = socket.socket()
                s.bind(("127.0.0.1", port))
                socks.append(s)
            return ports
        except OSError:
            continue
        finally:
            for s in socks:
                s.close()


def packets(path):
    """Per stream kind (video, audio, data), the hashes of an MP4's packets in order, as
    ffprobe reads them."""
    out = subprocess.run(["ffprobe", "-v", "error", "-show_packets", "-show_data_hash", "MD5",
                          "-show_streams", "-of", "json", path],
                         capture_output=True, text=True, check=True)
    doc = json.loads(out.stdout)
    kinds = {s["index"]: s["codec_type"] for s in doc["streams"]}
    by_kind = {}
    for p in doc["packets"]:
        by_kind.setdefault(kinds[p["stream_index"]], []).append(p["data_hash"])
    return by_kind


@pytest.fixture(scope="session")
def sample_card(tmp_path_factory):
    """One sample card per test session; cameras copy it."""
    card = tmp_path_factory.mktemp("card") / "fuse_d"
    env = dict(os.environ, ZQ_ROOT=str(card.parent))
    subprocess.run([*program("zqsim"), "card", "make", str(card)],
                   env=env, check=True)
    return card


class Camera:
    """A camera root with the simulator state and, once started, the daemon."""

    def __init__(self, root, card):
        self.root = root
        self.ports = free_ports(4)
        self.env = dict(os.environ, ZQ_ROOT=root,
                        ZQ_LISTENING_PORTS=",".join(str(p) for p in self.ports))
        shutil.copytree(IMAGE, root, dirs_exist_ok=True)
        shutil.copytree(WWW, self.path(DOCUMENT_ROOT), dirs_exist_ok=True)
        if card is not None:
            shutil.copytree(card, self.path("/tmp/fuse_d"))
            internal = os.path.join(os.path.dirname(card), "fuse_i")
            if os.path.isdir(internal):
                shutil.copytree(internal, self.path("/tmp/fuse_i"))
        self.zqsim("reset")
        self.proc = None
        self.stop_report = ""  # why the last stop had to kill the daemon
        self.sim = None
        self.stdout_path = os.path.join(root, "daemon.out")
        self.stderr_path = os.path.join(root, "daemon.err")
        self.sim_log_path = os.path.join(root, "zqsim-serve.log")

    def path(self, camera_path):
        return self.root + camera_path

    def zqsim(self, *args, check=True):
        r = subprocess.run([*program("zqsim"), *map(str, args)], env=self.env,
                           capture_output=True, text=True)
        if check and r.returncode != 0:
            raise AssertionError(f"zqsim {args} failed: {r.stderr}")
        return r

    def start_sim(self, timeout=10.0):
        """Starts `zqsim serve` (the simulated camera processes) and waits until it runs."""
        log = open(self.sim_log_path, "wb")
        self.sim = subprocess.Popen([*program("zqsim"), "serve"], env=self.env,
                                    stdout=log, stderr=log)
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.sim.poll() is not None:
                raise AssertionError(f"zqsim serve exited: {self.sim_log()}")
            if "processes running" in self.sim_log():
                return self
            time.sleep(0.02)
        raise AssertionError("zqsim serve did not start")

    def sim_log(self):
        with open(self.sim_log_path, "rb") as f:
            return f.read().decode("utf-8", "replace")

    def stop_sim(self):
        if self.sim is not None and self.sim.poll() is None:
            self.sim.terminate()
            try:
                self.sim.wait(10)
            except subprocess.TimeoutExpired:
                self.sim.kill()
                self.sim.wait()
        return self.sim.returncode if self.sim is not None else None

    def start(self, timeout=10.0, sim=True):
        """Starts the simulated camera processes (unless `sim` is false), then the daemon. A
        daemon that finds a port taken (by a test running beside this one) is started again
        on other ports."""
        if sim and self.sim is None:
            self.start_sim()
        for _ in range(5):
            if self._start_daemon(timeout):
                return self
            self.ports = free_ports(4)
            self.env["ZQ_LISTENING_PORTS"] = ",".join(str(p) for p in self.ports)
        raise AssertionError(f"daemon found its ports taken five times: {self.stdout()}")

    def _start_daemon(self, timeout):
        """True once start-up has finished, False when a port was taken."""
        self.proc = subprocess.Popen(program("zqHTTPServer"), env=self.env,
                                     stdout=open(self.stdout_path, "wb"),
                                     stderr=open(self.stderr_path, "wb"))
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.proc.poll() is not None:
                if "Address already in use" in self.stdout():
                    return False
                raise AssertionError(f"daemon exited with {self.proc.returncode}: {self.stderr()}")
            # Start-up ends with the policy table (its last row), after the listeners open and
            # the stop signals are handled.
            if "\nCONN_SOURCE_UNKNOWN" in self.stdout():
                socket.create_connection(("127.0.0.1", self.ports[INTERNAL]), 1).close()
                return True
            time.sleep(0.02)
        raise AssertionError("daemon did not finish starting")

    def stop(self, sig=signal.SIGTERM, timeout=10.0):
        """Stops the daemon; returns (exit status, seconds it took). The simulated camera
        processes go on until stop_sim()."""
        if self.proc is None or self.proc.poll() is not None:
            return (self.proc.returncode if self.proc else None), 0.0
        t0 = time.monotonic()
        self.proc.send_signal(sig)
        try:
            self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            self.stop_report = (f"no exit within {timeout:.0f} s of signal {int(sig)}; its "
                                f"threads:\n{self.threads()}")
            self.proc.kill()
            self.proc.wait()
        return self.proc.returncode, time.monotonic() - t0

    def threads(self):
        """What each thread of the running daemon waits in: backtraces when gdb is installed,
        else the threads' names and kernel wait channels."""
        pid = self.proc.pid
        try:
            if shutil.which("gdb"):
                r = subprocess.run(["gdb", "-p", str(pid), "-batch", "-nx",
                                    "-ex", "thread apply all bt 16"],
                                   capture_output=True, text=True, timeout=60)
                return "\n".join(line for line in r.stdout.splitlines()
                                 if line.startswith(("Thread ", "#")))
            rows = []
            for tid in sorted(os.listdir(f"/proc/{pid}/task"), key=int):
                task = f"/proc/{pid}/task/{tid}"
                with open(f"{task}/comm") as comm, open(f"{task}/wchan") as wchan:
                    rows.append(f"{tid} {comm.read().strip()} {wchan.read().strip()}")
            return "\n".join(rows)
        except (OSError, subprocess.SubprocessError) as e:
            return f"not known: {e}"

    def stdout(self):
        with open(self.stdout_path, "rb") as f:
            return f.read().decode("utf-8", "replace")

    def stderr(self):
        with open(self.stderr_path, "rb") as f:
            return f.read().decode("utf-8", "replace")

    def connection(self, role=INTERNAL, timeout=10, source=None):
        """A connection to the daemon, from the loopback address `source` when given (127.0.0.1
        is the tunnel; other loopback addresses are network clients)."""
        return http.client.HTTPConnection("127.0.0.1", self.ports[role], timeout=timeout,
                                          source_address=(source, 0) if source else None)

    def request(self, method, path, role=INTERNAL, headers=None, body=None, source=None):
        """(status, headers dict with lower-case names, body bytes)."""
        conn = self.connection(role, source=source)
        try:
            conn.request(method, path, body=body, headers=headers or {})
            r = conn.getresponse()
            data = r.read()
            return r.status, {k.lower(): v for k, v in r.getheaders()}, data
        finally:
            conn.close()

    def get(self, path, **kw):
        return self.request("GET", path, **kw)

    def raw(self, data, role=INTERNAL, timeout=5.0):
        """Sends raw bytes and returns everything the daemon writes until it closes."""
        with socket.create_connection(("127.0.0.1", self.ports[role]), timeout) as s:
            s.sendall(data)
            out = b""
            try:
                while True:
                    chunk = s.recv(65536)
                    if not chunk:
                        break
                    out += chunk
            except socket.timeout:
                pass
            return out


def serve_camera(sample_card, env=None):
    """Runs a daemon against a fresh simulated camera with the sample card (with `env` added
    to its environment) for a fixture; checks on the way out that it stopped cleanly and
    without a sanitizer report."""
    root = tempfile.mkdtemp(prefix="zqcam.")
    cam = Camera(root, sample_card)
    cam.env.update(env or {})
    cam.start()
    yield cam
    status, _ = cam.stop()
    cam.stop_sim()
    err = cam.stderr()
    shutil.rmtree(root, ignore_errors=True)
    for sanitizer_report in ("ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:",
                             "WARNING: ThreadSanitizer"):
        assert sanitizer_report not in err, err
    assert status == 0, f"daemon exit status {status}: {cam.stop_report} {err[-2000:]}"


@pytest.fixture
def camera(sample_card):
    """A running daemon against a fresh simulated camera with the sample card."""
    yield from serve_camera(sample_card)


@pytest.fixture
def bare_camera(sample_card):
    """A camera root with the sample card whose daemon the test starts itself."""
    root = tempfile.mkdtemp(prefix="zqcam.")
    cam = Camera(root, sample_card)
    yield cam
    cam.stop()
    cam.stop_sim()
    shutil.rmtree(root, ignore_errors=True)
