"""The daemon against hostile and slow clients: paths that lead off the card, readers that
stall, sockets that send nothing or dribble, HEAD, requests that are not quite HTTP,
and request smuggling.

Clients from other addresses are loopback sockets bound to 127.0.0.x; on the public port
they are ordinary network clients. The daemon runs with its time-outs scaled down
(ZQ_TIME_SCALE) so that slow-client cases take about a second, not several."""

import http.client
import json
import os
import re
import socket
import threading

import pytest

from conftest import INTERNAL, PUBLIC, serve_camera

SCALE = 0.2  # every time-out of the daemon a fifth of its camera value
# How long a test waits for an answer that a healthy daemon gives at once; only a daemon
# that is stuck takes longer (the time-outs it would be stuck behind are 30 s).
PATIENCE = 10.0
DCIM = "/tmp/fuse_d/DCIM"
HOST = b"Host: 127.0.0.1\r\n"
CLOSE = b"Connection: close\r\n"


@pytest.fixture
def cam(sample_card):
    yield from serve_camera(sample_card, {"ZQ_TIME_SCALE": str(SCALE)})


def client(cam, role=INTERNAL, source="127.0.0.1", rcvbuf=None, timeout=PATIENCE):
    s = socket.socket()
    if rcvbuf is not None:
        s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, rcvbuf)
    s.bind((source, 0))
    s.settimeout(timeout)
    s.connect(("127.0.0.1", cam.ports[role]))
    return s


def until_closed(s):
    """Everything the daemon sends until it closes the connection (a time-out fails)."""
    out = b""
    while True:
        chunk = s.recv(65536)
        if not chunk:
            return out
        out += chunk


def exchange(cam, data, **kw):
    with client(cam, **kw) as s:
        s.sendall(data)
        return until_closed(s)


STATUS_LINE = re.compile(rb"HTTP/1\.[01] (\d{3}) [^\r\n]*\r\n")


def responses(data, heads=()):
    """Splits a byte stream into well-formed HTTP responses: a status line (some of the
    system's own formats give no reason text), a head, and a body framed by Content-Length
    or chunks, or running to the close (last only). The i-th response has no body when i is in `heads` (answers to HEAD). Returns
    [(status, headers, body)]; anything malformed fails."""
    out = []
    while data:
        m = STATUS_LINE.match(data)
        assert m, f"no status line at {data[:80]!r}"
        end = data.index(b"\r\n\r\n", m.end() - 2)
        headers = {}
        for line in data[m.end():end].split(b"\r\n"):
            if line:
                name, value = line.split(b":", 1)
                headers[name.strip().lower().decode()] = value.strip().decode()
        data = data[end + 4:]
        status = int(m.group(1))
        if len(out) in heads or status in (204, 304) or status < 200:
            body = b""
        elif headers.get("transfer-encoding") == "chunked":
            body = b""
            while True:
                size_end = data.index(b"\r\n")
                size = int(data[:size_end], 16)
                body += data[size_end + 2:size_end + 2 + size]
                assert data[size_end + 2 + size:size_end + 4 + size] == b"\r\n"
                data = data[size_end + 4 + size:]
                if size == 0:
                    break
        elif "content-length" in headers:
            n = int(headers["content-length"])
            assert len(data) >= n, "body shorter than its Content-Length"
            body, data = data[:n], data[n:]
        else:
            body, data = data, b""
        out.append((status, headers, body))
    return out


def request(method, target, extra=b"", version=b"HTTP/1.1"):
    host = b"" if extra.startswith(b"Host:") else HOST
    return b"%s %s %s\r\n%s%s\r\n" % (method, target, version, host, extra)


def card(cam, rel):
    return cam.path(f"{DCIM}/{rel}")


# 1. Paths that lead off the card.

@pytest.fixture
def linked_folder(cam):
    """A card folder 105TAVRO that is a symbolic link to a folder outside the card, holding a
    chaptered clip; returns that outside folder."""
    outside = os.path.join(cam.root, "elsewhere")
    os.makedirs(outside)
    for name in ["TAVR0042.MP4", "ZQ010042.MP4", "TAVR0042.THM"]:
        with open(os.path.join(outside, name), "wb") as f:
            f.write(name.encode())
    os.symlink(outside, card(cam, "105TAVRO"))
    return outside


def test_chapter_delete_refuses_a_folder_that_leads_off_the_card(cam, linked_folder):
    reply = exchange(cam, request(b"GET", b"/zq/zqMediaOp?p=delcv&fd=105&fn=0042&tc=2&c=0",
                                  CLOSE), role=PUBLIC, source="127.0.0.2")
    [(status, _, body)] = responses(reply)
    answer = json.loads(body)
    assert status == 200 and answer["success"] == "0" and answer["status"] == "4", answer
    assert sorted(os.listdir(linked_folder)) == ["TAVR0042.MP4", "TAVR0042.THM", "ZQ010042.MP4"]
    for name in os.listdir(linked_folder):
        with open(os.path.join(linked_folder, name), "rb") as f:
            assert f.read() == name.encode()


def test_every_route_refuses_paths_that_lead_off_the_card(cam, linked_folder):
    os.symlink(os.path.join(linked_folder, "TAVR0042.MP4"), card(cam, "100TAVRO/ZQ010077.MP4"))
    status, _, body = cam.get("/zq/zqMediaOp?p=del&f=105TAVRO/TAVR0042.MP4")
    assert json.loads(body)["status"] == "3"
    status, _, body = cam.get("/zq/zqMediaOp?p=del&f=100TAVRO/ZQ010077.MP4")
    assert json.loads(body)["status"] == "3"
    # A chapter file that is a link out of the card stops the whole operation.
    status, _, body = cam.get("/zq/zqMediaOp?p=delcv&fd=100&fn=0077&tc=2&c=1")
    assert json.loads(body)["status"] in ("4", "5")
    assert os.path.islink(card(cam, "100TAVRO/ZQ010077.MP4"))
    assert os.path.exists(os.path.join(linked_folder, "TAVR0042.MP4"))

    for p in ["105TAVRO/TAVR0042.MP4", "100TAVRO/ZQ010077.MP4"]:
        assert cam.get(f"/zq/zqMediaMetadata?p={p}&t=zqmf")[:3:2] == (400, b"{}\n"), p
    for target in ["/videos/DCIM/105TAVRO/TAVR0042.MP4", "/videos/DCIM/100TAVRO/ZQ010077.MP4"]:
        assert cam.get(target)[0] == 403, target


def test_listings_show_nothing_of_what_links_lead_to_off_the_card(cam, linked_folder):
    secret = os.path.join(cam.root, "secret.bin")
    with open(secret, "wb") as f:
        f.write(b"x" * 777_777)
    os.utime(secret, (500_000_000, 500_000_000))  # November 1985
    os.symlink(secret, card(cam, "100TAVRO/ZQ010078.MP4"))
    os.symlink("ZQ010001.MP4", card(cam, "100TAVRO/ZQ010079.MP4"))  # inside: listed
    status, _, body = cam.get("/videos/DCIM/100TAVRO/")
    assert status == 200
    assert b"ZQ010078" not in body and b"759.5k" not in body and b"1985" not in body
    assert b"ZQ010079.MP4" in body
    status, _, body = cam.get("/videos/DCIM/")
    assert status == 200 and b"100TAVRO" in body and b"105TAVRO" not in body


# 2. A slow reader must not stall the other downloads.

def test_a_stalled_reader_costs_only_its_own_worker(cam):
    big = card(cam, "100TAVRO/ZQ010003.MP4")
    with open(big, "wb") as f:
        f.truncate(64 << 20)
    slow = client(cam, rcvbuf=4096)
    slow.sendall(request(b"GET", b"/videos/DCIM/100TAVRO/ZQ010003.MP4"))
    assert slow.recv(4096).startswith(b"HTTP/1.1 200 OK")
    # The sender fills the socket buffers and then waits in a write to this client: its
    # progress lines stop growing.
    seen = ""
    while True:
        lines = [line for line in cam.stdout().splitlines() if "ZQ010003.MP4: " in line]
        if lines and lines[-1] == seen:
            break
        seen = lines[-1] if lines else ""
        threading.Event().wait(0.3)
    try:
        for name in ["TAVR0003.JPG", "ZQ010001.MP4"]:
            status, _, body = cam.get(f"/videos/DCIM/100TAVRO/{name}")
            with open(card(cam, f"100TAVRO/{name}"), "rb") as f:
                assert (status, body) == (200, f.read()), name
    finally:
        slow.close()


# 3 and 4. Sockets that send nothing, dribble their head or their body.

class Dribbler:
    """Connections that send `first` and then, unless `gap` is None, one byte every `gap`
    seconds until stopped."""

    def __init__(self, cam, sources, first, gap=0.1, role=PUBLIC, refusable=False):
        self.socks = []
        for src in sources:
            try:
                self.socks.append(client(cam, role=role, source=src))
            except ConnectionResetError:
                # With `refusable`, the daemon may refuse at once (one address past its share of
                # the workers); on a busy machine that reset can come before connect() returns.
                if not refusable:
                    raise
        self.stop = threading.Event()
        for s in self.socks:
            try:
                s.sendall(first)
            except OSError:
                pass
        self.thread = threading.Thread(target=self.run, args=(gap,), daemon=True)
        self.thread.start()

    def run(self, gap):
        if gap is None:
            return
        while not self.stop.wait(gap):
            for s in self.socks:
                try:
                    s.send(b"x")
                except OSError:
                    pass

    def close(self):
        self.stop.set()
        self.thread.join()
        for s in self.socks:
            s.close()


def version_answered(cam, source="127.0.0.1", role=INTERNAL):
    reply = exchange(cam, request(b"GET", b"/zq/version", CLOSE),
                     source=source, role=role)
    [(status, _, body)] = responses(reply)
    return status == 200 and b"CivetWeb version" in body


@pytest.mark.parametrize("first,gap", [
    (b"", None),  # connects and sends nothing
    (b"GET /zq/version HTTP/1.1\r\nX-Slow: ", 0.1),  # a head that never ends
    (b"POST /zq/version HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 1000000000\r\n\r\n",
     0.1),  # a body that never ends
], ids=["idle", "head", "body"])
def test_slow_clients_from_many_addresses_are_cut(cam, first, gap):
    # One connection from each of eight addresses: as many as the daemon has workers.
    d = Dribbler(cam, [f"127.0.0.{i}" for i in range(2, 10)], first, gap)
    try:
        assert version_answered(cam)
    finally:
        d.close()


def test_one_address_cannot_take_every_worker(cam):
    d = Dribbler(cam, ["127.0.0.2"] * 24, b"GET /zq/version HTTP/1.1\r\nX-Slow: ", gap=0.05,
                refusable=True)
    try:
        assert version_answered(cam)
        assert version_answered(cam, source="127.0.0.3", role=PUBLIC)
    finally:
        d.close()
    assert "from 127.0.0.2" in cam.stderr()  # the refusals are logged


class KeptAlive:
    """`count` loopback clients that each ask for the version on one kept-alive connection
    every `gap` seconds (opening a new one when the daemon ends theirs), until stopped."""

    def __init__(self, cam, count, gap):
        self.cam, self.gap = cam, gap
        self.stop = threading.Event()
        self.answered = threading.Semaphore(0)  # released after each client's first answer
        self.threads = [threading.Thread(target=self.run, daemon=True) for _ in range(count)]
        for t in self.threads:
            t.start()

    def run(self):
        first = True
        while not self.stop.is_set():
            conn = self.cam.connection(timeout=PATIENCE)
            try:
                while True:
                    conn.request("GET", "/zq/version")
                    conn.getresponse().read()
                    if first:
                        self.answered.release()
                        first = False
                    if self.stop.wait(self.gap):
                        return
            except (OSError, http.client.HTTPException):
                continue  # the daemon ended this connection: open another
            finally:
                conn.close()

    def close(self):
        self.stop.set()
        for t in self.threads:
            t.join()


def test_kept_alive_clients_that_keep_asking_make_room_for_a_new_one(cam):
    # As many clients as the daemon has workers, each asking again well within the time after
    # which an idle connection is cut: every worker stays held, and a new client is served
    # only because a kept-alive connection between two requests yields its worker to it.
    k = KeptAlive(cam, 8, gap=0.1)
    try:
        for _ in range(8):
            assert k.answered.acquire(timeout=PATIENCE)
        for _ in range(3):
            assert version_answered(cam)
    finally:
        k.close()


# 5. HEAD.

# One answer of each kind: fixed, chunked, relayed and error bodies of routes, and the file
# sender's file, listing, redirect and error page.
HEAD_TARGETS = [
    b"/zq/version",
    b"/zq/zqMediaList?f=videophoto",
    b"/zq/zqMediaMetadata?p=100TAVRO/ZQ010001.MP4&t=tracks&trackNames=video",
    b"/zq/zqMediaMetadata?p=100TAVRO/TAVR9999.JPG&t=zqmf",
    b"/zq/zqCamera",
    b"/videos/DCIM/100TAVRO/ZQ010001.MP4",
    b"/videos/DCIM/100TAVRO/",
    b"/videos/DCIM/100TAVRO",
    b"/no/such/file",
]
SAME_HEAD = ("content-type", "content-length", "transfer-encoding", "content-range",
             "last-modified", "etag", "location")


def test_head_answers_the_head_of_get_without_a_body(cam):
    for target in HEAD_TARGETS:
        # HEAD then GET on one connection: a body after the first head would be read as the
        # start of the second answer.
        reply = exchange(cam, request(b"HEAD", target) + request(b"GET", target, CLOSE))
        head, get = responses(reply, heads=(0,))
        assert head[0] == get[0], target
        for name in SAME_HEAD:
            assert head[1].get(name) == get[1].get(name), (target, name)


def test_head_of_an_extraction_does_not_extract(cam):
    counter = cam.path("/run/zqsim/drop_caches")
    before = os.path.getsize(counter) if os.path.exists(counter) else 0
    target = b"/zq/zqMediaMetadata?p=100TAVRO/ZQ010001.MP4&t=tracks&trackNames=video"
    [(status, headers, _)] = responses(exchange(cam, request(b"HEAD", target,
                                                             CLOSE)),
                                       heads=(0,))
    assert status == 200 and headers["transfer-encoding"] == "chunked"
    # Every extraction ends by dropping the page cache; the route is answered in order, so
    # once the next request of the route is answered a drop would have happened.
    cam.get("/zq/zqMediaMetadata?p=100TAVRO/TAVR0003.JPG")
    assert (os.path.getsize(counter) if os.path.exists(counter) else 0) == before


# 6. Requests the library answers itself must get well-formed answers too.

WELL_FORMED = [
    (request(b"GET", b"/zq/version", b"Upgrade: websocket\r\nConnection: Upgrade\r\n"
             b"Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n"),
     {200}),
    (request(b"GET", b"/videos/DCIM/100TAVRO/", b"Upgrade: websocket\r\nConnection: Upgrade\r\n"),
     {200}),
    (request(b"GET", b"/zq/version", version=b"http/1.1"), {400}),
    (request(b"GET", b"/zq/version", version=b"HTTP/1.1x"), {400, 505}),
    (request(b"GET", b"/zq/version", version=b"HTTP/2.0"), {505}),
    (request(b"OPTIONS", b"*", CLOSE), {200}),
    (request(b"GET", b"http://host/zq/version", CLOSE), {200, 400}),
    (request(b"GET", b"/zq/version", b"Host: evil.example\r\n" + CLOSE), {403}),
    (request(b"HEAD", b"/no/such/file", CLOSE), {404}),
    (request(b"GET", b"/videos/DCIM/%zz%ZZ", CLOSE), {404}),
    (request(b"GET", b"/", b"X-Big: " + b"b" * 20000 + b"\r\n"), {400}),  # past the buffer
    (b"\x00\x01\x02\x03\r\n\r\n", {400}),
]


def test_every_answer_is_well_formed(cam):
    for raw, statuses in WELL_FORMED:
        reply = exchange(cam, raw)
        heads = (0,) if raw.startswith(b"HEAD") else ()
        got = responses(reply, heads=heads)
        assert len(got) == 1 and got[0][0] in statuses, (raw[:60], reply[:300])
        assert re.match(rb"HTTP/1\.1 \d{3} [A-Za-z]{2}", reply), reply[:60]  # with its reason


def test_absolute_form_for_this_server_is_served(cam):
    target = b"http://127.0.0.1:%d/zq/version" % cam.ports[INTERNAL]
    [(status, _, body)] = responses(exchange(cam, request(b"GET", target,
                                                          CLOSE)))
    assert status == 200 and b"CivetWeb version" in body


def test_empty_lines_around_requests_are_ignored(cam):
    for raw in [b"\r\n\r\n" + request(b"GET", b"/zq/version", CLOSE),
                request(b"GET", b"/zq/version") + b"\r\n"]:  # then nothing more
        assert [g[0] for g in responses(exchange(cam, raw))] == [200], raw


# 7 and 8. A NUL in a path, request smuggling: 400 and the connection closed.

def test_ambiguous_requests_get_400_and_close(cam):
    for raw in [
        request(b"GET", b"/videos/DCIM/100TAVRO/TAVR0003.JPG%00.txt"),
        request(b"GET", b"/zq/version%00"),
        request(b"POST", b"/zq/version", b"Content-Length: 5\r\nContent-Length: 40\r\n") +
        b"hello" + request(b"GET", b"/zq/version"),
        request(b"POST", b"/zq/version", b"Content-Length: 5\r\nTransfer-Encoding: chunked\r\n") +
        b"0\r\n\r\n" + request(b"GET", b"/zq/version"),
        request(b"POST", b"/zq/version", b"Transfer-Encoding: gzip, chunked\r\n") + b"0\r\n\r\n",
    ]:
        # No "Connection: close": the daemon closes by itself, so reading to the end returns.
        assert [g[0] for g in responses(exchange(cam, raw))] == [400], raw
