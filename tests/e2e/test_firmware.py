"""Firmware updates on the wire: the resumable upload through breaks and resets (a restarted
daemon resuming is the upload's unit test), the single-request update with the camera's
outcomes, and the certificate endpoint.

The upload rounds run a few times with a small package in every run; a long job runs many with
the full-size package:
    ZQ_UPLOAD_ROUNDS=50 ZQ_UPLOAD_MB=100 pytest tests/e2e/test_firmware.py -k rounds
"""

import hashlib
import http.client
import json
import os
import random
import socket
import struct
import subprocess
import time

import pytest

from conftest import INTERNAL, serve_camera

# Firmware routes are for the camera's users (a network client in access point mode);
# certificates for the tunnel (127.0.0.1 on the internal port).
USER = "127.0.0.2"
BOUNDARY = "zqE2eBoundary7f3a"
ROUNDS = int(os.environ.get("ZQ_UPLOAD_ROUNDS", "3"))
PACKAGE_MB = int(os.environ.get("ZQ_UPLOAD_MB", "6"))


def package(size, seed):
    return random.Random(seed).randbytes(size)


def form(fields, filename, data):
    """A multipart body: the text fields in order, then the file."""
    return ("".join(f"--{BOUNDARY}\r\nContent-Disposition: form-data; name=\"{name}\"\r\n\r\n"
                    f"{value}\r\n" for name, value in fields) +
            f"--{BOUNDARY}\r\nContent-Disposition: form-data; name=\"file\"; "
            f"filename=\"{filename}\"\r\nContent-Type: application/octet-stream\r\n\r\n"
            ).encode() + data + f"\r\n--{BOUNDARY}--\r\n".encode()


def piece_body(sha1, offset, complete, data):
    return form([("sha1", sha1), ("offset", offset), ("complete", complete)], "firmware.zip",
                data)


def head(path, length, content_type=f"multipart/form-data; boundary={BOUNDARY}"):
    return (f"POST {path} HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: {content_type}\r\n"
            f"Content-Length: {length}\r\n\r\n").encode()


def read_answer(sock):
    """(status, body) of the answer on `sock`, or None when the connection ends without one."""
    r = http.client.HTTPResponse(sock)
    try:
        r.begin()
    except (OSError, http.client.HTTPException):
        return None
    return r.status, r.read()


def connect(camera):
    return socket.create_connection(("127.0.0.1", camera.ports[INTERNAL]), 30,
                                    source_address=(USER, 0))


def post(camera, path, body, cut=None, reset=False):
    """Posts `body`; with `cut`, only that many bytes of it are sent, then the connection is
    half-closed (the daemon sees the body end early) or reset. Returns read_answer()'s (status,
    body), or None after a reset."""
    s = connect(camera)
    try:
        s.sendall(head(path, len(body)) + (body if cut is None else body[:cut]))
        if cut is not None:
            if reset:
                s.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
                return None
            s.shutdown(socket.SHUT_WR)
        return read_answer(s)
    finally:
        s.close()


def post_piece(camera, body, cut=None, reset=False):
    """post() of an upload piece: its JSON answer, or None after a reset."""
    answer = post(camera, "/zq/zqSoftUpdate", body, cut, reset)
    if answer is None and reset:
        return None
    assert answer is not None and answer[0] == 200, answer
    return json.loads(answer[1])


def user_get(camera, target, method="GET"):
    """(status, headers, body) of a request from the camera's user."""
    return camera.request(method, target, source=USER)


def ask(camera, word):
    status, _, body = user_get(camera, f"/zq/zqSoftUpdate?request={word}")
    assert status == 200
    return json.loads(body)


def progress(camera):
    """The upload's progress, once the daemon is done with a request whose client reset (it
    answers "Server Busy" until then)."""
    deadline = time.monotonic() + 30
    while True:
        p = ask(camera, "progress")
        if p["status"] != 7 or time.monotonic() > deadline:
            return p
        time.sleep(0.01)


def upload_with_breaks(camera, data, rng, reset_every=3):
    """Uploads `data` in pieces of random size, breaking connections at random points
    (inside the file data, in the text parts and inside the closing delimiter), and resumes
    from the progress each time. Returns the last answer."""
    sha1 = hashlib.sha1(data).hexdigest()
    breaks = 0
    while True:
        p = progress(camera)
        have = p["bytes_complete"] if p["sha1"] == sha1 else 0
        assert have <= len(data)
        size = min(len(data) - have, rng.randint(1, max(1, len(data) // 4)))
        last = have + size == len(data)
        body = piece_body(sha1, str(have), "true" if last else "false", data[have:have + size])
        if rng.random() < 0.5:
            tail = len(f"\r\n--{BOUNDARY}--\r\n")
            # Anywhere in the body, or inside the closing delimiter.
            cut = rng.randrange(len(body)) if rng.random() < 0.6 else \
                len(body) - rng.randint(1, tail)
            breaks += 1
            answer = post_piece(camera, body, cut=cut, reset=breaks % reset_every == 0)
            if answer is not None:
                assert answer["status"] != 0 or answer["bytes_complete"] <= have + size
            continue
        answer = post_piece(camera, body)
        assert answer["status"] == 0, answer
        if last:
            return answer


@pytest.fixture
def fw_camera(camera):
    camera.zqsim("storage", "free", 1 << 30)
    return camera


@pytest.mark.parametrize("seed", range(ROUNDS))
def test_upload_rounds_with_breaks_end_identical(fw_camera, seed):
    data = package(PACKAGE_MB << 20, seed)
    answer = upload_with_breaks(fw_camera, data, random.Random(seed))
    assert answer["complete"] is True and answer["sha1"] == hashlib.sha1(data).hexdigest()
    with open(fw_camera.path("/fwupdate/firmware.zip"), "rb") as f:
        assert f.read() == data
    assert not os.path.exists(fw_camera.path("/fwupdate/firmware.partial"))
    # The camera learns that a verified package waits, and installs it on request.
    assert fw_camera.zqsim("status", "get", 44).stdout.split()[-1] == "1"
    started = ask(fw_camera, "start")
    assert started["status"] == 0 and started["complete"] is True
    assert fw_camera.zqsim("status", "get", 42).stdout.split()[-1] == "11"


@pytest.fixture
def quick_camera(sample_card):
    """A camera whose time limits are scaled down: a body read gives up after 30 s x 0.1."""
    gen = serve_camera(sample_card, env={"ZQ_TIME_SCALE": "0.1"})
    cam = next(gen)
    cam.zqsim("storage", "free", 1 << 30)
    yield cam
    next(gen, None)


def test_stalled_upload_frees_its_worker_and_keeps_what_arrived(quick_camera):
    cam = quick_camera
    data = package(1 << 20, 7)
    body = piece_body(hashlib.sha1(data).hexdigest(), "0", "false", data)
    s = connect(cam)
    s.sendall(head("/zq/zqSoftUpdate", len(body)) + body[:len(body) - 1000])
    t0 = time.monotonic()
    answer = read_answer(s)  # the connection stays open, silent
    s.close()
    assert answer is not None and time.monotonic() - t0 < 20
    # Not accepted: the piece broke off (a new upload's digest is not stored yet).
    assert json.loads(answer[1])["status"] == 3
    p = progress(cam)
    # Everything but the held-back bytes that might have begun the delimiter.
    assert len(data) - 1000 - 100 < p["bytes_complete"] <= len(data) - 1000 + 100
    with open(cam.path("/fwupdate/firmware.partial"), "rb") as f:
        assert f.read() == data[:p["bytes_complete"]]


def test_full_card_answers_and_keeps_the_partial_for_delete(fw_camera):
    assert ask(fw_camera, "progress")["status"] == 0
    fw_camera.zqsim("storage", "free", 367001599)
    assert ask(fw_camera, "progress") == {"status": 12, "message": "Not enough space for update"}
    # "delete" frees space, so it is served even now.
    assert ask(fw_camera, "delete")["status"] == 0


def test_who_may_ask_and_how(fw_camera):
    # The upload's answers are the upload's unit tests; the server decides who and which method.
    cam = fw_camera
    assert ask(cam, "start") == {"status": 10,
                                 "message": "Firmware file was not complete and verified",
                                 "sha1": "", "bytes_complete": 0, "complete": False}
    # Only the camera's users may upload firmware; the tunnel may not.
    assert cam.get("/zq/zqSoftUpdate?request=progress")[0] == 403
    for target in ["/zq/zqSoftUpdate?request=delete", "/zq/zqUpdate"]:
        status, headers, _ = user_get(cam, target, "PUT")
        assert (status, headers["allow"]) == (405, "GET, HEAD, POST"), target
    # The word is read URL-decoded; an empty or overlong one is unknown, a missing one asks
    # for the form.
    assert ask(cam, "pro%67ress")["status"] == 0
    for word in ["", "p" * 100]:
        assert ask(cam, word)["status"] == 1, word
    status, headers, _ = user_get(cam, "/zq/zqSoftUpdate?other=1")
    assert (status, headers["content-type"]) == (200, "text/html")


def test_a_form_request_cut_short_is_not_obeyed(quick_camera):
    cam = quick_camera
    data = package(2000, 4)
    post_piece(cam, piece_body(hashlib.sha1(data).hexdigest(), "0", "false", data))
    # "request=delete" arrives, but the rest of the announced body never does: the word may
    # be the beginning of another one, so it is not taken.
    s = connect(cam)
    s.sendall(head("/zq/zqSoftUpdate", 40, "application/x-www-form-urlencoded") +
              b"request=delete")
    status, body = read_answer(s)
    s.close()
    assert (status, json.loads(body)) == (200, {"status": 2, "message": "Bad parameters"})
    assert progress(cam)["bytes_complete"] == 2000


# The single-request update.

def update_body(data):
    return form([("DirectToSD", "1"), ("sha1", hashlib.sha1(data).hexdigest()),
                 ("update", "Submit")], "fw.zqu", data)


def test_update_waits_for_the_cameras_outcome(fw_camera):
    # The outcomes of the install are the updater's unit test; here the package lands on the
    # card through the server and the camera's answer comes back.
    cam = fw_camera
    cam.zqsim("ota", "mode", "fail", "3", 50)
    data = package(200000, 11)
    status, body = post(cam, "/zq/zqUpdate", update_body(data))
    assert (status, json.loads(body)) == (200, {"status": "1"})
    with open(cam.path("/tmp/fuse_d/MISC/firmware.zqu"), "rb") as f:
        assert f.read() == data


def test_update_broken_post_and_form(fw_camera):
    cam = fw_camera
    misc = cam.path("/tmp/fuse_d/MISC")
    # A POST that breaks off: 500, its temporary file gone, OTA state 8.
    body = update_body(package(100000, 12))
    status, text = post(cam, "/zq/zqUpdate", body, cut=len(body) // 2)
    assert (status, text) == (500, b'{ "Status": "Error reading form data"}\r\n')
    assert cam.zqsim("status", "get", 42).stdout.split()[-1] == "8"
    assert not [n for n in os.listdir(misc) if n.startswith("firmware.zqu")]
    # The form posts back to the daemon's script name (empty here).
    status, headers, page = user_get(cam, "/zq/zqUpdate")
    assert (status, headers["content-type"]) == (200, "text/html")
    assert b'\taction="">\n' in page


# The certificate endpoint.

def make_certificate(tmp_path, name):
    key, cert = tmp_path / f"{name}.key", tmp_path / f"{name}.pem"
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1",
                    "-subj", f"/CN={name}", "-keyout", str(key), "-out", str(cert)],
                   check=True, capture_output=True)
    return cert.read_bytes()


def cert_get(cam, query):
    status, headers, body = cam.get("/zq/zqCert" + query)
    assert status == 200 and headers["content-type"] == "application/json"
    return json.loads(body)


def test_putcert_in_chunks(fw_camera, tmp_path):
    from urllib.parse import quote_plus
    cam = fw_camera
    pem = make_certificate(tmp_path, "client")
    encoded = quote_plus(pem.decode())
    chunks = [encoded[i:i + 500] for i in range(0, len(encoded), 500)]
    for n, chunk in enumerate(chunks):
        answer = cert_get(cam, f"?t=putcert&protocol_version=1&st_SN=C3&type=client&token=tk1"
                               f"&length={len(pem)}"
                               f"&cn={n}&tc={len(chunks)}&cl={len(chunk)}&data={chunk}")
        assert answer["token"] == "tk1"
        assert answer["status"] == ("OK chunk" if n + 1 < len(chunks) else "certificate complete")
    stored = cam.zqsim("cert", "clients").stdout.split()
    assert stored[1] == hashlib.sha1(pem).hexdigest()

    assert cert_get(cam, "")["status"] == "empty query"
