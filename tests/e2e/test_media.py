"""The media list routes and media operations against the sample card and the simulated
media database."""

import json
import os

# Capture time the card's real clips carry in their movie header (2026-04-30 09:00 UTC); the
# files themselves are dated a day later, so these times come from the database, not a listing.
CLIP_CAPTURE = "1777539600"

FOLDERS = ["100TAVRO", "101TAVRO", "102TAVRO", "100Q3D_R", "100Q3D_L", "100QBACK"]


def media_list(camera, path="/zq/zqMediaList"):
    status, headers, body = camera.get(path)
    assert status == 200, body
    assert headers["content-type"] == "application/json"
    assert int(headers["content-length"]) == len(body)
    return json.loads(body)


def folder(doc, name):
    return next(f["fs"] for f in doc["media"] if f["d"] == name)


def names(items):
    return [i["n"] for i in items]


def test_list_groups_the_sample_card(camera):
    doc = media_list(camera, "/zq/zqMediaList?f=videophoto")
    assert doc["id"].isdigit()
    assert [f["d"] for f in doc["media"]] == FOLDERS

    first = folder(doc, "100TAVRO")
    assert names(first) == ["ZQ010001.MP4", "ZQ010002.MP4", "TAVR0003.JPG", "TAVR0004.JPG",
                            "TAVR0005.MP4", "ZQ010005.MP4", "ZQ020005.MP4", "TAVR0006.JPG"]
    chapter0 = first[4]
    assert chapter0["cre"] == chapter0["mod"] == CLIP_CAPTURE
    assert chapter0["ls"] == "98304"
    assert first[7]["raw"] == "1"

    # Groups and companions are the writer's unit tests, built from the database's records.

    # The identifier is kept on the card and given again.
    assert media_list(camera)["id"] == doc["id"]
    with open(camera.path("/tmp/fuse_d/MISC/card")) as f:
        assert f.read().strip() == doc["id"]


def test_list_ex_adds_the_internal_storage(camera):
    status, _, body = camera.get("/zq/zqMediaListEx")
    assert status == 200 and body.startswith(b"\n[")
    sd, internal = json.loads(body)
    assert [f["d"] for f in sd["media"]] == FOLDERS
    assert internal["media"] == [{"d": "100QFRNT", "fs": [
        {"n": "QF010021.MP4", "cre": CLIP_CAPTURE, "mod": CLIP_CAPTURE, "ls": "65536",
         "s": internal["media"][0]["fs"][0]["s"]}]}]
    assert internal["id"] != sd["id"]


def test_session_selection_and_busy_camera(camera):
    # The queries' refusals are the route's unit tests; here what the sample card and the
    # camera's status give.
    assert camera.get("/zq/zqMediaList?f=ses")[::2] == (200, b'{"id":"%s","media":[]}\n' % (
        media_list(camera)["id"].encode()))
    camera.zqsim("status", "set", "3", "1")
    assert camera.get("/zq/zqMediaList")[::2] == (503, b'{ "message": "Camera is busy" }\n')
    assert camera.get("/zq/zqMediaListEx")[::2] == (503, b'\n{ "message": "Camera is busy" }')
    camera.zqsim("status", "set", "3", "0")
    assert media_list(camera)["media"]


def test_database_faults(camera):
    camera.zqsim("mediadb", "truncate", "48")  # every message cut after its first entry
    doc = media_list(camera)
    assert [f["d"] for f in doc["media"]][:2] == ["100TAVRO", "101TAVRO"]
    assert names(doc["media"][0]["fs"]) == ["TAVR0003.JPG"]
    camera.zqsim("mediadb", "ok")
    assert [f["d"] for f in media_list(camera)["media"]] == FOLDERS


def test_front_back_camera_lists_only_its_lens_files(bare_camera):
    bare_camera.zqsim("identity", "set", "model_number", "22")
    bare_camera.start()
    doc = media_list(bare_camera)
    assert [f["d"] for f in doc["media"]] == ["100QBACK"]


def test_delete_a_file_and_chapters(camera):
    sd = camera.path("/tmp/fuse_d/DCIM/100TAVRO")
    status, _, body = camera.get("/zq/zqMediaOp?p=del&f=100TAVRO/TAVR0003.JPG")
    assert (status, body) == (200, b'\n{ "status":"0"}\r\n')
    assert not os.path.exists(sd + "/TAVR0003.JPG")
    assert "TAVR0003.JPG" not in names(folder(media_list(camera), "100TAVRO"))

    with open(sd + "/ZQ020005.MP4", "rb") as f:
        last = f.read()
    status, _, body = camera.get("/zq/zqMediaOp?p=delcv&fd=100&fn=0005&tc=3&c=1")
    assert json.loads(body) == {"success": "1", "valid": "1", "status": "0",
                                "remaining_chapters": "2", "error_str": ""}
    assert not os.path.exists(sd + "/ZQ020005.MP4")
    with open(sd + "/ZQ010005.MP4", "rb") as f:
        assert f.read() == last
    listed = names(folder(media_list(camera), "100TAVRO"))
    assert "ZQ020005.MP4" not in listed and "ZQ010005.MP4" in listed


def test_back_lens_delete_takes_the_front_twin(camera):
    front = camera.path("/tmp/fuse_i/DCIM/100QFRNT/QF010021.MP4")
    assert os.path.exists(front)
    status, _, body = camera.get("/zq/zqMediaOp?p=del&f=100QBACK/QB010021.MP4")
    assert json.loads(body) == {"status": "0"}
    assert not os.path.exists(front)
    status, _, body = camera.get("/zq/zqMediaListEx")
    # Its proxy is still there, so the folder is listed, but without an item.
    assert json.loads(body)[1]["media"] == [{"d": "100QFRNT", "fs": []}]
