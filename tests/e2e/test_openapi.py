"""The Open API under /tavro end to end, for what needs real processes: the streaming helper
is started, refused a second time, and stopped (also when it dies on its own or the daemon
exits). Each endpoint's answers are checked against the published document in
test_openapi_document.py; the commands they send are the route's and libraries' unit tests."""

import json
import os
import threading

import pytest


EMPTY = b"{}\n"


def stream_events(camera):
    out = camera.zqsim("stream", "log").stdout
    return [json.loads(line) for line in out.splitlines()]


def wait_for_event(camera, event, count=1):
    """Polls the helper's log until `event` shows `count` times (a helper hung up before it
    listens would just end, which is not what these tests are about)."""
    for _ in range(1000):
        if sum(e["event"] == event for e in stream_events(camera)) >= count:
            return
        threading.Event().wait(0.01)
    raise AssertionError(f"no {event} in {stream_events(camera)}")


def test_paths_no_endpoint_serves_answer_404(camera):
    # Which paths the handler serves is its unit test; here the server hands it the prefix.
    for path in ["/tavro", "/tavro/nothing"]:
        status, headers, body = camera.get(path)
        assert (status, body) == (404, EMPTY), path
        assert headers["content-type"] == "application/json"


def test_stream_starts_once_and_stops(camera):
    camera.zqsim("stream", "install")
    camera.zqsim("stream", "clear")
    assert camera.get("/tavro/camera/stream/start")[0::2] == (200, EMPTY)
    wait_for_event(camera, "start")
    assert camera.get("/tavro/camera/stream/start")[0::2] == (409, EMPTY)
    # The client's address goes to camera status 142.
    assert camera.zqsim("status", "get", 142).stdout.strip() == "127.0.0.1"
    assert camera.get("/tavro/camera/stream/stop?x")[0::2] == (400, EMPTY)
    assert camera.get("/tavro/camera/stream/stop")[0::2] == (200, EMPTY)
    events = stream_events(camera)
    assert events[0]["event"] == "start" and events[0]["argv"] == ["zqStreamVerse", "-m", "1"]
    assert events[-1]["event"] == "exit" and events[-1]["reason"] == "hangup"
    # Stopped and reaped: it can start again.
    assert camera.get("/tavro/camera/stream/start")[0] == 200
    assert camera.get("/tavro/camera/stream/stop")[0] == 200


def test_stream_helper_that_dies_on_its_own_does_not_block_a_start(camera):
    camera.zqsim("stream", "install")
    camera.zqsim("stream", "mode", "die", 0)
    camera.zqsim("stream", "clear")
    assert camera.get("/tavro/camera/stream/start")[0] == 200
    wait_for_event(camera, "exit")
    camera.zqsim("stream", "mode", "exit")
    assert camera.get("/tavro/camera/stream/start")[0] == 200
    assert camera.get("/tavro/camera/stream/stop")[0] == 200


def test_stream_helper_is_stopped_when_the_daemon_exits(camera):
    # A helper that ignores the hang-up: hung up, then killed (the schedule is the child
    # library's unit test).
    camera.zqsim("stream", "install")
    camera.zqsim("stream", "mode", "ignore")
    camera.zqsim("stream", "clear")
    assert camera.get("/tavro/camera/stream/start")[0] == 200
    wait_for_event(camera, "start")
    assert camera.stop()[0] == 0
    log = stream_events(camera)
    assert [e["event"] for e in log] == ["start", "hangup"]
    # Gone, not left running nor left to be reaped by someone else.
    with pytest.raises(ProcessLookupError):
        os.kill(log[0]["pid"], 0)
