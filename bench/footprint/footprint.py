#!/usr/bin/env python3
"""The daemon's footprint on the camera's 32-bit ARM beside x86-64: the size of the stripped
program, and its resident memory idle and during a download.

The ARM program runs under qemu-user with its address space placed at a known host address
(qemu-arm -B), so its own resident memory (the pages of that range) can be told apart from the
emulator's (translator, translated code); both are shown. Emulation changes speed, not the
program's memory layout much.
Usage: footprint.py X86_BIN_DIR ARMHF_BIN_DIR WORK_DIR   (a bin dir that does not exist is left out)
"""

import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from benchlib import start_daemon  # noqa: E402

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
GUEST_BASE = 0x100000000  # where qemu-arm places the 4 GiB address space of the ARM program
DOWNLOAD = 512 << 20
NAME = "ZQ010098.MP4"


def stripped_size(path, strip):
    with tempfile.TemporaryDirectory() as d:
        copy = os.path.join(d, "zqHTTPServer")
        shutil.copy(path, copy)
        subprocess.run([strip, copy], check=True)
        return os.path.getsize(copy)


def process_rss_kib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def guest_rss_kib(pid):
    """Resident KiB of the mappings inside the emulated program's address space."""
    total, inside = 0, False
    with open(f"/proc/{pid}/smaps") as f:
        for line in f:
            first = line.split(None, 1)[0]
            if "-" in first and not first.endswith(":"):
                start = int(first.split("-")[0], 16)
                inside = GUEST_BASE <= start < GUEST_BASE + (1 << 32)
            elif inside and first == "Rss:":
                total += int(line.split()[1])
    return total


def measure(bin_dir, emulator, work):
    """(idle, peak during a download) as {"process": KiB, "program": KiB}."""
    root = tempfile.mkdtemp(prefix="footprint.", dir=work)
    try:
        shutil.copytree(os.path.join(REPO, "platform", "sim", "image"), root, dirs_exist_ok=True)
        folder = os.path.join(root, "tmp/fuse_d/DCIM/100TAVRO")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, NAME), "wb") as f:
            f.truncate(DOWNLOAD)
        env = dict(os.environ, ZQ_ROOT=root)
        daemon, ports = start_daemon(bin_dir, env, emulator)
        try:
            def sample():
                s = {"process": process_rss_kib(daemon.pid)}
                s["program"] = guest_rss_kib(daemon.pid) if emulator else s["process"]
                return s

            time.sleep(2)
            idle = sample()
            peak = dict(idle)
            done = threading.Event()
            url = f"http://127.0.0.1:{ports[1]}/videos/DCIM/100TAVRO/{NAME}"
            client = threading.Thread(target=lambda: (subprocess.run(
                ["curl", "-s", "-o", "/dev/null", url], check=True), done.set()))
            client.start()
            while not done.wait(0.02):
                s = sample()
                peak = {k: max(peak[k], s[k]) for k in peak}
            client.join()
            return idle, peak
        finally:
            daemon.terminate()
            daemon.wait(30)
    finally:
        shutil.rmtree(root, ignore_errors=True)


def main():
    x86_bin, arm_bin, work = sys.argv[1:4]
    platforms = [("x86-64", x86_bin, "strip", []),
                 ("armhf", arm_bin, "arm-linux-gnueabihf-strip",
                  ["qemu-arm", "-B", hex(GUEST_BASE)])]
    rows = []
    for name, bin_dir, strip, emulator in platforms:
        program = os.path.join(bin_dir, "zqHTTPServer")
        if not os.path.exists(program):
            print(f"footprint: no {program}, {name} left out")
            continue
        idle, peak = measure(bin_dir, emulator, work)
        rows.append((name, os.path.getsize(program), stripped_size(program, strip), idle, peak))

    print(f"\n{'':14}{'program':>10}{'stripped':>10}{'RSS idle':>12}{'RSS download':>14}"
          f"   (sizes KiB, RSS KiB; download of {DOWNLOAD >> 20} MiB)")
    for name, size, stripped, idle, peak in rows:
        print(f"{name:14}{size >> 10:>10}{stripped >> 10:>10}{idle['program']:>12}"
              f"{peak['program']:>14}")
        if idle["program"] != idle["process"]:
            print(f"{'  + emulator':14}{'':>10}{'':>10}{idle['process']:>12}{peak['process']:>14}"
                  "   (the qemu-arm process as a whole)")
    if len(rows) == 2:
        (_, xs, xst, xi, xp), (_, az, ast, ai, ap) = rows
        print(f"{'armhf/x86-64':14}{az / xs:>10.2f}{ast / xst:>10.2f}"
              f"{ai['program'] / xi['program']:>12.2f}{ap['program'] / xp['program']:>14.2f}"
              "   (ratios)")


if __name__ == "__main__":
    main()
