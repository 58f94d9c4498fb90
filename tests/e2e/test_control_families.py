"""The wireless, storage and system rows of the control interface end to end: the daemon
against `zqsim serve`, with the control-service journal as witness. What each command sends and
reads is the control library's unit tests (against the same simulated services); here what
only the whole daemon shows: lists assembled from the camera's pages, a program started with
the client's address, files streamed, a form body read, a job's status."""

import json
import os
import time
import urllib.parse

from test_control import control, journal


def test_network_list_of_23_is_assembled_from_pages(camera):
    for i in range(23):
        camera.zqsim("wifi", "add", f"net{i:02d}", i % 4, i % 5)
    camera.zqsim("wifi", "scan-id", 7)
    journal(camera)
    status, _, body = control(camera, "command/wireless/ssid/list")
    assert status == 200
    doc = json.loads(body)
    assert (doc["scan_id"], doc["total"], doc["index"], doc["index_count"]) == (7, 23, 0, 23)
    assert [n["ssid"] for n in doc["ssid_array"]] == [f"net{i:02d}" for i in range(23)]
    assert [(c, p) for c, p, _ in journal(camera)] == [(20, "00"), (20, "0a"), (20, "14")]
    status, _, body = control(camera, "command/wireless/ssid/list", "p=20")
    assert status == 200 and json.loads(body)["index_count"] == 3
    status, _, body = control(camera, "command/wireless/ssid/scan", "p=1")
    assert status == 200 and json.loads(body) == {"scan_id": 7}


def test_execute_starts_and_stops_a_streaming_program_below_the_root(camera):
    bin_dir = camera.path("/usr/local/tavro/bin")
    os.makedirs(bin_dir, exist_ok=True)
    started = os.path.join(bin_dir, "started")
    script = os.path.join(bin_dir, "zqStream")
    with open(script, "w") as f:
        f.write(f'#!/bin/sh\necho "$REMOTE_ADDR $*" > {started}.tmp\n'
                f'mv {started}.tmp {started}\nexec sleep 60\n')
    os.chmod(script, 0o755)
    status, headers, body = control(camera, "execute", "p1=zqStream&a1=-p%208554&c1=start")
    assert (status, body) == (200, b'{"status":"0" }\n')
    assert headers["content-type"] == "application/json"
    deadline = time.monotonic() + 10
    while not os.path.exists(started) and time.monotonic() < deadline:
        time.sleep(0.02)
    with open(started) as f:
        assert f.read() == "127.0.0.1 -p 8554\n"
    status, _, body = control(camera, "execute", "p1=zqStream&c1=stop")
    assert (status, body) == (200, b'{"status":"0" }\n')


def test_analytics_download_and_clear(camera):
    save = camera.path("/tmp/fuse_a/save")
    os.makedirs(save, exist_ok=True)
    with open(os.path.join(save, "DA000001.bin"), "wb") as f:
        f.write(b"older" * 300)
    status, headers, body = control(camera, "analytics/get")
    assert status == 200
    assert headers["content-type"] == "application/octet-stream"
    with open(os.path.join(save, "data_analytics.bin"), "rb") as f:
        current = f.read()
    assert int(headers["content-length"]) == len(body) == 1500 + len(current)
    assert body == b"older" * 300 + current
    assert control(camera, "analytics/clear")[0] == 200
    assert os.listdir(save) == []


def test_delete_list_posted_as_a_form(camera):
    clip = camera.path("/tmp/fuse_d/DCIM/100TAVRO/ZQ010001.MP4")
    assert os.path.exists(clip)
    journal(camera)
    form = "filelist=" + urllib.parse.quote("100TAVRO/ZQ010001.MP4,1\r\n100TAVRO/NONE0001.JPG,0\n")
    status, _, body = camera.request(
        "POST", "/zq/zqControl/command/storage/delete/list", body=form,
        headers={"Content-Type": "application/x-www-form-urlencoded"})
    assert (status, body) == (200, b"{}\n")
    # The entries' bytes are the storage library's unit test; here both lines reached them.
    [(command, param, _)] = journal(camera)
    assert command == 93 and len(bytes.fromhex(param)) == 46
    assert not os.path.exists(clip)
    status, _, body = control(camera, "command/storage/delete/list")
    assert status == 200 and json.loads(body) == {"result": 1}  # one name was not there


def test_transcode_job_and_its_status(camera):
    query = "source=100TAVRO/ZQ010001.MP4&res=1&fps_divisor=1&in_ms=0&out_ms=1000"
    status, _, body = control(camera, "command/transcode/video_to_video", query)
    assert status == 200
    job = json.loads(body)["status"]
    assert job["source"] == "100TAVRO/ZQ010001.MP4"
    assert [c for c, _, _ in journal(camera)][-1] == 46
    status, _, body = control(camera, "command/transcode/status", f"id={job['id']}")
    assert status == 200 and json.loads(body)["status"]["id"] == job["id"]
