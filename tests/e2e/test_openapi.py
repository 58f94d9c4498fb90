"""The Open API under /tavro end to end: each endpoint reaches the simulated camera with the
exact command bytes (the control service's journal is the witness), refused requests reach
nothing, the streaming helper is started, refused a second time, and stopped (also when the
daemon exits), and the preset commands of the control interface answer with the
service's protobuf replies."""

import json
import os
import threading

import pytest

from test_control import journal

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


def test_presets_read_load_and_group(camera):
    # The answers' schemas are checked against the published document in its own test.
    groups = json.loads(camera.get("/tavro/camera/presets/get")[2])["presetGroupArray"]
    preset = groups[0]["presetArray"][1]["id"]
    journal(camera)
    assert camera.get(f"/tavro/camera/presets/load?id={preset}")[0::2] == (200, b"{}")
    assert [c for c, _, _ in journal(camera)] == [76]
    camera.zqsim("control", "fail", 76, -1)
    assert camera.get(f"/tavro/camera/presets/load?id={preset}")[0::2] == (500, b"{}")

    # A reply the service garbles does not convert.
    camera.zqsim("control", "reply", 81, "0aff")
    assert camera.get("/tavro/camera/presets/get")[0::2] == (500, b"{}")


def test_preset_commands_of_the_control_interface(camera):
    status, headers, body = camera.get("/zq/zqControl/preset/list_groups")
    assert status == 200 and headers["content-type"] == "application/octet-stream"
    assert len(body) > 0
    journal(camera)
    status, _, body = camera.get("/zq/zqControl/preset/load")
    assert status == 500 and b"failed with err -3" in body
    assert journal(camera) == []
    # preset_icon (field 2) 3 alone; the camera refuses it while no custom preset is edited.
    status, _, body = camera.get("/zq/zqControl/preset/set_title_icon?icon=3")
    assert status == 500 and b"failed with err" in body
    assert [(c, p) for c, p, _ in journal(camera)] == [(83, "1003")]


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


@pytest.mark.parametrize("mode, events", [
    ("exit", ["start", "hangup", "exit"]),  # ends on the hang-up
    ("ignore", ["start", "hangup"]),        # ignores it and is killed
])
def test_stream_helper_is_stopped_when_the_daemon_exits(camera, mode, events):
    camera.zqsim("stream", "install")
    camera.zqsim("stream", "mode", mode)
    camera.zqsim("stream", "clear")
    assert camera.get("/tavro/camera/stream/start")[0] == 200
    wait_for_event(camera, "start")
    assert camera.stop()[0] == 0
    log = stream_events(camera)
    assert [e["event"] for e in log] == events
    # Gone, not left running nor left to be reaped by someone else.
    with pytest.raises(ProcessLookupError):
        os.kill(log[0]["pid"], 0)


def test_concurrent_requests_are_all_answered(camera):
    results = []

    def client():
        for _ in range(10):
            results.append(camera.get("/tavro/camera/state")[0])

    threads = [threading.Thread(target=client) for _ in range(4)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert results == [200] * 40
