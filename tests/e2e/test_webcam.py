"""Webcam mode on the wire: the daemon against `zqsim serve`'s webcam process, with the
camera-status write journal and the process's own log as witnesses (its slow, failing and
stale replies are the webcam library's unit tests, against the same process). Time-outs are
scaled (ZQ_TIME_SCALE) so that a silent process costs half a second, not ten."""

import json

import pytest

import zqmq
from conftest import serve_camera

SCALE = 0.05
STATUS = "{{\n\t\"status\": {},\n\t\"error\": {}\n}}\n\n"


@pytest.fixture
def cam(sample_card):
    yield from serve_camera(sample_card, {"ZQ_TIME_SCALE": str(SCALE)})


def webcam(cam, name, query=None):
    target = f"/zq/zqWebcam/{name}" + (f"?{query}" if query is not None else "")
    status, headers, body = cam.get(target)
    assert headers["content-type"] == "application/json"
    return status, body.decode()


class Witness:
    """The words the webcam process received and the daemon's status writes, since the last
    call."""

    def __init__(self, cam):
        self.cam = cam
        self.seen = 0
        self.take()

    def take(self):
        lines = self.cam.zqsim("webcam", "log").stdout.splitlines()
        words = [json.loads(line) for line in lines[self.seen:]]
        self.seen = len(lines)
        writes = [(e["id"], e["value"]) for e in
                  map(json.loads, self.cam.zqsim("status", "log").stdout.splitlines())]
        self.cam.zqsim("status", "clear")
        return [w["word"] for w in words], writes


def test_commands_reach_the_webcam_process_and_its_replies_come_back(cam):
    w = Witness(cam)
    assert webcam(cam, "START", "res=1080&fov=2") == (200, STATUS.format(2, 0))
    words, writes = w.take()
    assert words == [0x312]
    assert writes == [(142, b"127.0.0.1".hex()), (141, "12030000")]
    assert webcam(cam, "STATUS") == (200, STATUS.format(2, 0))
    assert webcam(cam, "STOP")[0] == 200
    assert webcam(cam, "STARTLTP") == (200, STATUS.format(2, 0))
    assert webcam(cam, "PREVIEWLTP")[0] == 200
    assert webcam(cam, "EXIT")[0] == 200
    # The answers given without the process (the version, refusals) are the route's unit tests.
    assert w.take()[0] == [7, 6, 3, 5, 8]


def test_no_queue_of_the_daemon_is_left_behind(cam):
    pid = cam.proc.pid
    cam.zqsim("webcam", "mode", "silent")
    webcam(cam, "START")
    cam.get("/zq/zqControl/command/ble/scan?p=1")
    cam.get("/zq/zqControl/command/wireless/pair/complete?success=0")
    cam.stop()
    for name in ("/to_webcam_http", f"/to_ZQCC{pid}", f"/to_kxpair{pid}"):
        assert not zqmq.exists(name, cam.root), name
