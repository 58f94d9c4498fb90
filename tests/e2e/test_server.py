"""The daemon as a server: start-up, stop, routes, downloads, the busy rule, bad requests."""

import email.utils
import os
import re
import signal
import socket
import time

import pytest

from conftest import INTERNAL, PUBLIC

CLIP = "/videos/DCIM/100TAVRO/ZQ010001.MP4"
PROXY = "/videos/DCIM/100TAVRO/ZQ010001.LRV"
BUSY_TEXT = b"File temporarily unavailable while recording or download paused"


def card_bytes(camera, name):
    with open(camera.path("/tmp/fuse_d/DCIM/100TAVRO/" + name), "rb") as f:
        return f.read()


def test_startup_prints_workers_and_policy_table(camera):
    out = camera.stdout()
    assert "Using extended memory configuration 8 threads" in out  # default model 58
    assert "\nPOLICIES\n" in out
    assert "== zqTunnel ==\nSubscribers:  /modkit /zq/zqModkit" in out
    assert "INTERNAL_CONNECTION_8000 zqTunnel" in out
    assert "error logging only" in camera.stderr()


def test_low_memory_model_and_extended_logging(bare_camera):
    bare_camera.zqsim("identity", "set", "model_number", "57")
    bare_camera.zqsim("status", "set", "123", str(0x800))
    bare_camera.start()
    assert "Using low memory configuration 5 threads" in bare_camera.stdout()
    assert "Extended logging on" in bare_camera.stderr()
    assert bare_camera.stop()[0] == 0


@pytest.mark.parametrize("sig", [signal.SIGTERM, signal.SIGINT])
def test_signal_stops_within_about_a_second(bare_camera, sig):
    bare_camera.start()
    # An idle keep-alive connection must not hold the stop up.
    conn = bare_camera.connection()
    conn.request("GET", "/zq/version")
    conn.getresponse().read()
    status, seconds = bare_camera.stop(sig)
    conn.close()
    assert status == 0
    assert seconds < 2.0


def test_running_download_finishes_before_stop(bare_camera):
    big = bare_camera.path("/tmp/fuse_d/DCIM/100TAVRO/ZQ010003.MP4")
    with open(big, "wb") as f:
        f.truncate(64 << 20)
    bare_camera.start()
    conn = bare_camera.connection()
    conn.request("GET", "/videos/DCIM/100TAVRO/ZQ010003.MP4")
    r = conn.getresponse()
    first = r.read(1 << 20)
    bare_camera.proc.send_signal(signal.SIGTERM)
    rest = r.read()
    assert len(first) + len(rest) == 64 << 20
    assert bare_camera.proc.wait(10) == 0


def test_version_and_turbo(camera):
    status, headers, body = camera.get("/zq/version?anything=1")
    assert status == 200 and body == b'{ "CivetWeb version": "1.11" }\n'
    assert headers["content-type"] == "application/json"

    status, _, body = camera.get("/zq/zqTurbo?p=1")
    assert (status, body) == (200, b'{"turbo":"1"}\n\n')
    assert camera.zqsim("status", "get", "138").stdout.strip() == "1"
    status, _, body = camera.get("/zq/zqTurbo?x=2&p=0")
    assert (status, body) == (200, b'{"turbo":"0"}\n\n')
    assert camera.zqsim("status", "get", "138").stdout.strip() == "0"


def test_whole_download_head_and_types(camera):
    status, headers, body = camera.get(CLIP)
    assert status == 200
    assert body == card_bytes(camera, "ZQ010001.MP4")
    assert headers["content-type"] == "video/mp4"
    assert headers["accept-ranges"] == "bytes"
    assert int(headers["content-length"]) == len(body)

    status, headers, body = camera.request("HEAD", PROXY)
    assert status == 200 and body == b""
    assert headers["content-type"] == "video/mp4"  # the proxy is an MP4 too
    assert int(headers["content-length"]) == len(card_bytes(camera, "ZQ010001.LRV"))

    # The document root's index: the camera's page, its scripts served as JavaScript.
    assert b'<script type="module" src="js/main.js">' in camera.get("/")[2]
    status, headers, _ = camera.get("/js/main.js")
    assert status == 200 and headers["content-type"] == "application/javascript"


def test_rewrites_listings_and_hidden_names(camera):
    # The daemon's own configuration: which trees it serves where, which names it hides.
    os.makedirs(camera.path("/tmp/fuse_i/DCIM/100TAVRO"))
    with open(camera.path("/tmp/fuse_i/DCIM/100TAVRO/TAVR0001.JPG"), "wb") as f:
        f.write(b"internal")
    os.makedirs(camera.path("/tmp/fuse_d/MISC/logs"))
    with open(camera.path("/tmp/fuse_d/MISC/logs/camera.log"), "wb") as f:
        f.write(b"log line\n")
    assert camera.get("/videos2/DCIM/100TAVRO/TAVR0001.JPG")[2] == b"internal"
    assert camera.get("/logs/camera.log")[2] == b"log line\n"
    assert camera.get("/videos/DCIMx/100TAVRO/ZQ010001.MP4")[0] == 404  # only begins like one

    folder = camera.path("/tmp/fuse_d/DCIM/100TAVRO")
    os.makedirs(folder + "/SECRET.THM")
    for name in ["SECRET.THM/inside.JPG", "a<b>.JPG"]:
        with open(f"{folder}/{name}", "wb") as f:
            f.write(b"x")
    assert camera.get("/videos/DCIM/100TAVRO/SECRET.THM/inside.JPG")[0] == 404
    # Sorted by name, hidden names left out, names escaped in the text and encoded in links.
    listing = camera.get("/videos/DCIM/100TAVRO/")[2]
    assert b"<title>Index of /videos/DCIM/100TAVRO/</title>" in listing and b"THM" not in listing
    assert listing.index(b">ZQ010001.LRV</a>") < listing.index(b">ZQ010001.MP4</a>") < \
        listing.index(b'<a href="a%3Cb%3E.JPG">a&lt;b&gt;.JPG</a>')


def file_exchange(camera, method, target, extra=b"", role=INTERNAL):
    """The file sender's answers to `method target` asked twice on one connection, first kept
    alive, then with "Connection: close"; the dates (which vary) masked as "Date: D"."""
    ask = b"%s %s HTTP/1.1\r\nHost: localhost\r\n%s" % (method, target.encode(), extra)
    reply = camera.raw(ask + b"\r\n" + ask + b"Connection: close\r\n\r\n", role=role)
    return re.sub(rb"\r\nDate: [^\r]*\r\n", b"\r\nDate: D\r\n", reply)


def both(answer):
    """`answer(connection)` for a kept-alive connection, then for one that closes."""
    return answer(b"keep-alive") + answer(b"close")


def test_file_answers_keep_their_bytes(camera):
    """Every head the file sender writes, byte for byte, for GET and HEAD, kept alive or not."""
    name = "TAVR0003.JPG"
    path = "/videos/DCIM/100TAVRO/" + name
    body = card_bytes(camera, name)
    st = os.stat(camera.path("/tmp/fuse_d/DCIM/100TAVRO/" + name))
    n = len(body)
    etag = b'"%x.%d"' % (int(st.st_mtime), n)
    modified = email.utils.formatdate(int(st.st_mtime), usegmt=True).encode()
    validators = b"Date: D\r\nLast-Modified: %s\r\nEtag: %s\r\n" % (modified, etag)

    def whole(conn):
        return (b"HTTP/1.1 200 OK\r\n" + validators + b"Content-Type: image/jpeg\r\n"
                b"Content-Length: %d\r\nAccept-Ranges: bytes\r\nCache-Control: max-age=3600"
                b"\r\nConnection: %s\r\n\r\n" % (n, conn))

    def part(conn):
        return (b"HTTP/1.1 206 Partial Content\r\n" + validators + b"Content-Type: image/jpeg\r\n"
                b"Content-Length: 100\r\nAccept-Ranges: bytes\r\nCache-Control: max-age=3600"
                b"\r\nContent-Range: bytes 100-199/%d\r\nConnection: %s\r\n\r\n" % (n, conn))

    def not_modified(conn):
        return b"HTTP/1.1 304 Not Modified\r\n" + validators + b"Connection: %s\r\n\r\n" % conn

    def unsatisfiable(conn):
        return (b"HTTP/1.1 416 Range Not Satisfiable\r\nDate: D\r\nContent-Range: bytes */%d"
                b"\r\nContent-Length: 0\r\nConnection: %s\r\n\r\n" % (n, conn))

    def moved(conn):
        return (b"HTTP/1.1 301 Moved Permanently\r\nLocation: /videos/DCIM/100TAVRO/?x=1&y\r\n"
                b"Content-Length: 0\r\nConnection: %s\r\n\r\n" % conn)

    for method in [b"GET", b"HEAD"]:
        get = method == b"GET"
        assert file_exchange(camera, method, path) == both(
            lambda c: whole(c) + (body if get else b"")), method
        assert file_exchange(camera, method, path, b"Range: bytes=100-199\r\n") == both(
            lambda c: part(c) + (body[100:200] if get else b"")), method
        for condition in [b"If-None-Match: " + etag, b"If-Modified-Since: " + modified]:
            assert file_exchange(camera, method, path, condition + b"\r\n") == both(
                not_modified), (method, condition)
        assert file_exchange(camera, method, path, b"Range: bytes=%d-\r\n" % n) == both(
            unsatisfiable), method
        assert file_exchange(camera, method, "/videos/DCIM/100TAVRO?x=1&y") == both(moved), method

        # A listing: its head, and a body of the announced length.
        reply = file_exchange(camera, method, "/videos/DCIM/100TAVRO/")
        for conn in [b"keep-alive", b"close"]:
            m = re.match(rb"HTTP/1\.1 200 OK\r\nDate: D\r\nContent-Type: text/html; "
                         rb"charset=utf-8\r\nContent-Length: (\d+)\r\nCache-Control: no-cache, "
                         rb"no-store, must-revalidate, private, max-age=0\r\nConnection: "
                         + conn + rb"\r\n\r\n", reply)
            assert m, (method, reply[:400])
            size = int(m.group(1)) if get else 0
            listing = reply[m.end():m.end() + size]
            if get:
                assert listing.startswith(b"<!DOCTYPE html>") and b"ZQ010001.MP4" in listing
            reply = reply[m.end() + size:]
        assert reply == b""

    # A range list, a stale or any tag, a stale If-Range: what each gets.
    for headers, status, sent in [
            ({"Range": "bytes=1-2,5-6"}, 200, body), ({"If-None-Match": "*"}, 304, b""),
            ({"If-None-Match": '"0.0"'}, 200, body),
            ({"Range": "bytes=100-199", "If-Range": etag.decode()}, 206, body[100:200]),
            ({"Range": "bytes=100-199", "If-Range": '"0.0"'}, 200, body)]:
        assert camera.get(path, headers=headers)[::2] == (status, sent), headers

    # Error pages: the server's own, kept alive as any answer.
    os.symlink("/etc/hostname", camera.path("/tmp/fuse_d/DCIM/100TAVRO/LINK0001.JPG"))
    for target, status, reason, text, role in [
            ("/videos/DCIM/100TAVRO/NONE0001.JPG", 404, b"Not Found", b"Not found", INTERNAL),
            (path, 403, b"Forbidden", b"Connection forbidden", PUBLIC),  # the access policy's
            # A hidden name, in any case.
            ("/videos/DCIM/100TAVRO/zq010001.thm", 404, b"Not Found", b"Not found", INTERNAL),
            ("/videos/DCIM/100TAVRO/LINK0001.JPG", 403, b"Forbidden",
             b"Access outside the served tree", INTERNAL),
            ("/videos/DCIM/../DCIM/100TAVRO/" + name, 400, b"Bad Request", b"Bad request",
             INTERNAL)]:
        for method in [b"GET", b"HEAD"]:
            page = b"Error %d: %s\n%s" % (status, reason, text)

            def error(conn):
                return (b"HTTP/1.1 %d %s\r\nCache-Control: no-cache, no-store, must-revalidate, "
                        b"private, max-age=0\r\nExpires: 0\r\nPragma: no-cache\r\nContent-Type: "
                        b"text/plain; charset=utf-8\r\nDate: D\r\nContent-Length: %d\r\n"
                        b"Connection: %s\r\n\r\n%s" % (status, reason, len(page), conn,
                                                      page if method == b"GET" else b""))
            assert file_exchange(camera, method, target, role=role) == both(error), (method, target)
    camera.zqsim("status", "set", 3, 1)
    page = b"Error 503: Service Unavailable\n" + BUSY_TEXT
    assert file_exchange(camera, b"GET", path).endswith(
        b"Content-Length: %d\r\nConnection: close\r\n\r\n%s" % (len(page), page))
    assert camera.get("/videos/DCIM/100TAVRO/")[0] == 200  # listings are still given
    camera.zqsim("status", "set", 3, 0)


def test_nothing_outside_the_served_trees(camera):
    secret = camera.path("/tmp/secret.txt")
    with open(secret, "w") as f:
        f.write("secret")
    for target in ["/videos/DCIM/../../secret.txt", "/videos/DCIM/%2e%2e/%2E%2E/secret.txt",
                   "/videos/DCIM/100TAVRO/..%2f..%2f..%2fsecret.txt", "/../../../etc/passwd"]:
        reply = camera.raw(f"GET {target} HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                           "Connection: close\r\n\r\n".encode())
        status = int(reply.split(b" ", 2)[1])
        assert 400 <= status < 500, (target, reply[:80])
        assert b"secret" not in reply.split(b"\r\n\r\n", 1)[-1]


def test_download_stops_when_the_camera_becomes_busy(camera):
    big = camera.path("/tmp/fuse_d/DCIM/100TAVRO/ZQ010003.MP4")
    size = 256 << 20
    with open(big, "wb") as f:
        f.truncate(size)
    with socket.create_connection(("127.0.0.1", camera.ports[INTERNAL]), 10) as s:
        s.sendall(b"GET /videos/DCIM/100TAVRO/ZQ010003.MP4 HTTP/1.1\r\nHost: localhost\r\n\r\n")
        got = s.recv(1 << 20)
        assert got.startswith(b"HTTP/1.1 200 OK")
        # Some of the body first, so that a chunk has gone out (and its progress line).
        while len(got) <= got.find(b"\r\n\r\n") + 4:
            more = s.recv(1 << 20)
            assert more
            got += more
        camera.zqsim("status", "set", 3, 1)
        t0 = time.monotonic()
        total = len(got)
        while True:
            chunk = s.recv(1 << 20)
            if not chunk:
                break
            total += len(chunk)
        assert total < size
        assert time.monotonic() - t0 < 5  # cut at once, not after a time-out
    camera.zqsim("status", "set", 3, 0)
    assert camera.get("/zq/version")[0] == 200
    assert "Uploading /videos/DCIM/100TAVRO/ZQ010003.MP4: " in camera.stdout()
