"""A real crash of the daemon: the report it leaves and the signal it ends with.

The host build crashes on purpose when ZQ_CRASH names a signal (right after start-up, with the
server running); a camera build has no such switch.
"""

import os
import re
import resource
import signal
import subprocess

from conftest import ARM32, EMULATOR, program


def no_core():
    resource.setrlimit(resource.RLIMIT_CORE, (0, 0))


def test_daemon_crash_leaves_a_complete_report(bare_camera):
    # One signal: the codes of the others are the crash handler's unit tests.
    sig, code = signal.SIGSEGV, "1 (Address not mapped to object)"
    cam = bare_camera
    env = dict(cam.env, ZQ_CRASH=sig.name)
    with open(cam.stdout_path, "wb") as out, open(cam.stderr_path, "wb") as err:
        proc = subprocess.Popen(program("zqHTTPServer"), env=env, stdout=out,
                                stderr=err, preexec_fn=no_core)
        status = proc.wait(30)
    assert status == -sig, cam.stderr()[-2000:]

    report_path = cam.path("/tmp/crash_report_zqHTTPServer.log")
    with open(report_path) as f:
        r = f.read()
    sep = " -" * 40
    assert r.startswith(f"\n{sep}\n\tZQ CRASH HANDLER (Opts: 0x0F0001EB)\n{sep}\n"
                        f"     Report file: {report_path}\n")
    assert re.search(r"\n       Date/Time: \d\d/\d\d/\d\d \d\d:\d\d:\d\d\n", r)
    assert "\n         Program: zqHTTPServer\n" in r
    assert f"\n      Process ID: {proc.pid} (Parent: {os.getpid()})\n" in r
    assert f"\n          Signal: {sig.name}\n" in r
    assert f"\n     Signal code: {code}\n" in r
    assert re.search(r"\n   Fault address: (0x[0-9a-f]+|\(nil\))\n", r)

    frames = re.search(rf"{sep}\n Backtrace \((\d+) frames\):\n((?:   #\d+\t0x[0-9a-f]+\t.+\n)+)\n"
                       rf"{sep}\n", r)
    assert frames, r
    assert 3 <= int(frames.group(1)) <= 16
    # The daemon exports its symbols: the handler and the faulting path are named. On 32-bit
    # ARM (seen under qemu-user) the unwinder stops at the C library's signal return, so only
    # the handler's side of the signal frame is there.
    assert "zqch_backtrace" in frames.group(2), frames.group(2)
    if ARM32:
        assert re.search(r"/libc\.so\.6\([^\n]*\n$", frames.group(2)), frames.group(2)
    else:
        assert "zqch_host_fault_injection" in frames.group(2), frames.group(2)

    files = r[r.index(" Open files:\n"):r.index("\n Status: \n")]
    # The listening sockets of the running server, the log files it writes.
    assert len(re.findall(r"\n   #\d+\tsock\tsocket:\[\d+\]", files)) >= 4, files
    assert re.search(rf"\n   #2\tfile\t{re.escape(cam.stderr_path)}\n", files), files
    status_part = r[r.index("\n Status: \n"):r.index("\n Maps: \n")]
    # Under an emulator the kernel's status is the emulator's own process.
    name = os.path.basename(EMULATOR[0]) if EMULATOR else "zqHTTPServer"
    assert f"\n   Name:\t{name}\n" in status_part
    assert re.search(r"\n   Threads:\t([5-9]|\d\d)\n", status_part), status_part  # workers ran
    maps = r[r.index("\n Maps: \n"):]
    assert re.search(r"\n   [0-9a-f]+-[0-9a-f]+ r-xp [^\n]*zqHTTPServer\n", maps), maps[:2000]
    assert r.endswith("\n")
