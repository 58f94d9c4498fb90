"""The README's walkthrough, run as a newcomer would: the run command's own set-up (sample card,
simulated camera, daemon), then every command of the "Trying it" section in the order written.

The commands are read from the README itself, so the two cannot drift apart. A command's
comment may start with the HTTP status it answers ("# 503: ..."); every other curl request
must succeed (2xx). Only the port changes, so that tests can run side by side.
"""

import os
import re
import shutil
import signal
import subprocess
import tempfile
import time

from conftest import BIN_DIR, INTERNAL, REPO, free_ports

README = os.path.join(REPO, "README.md")
STATUS_MARK = "zq-status "
LINE_MARK = "zq-line "


def walkthrough():
    """The lines of the first sh block after the "## Trying it" heading."""
    with open(README) as f:
        text = f.read()
    section = text[text.index("## Trying it"):]
    block = re.search(r"```sh\n(.*?)```", section, re.S).group(1)
    return [line for line in block.splitlines() if line.strip()]


def expected_status(line):
    """The status a line's comment names, or None for "any 2xx"."""
    m = re.search(r"#\s*(\d{3})\b", line)
    return int(m.group(1)) if m else None


def start_run_command(root, ports):
    env = dict(os.environ, ZQ_BIN_DIR=BIN_DIR, ZQ_ROOT=root,
               ZQ_LISTENING_PORTS=",".join(map(str, ports)))
    log_path = os.path.join(root, "run.log")
    with open(log_path, "w") as log:
        proc = subprocess.Popen([os.path.join(REPO, "scripts", "run.sh")], env=env, stdout=log,
                                stderr=subprocess.STDOUT, start_new_session=True)
    deadline = time.monotonic() + 60
    while time.monotonic() < deadline and proc.poll() is None:
        with open(log_path) as f:
            if "is serving the simulated camera" in f.read():
                return proc
        time.sleep(0.05)
    os.killpg(proc.pid, signal.SIGKILL)
    with open(log_path) as f:
        raise AssertionError("run.sh did not start:\n" + f.read())


def test_walkthrough_answers_as_written():
    lines = walkthrough()
    assert any("shutter?p=1" in line for line in lines)
    root = tempfile.mkdtemp(prefix="zqreadme.")
    work = tempfile.mkdtemp(prefix="zqreadme-cwd.")
    ports = free_ports(4)
    os.makedirs(root, exist_ok=True)
    proc = start_run_command(root, ports)
    try:
        # Every curl reports its status on standard error; standard output stays the
        # command's own (pipes such as `| od` still work).
        script = ["set -o pipefail",
                  f"curl() {{ command curl \"$@\" -sS -w '%{{stderr}}{STATUS_MARK}%{{http_code}}\\n'; }}"]
        for i, line in enumerate(lines):
            script.append(line.replace("127.0.0.1:8080", f"127.0.0.1:{ports[INTERNAL]}"))
            script.append(f"echo \"{LINE_MARK}{i} $?\" >&2")
        r = subprocess.run(["bash", "-c", "\n".join(script)], cwd=work, capture_output=True,
                           text=True, timeout=120)

        statuses = []
        results = {}
        for entry in r.stderr.splitlines():
            if entry.startswith(STATUS_MARK):
                statuses.append(int(entry[len(STATUS_MARK):]))
            elif entry.startswith(LINE_MARK):
                i, rc = map(int, entry[len(LINE_MARK):].split())
                results[i] = (rc, statuses)
                statuses = []
        assert len(results) == len(lines), r.stderr

        for i, line in enumerate(lines):
            rc, got = results[i]
            assert rc == 0, f"{line!r} exited {rc}"
            if "curl" not in line:
                continue
            assert len(got) == 1, f"{line!r}: {got}"
            want = expected_status(line)
            if want is None:
                assert 200 <= got[0] < 300, f"{line!r} answered {got[0]}"
            else:
                assert got[0] == want, f"{line!r} answered {got[0]}, the README says {want}"
        assert "00 01" in r.stdout  # the relay's answer, as the README shows it
    finally:
        os.killpg(proc.pid, signal.SIGINT)
        try:
            proc.wait(20)
        finally:
            if proc.poll() is None:
                os.killpg(proc.pid, signal.SIGKILL)
    # Ctrl-C stops the daemon and the simulated camera with it: nothing of the session is left.
    try:
        os.killpg(proc.pid, 0)
        leftover = True
    except ProcessLookupError:
        leftover = False
    assert not leftover, "run.sh left processes running after Ctrl-C"
    shutil.rmtree(root, ignore_errors=True)
    shutil.rmtree(work, ignore_errors=True)
