"""The legacy command relay ("/modkit", "/zq/zqModkit", "/zq/zqCamera") end to end.

Most tests play the network service themselves (zqmq.NetService owns "/to_zqnet"); the last
group runs against `zqsim serve`. The exchange itself (stale and shared mailboxes, late, bad
and undeliverable replies) is the message library's unit tests; here the relay's answers.
"""

import threading

import pytest

import zqmq
from zqmq import CMD, CMDARG, DST, END, SRC

HEAD = (b"HTTP/1.1 %s\r\n"
        b"Allow: GET \r\n"
        b"Accept-Ranges: bytes\r\n"
        b"Cache-Control: no-cache\r\n"
        b"Cache-Control: no-store\r\n"
        b"Connection: Keep-Alive\r\n"
        b"Server: Tavro Web Server v1.1\r\n"
        b"Content-Type: %s\r\n"
        b"Content-Length: %d\r\n"
        b"\r\n")


def legacy(status, ctype, body):
    return HEAD % (status, ctype, len(body)) + body


def get_raw(camera, target):
    return camera.raw(f"GET {target} HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                      "Connection: close\r\n\r\n".encode())


@pytest.fixture
def relay(bare_camera):
    """A daemon without `zqsim serve`: the test owns "/to_zqnet"."""
    yield bare_camera
    if bare_camera.proc is not None:
        assert not zqmq.exists(f"/to_mkcgi{bare_camera.proc.pid}", bare_camera.root), \
            "reply mailbox left behind"


@pytest.fixture
def start(relay):
    """start(answer, scale=None, maxmsg=10): the test's network service answering with
    `answer` (none when None), then the daemon (time-outs scaled by `scale`)."""
    services = []

    def run(answer, scale=None, maxmsg=10):
        if scale is not None:
            relay.env["ZQ_TIME_SCALE"] = str(scale)
        service = zqmq.NetService(relay.root, answer, maxmsg=maxmsg) if answer else None
        if service:
            services.append(service)
        relay.start(sim=False)
        return service

    yield run
    for service in services:
        service.close()


def ok(rsparg):
    return lambda req: [zqmq.response(req, rsparg)]


def test_message_sent_for_each_form(relay, start):
    result = b"\x00" + bytes(range(256)) * 5  # comes back whole, 1281 bytes
    service = start(ok(result))
    src = f"/to_mkcgi{relay.proc.pid}".encode()
    for target, cmd, arg, dst in [
        ("/modkit/XY?p=%2501&t=7", b"XY", b"\x01", b"/to_zqnet"),
        ("/zq/zqModkit/AB", b"AB", b"", b"/to_zqnet"),
        ("/zq/zqCamera?cmd=XY&p=%2501", b"XY", b"\x01", b"/to_camera"),
        ("/zq/zqCamera?cmd=X", b"X\x00", b"", b"/to_camera"),     # one letter and a zero byte
        ("/modkit?p=%2501", b"\x00\x00", b"\x01", b"/to_zqnet"),  # no command: two zero bytes
        ("/modkit/XY?p=a%2520b", b"XY", b"a b", b"/to_zqnet"),
    ]:
        service.requests.clear()
        reply = get_raw(relay, target)
        assert reply == legacy(b"200 OK", b"application/octet-stream", result), target
        [request] = service.requests
        assert zqmq.parse(request) == (2, [(CMD, cmd), (CMDARG, arg), (SRC, src), (DST, dst),
                                           (END, b"")]), target


def test_failed_or_empty_result_answers_404_with_the_result_bytes(relay, start):
    service = start(ok(b"\x00"))
    for rsparg in [b"\x02oops", None, b""]:
        service.answer = lambda req, rsparg=rsparg: [zqmq.response(req, rsparg)]
        assert get_raw(relay, "/modkit/XY") == legacy(
            b"404 Not Found", b"text/plain", rsparg or b""), rsparg


def test_silent_network_service_times_out(relay, start):
    service = start(lambda req: [], scale=0.1)
    assert get_raw(relay, "/modkit/XY") == legacy(
        b"500 Internal Server Error", b"text/plain", b"Server error: RX timeout.")
    # The daemon goes on serving: the next request is answered normally.
    service.answer = ok(b"\x00")
    assert relay.get("/modkit/XY")[0] == 200


def test_missing_network_service_answers_tx_error(relay, start):
    zqmq.unlink("/to_zqnet", relay.root)
    start(None)
    assert get_raw(relay, "/zq/zqCamera?cmd=XY") == legacy(
        b"500 Internal Server Error", b"text/plain", b"Server error: TX mbox will not open.")


def _truncated(req):
    return zqmq.response(req, b"\x00")[:-3]


def test_invalid_reply_is_an_error_answer_not_a_crash(relay, start):
    service = start(ok(b"\x00"))
    # Each way a reply can be malformed is the message library's unit test; here what the
    # client gets, and that the daemon serves on.
    for damage in [_truncated, lambda req: b"x"]:
        service.answer = lambda req, damage=damage: [damage(req)]
        assert get_raw(relay, "/modkit/XY") == legacy(
            b"500 Internal Server Error", b"text/plain", b"Server error: RX message invalid.")
        service.answer = ok(b"\x00")
        assert relay.get("/modkit/XY")[0] == 200
    assert relay.stderr().count("DMSGERR") >= 2
    assert relay.stop()[0] == 0


def test_modkit_and_camera_requests_never_share_the_mailbox(relay, start):
    # Each reply names its own request's command, so a mixed-up mailbox shows at once.
    start(lambda req: [zqmq.response(req, b"\x00" + zqmq.first(zqmq.parse(req)[1], CMD))])
    results = {}

    def run(target, key):
        results[key] = [relay.get(target)[2] for _ in range(10)]

    threads = [threading.Thread(target=run, args=("/modkit/AA", "AA")),
               threading.Thread(target=run, args=("/zq/zqCamera?cmd=BB", "BB")),
               threading.Thread(target=run, args=("/zq/zqModkit/CC", "CC"))]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    for key in ("AA", "BB", "CC"):
        assert results[key] == [b"\x00" + key.encode()] * 10
    assert "Shared Mbox" not in relay.stderr()


# Against the simulated camera processes of `zqsim serve`.

def test_simulated_camera_answers_through_the_network_service(camera):
    status, headers, body = camera.get("/zq/zqCamera?cmd=XY&p=%2501")
    assert status == 200
    assert headers["content-type"] == "application/octet-stream"
    assert body == b"\x00\x01"  # the simulated camera process echoes the argument after 0
    log = camera.zqsim("net", "log").stdout.splitlines()
    assert log == ['{"cat":2,"cmd":"XY","cmdarg":"01","src":"/to_mkcgi%d","dst":"/to_camera"}'
                   % camera.proc.pid]


def test_zqsim_serve_owns_its_mailboxes_alone_and_removes_them(camera):
    assert zqmq.exists("/to_zqnet", camera.root) and zqmq.exists("/to_camera", camera.root)
    second = camera.zqsim("serve", check=False)
    assert second.returncode != 0 and "another zqsim serve" in second.stderr
    assert camera.get("/modkit/XY")[0] == 200  # the first one still serves
    assert camera.stop_sim() == 0
    assert not zqmq.exists("/to_zqnet", camera.root)
    assert not zqmq.exists("/to_camera", camera.root)
