"""The Open API's description (docs/openapi.json) against the daemon's real answers: every
documented path is asked, in the situations that give its documented answers, and each body
is validated against the schema the document gives for that path and status. An answer the
document does not list, or a body its schema refuses, fails the test, so the document cannot
drift from the daemon."""

import json
import os

import jsonschema
import pytest

from conftest import REPO

DOCUMENT = os.path.join(REPO, "docs", "openapi.json")


@pytest.fixture(scope="module")
def document():
    with open(DOCUMENT) as f:
        return json.load(f)


def check(document, camera, path, query=None):
    """Asks `path` (relative to /tavro) and validates the answer; returns (status, body)."""
    target = "/tavro" + path + (f"?{query}" if query is not None else "")
    status, headers, body = camera.get(target)
    operation = document["paths"][path]["get"]
    answer = operation["responses"].get(str(status))
    assert answer is not None, f"{target}: {status} is not documented"
    content = answer.get("content")
    if not body:
        assert "empty body" in answer["description"] or content is None, target
        return status, body
    assert content is not None, f"{target}: {status} has a body the document does not describe"
    assert headers["content-type"] in content, target
    if headers["content-type"] != "application/json":
        return status, body
    schema = dict(content[headers["content-type"]]["schema"], components=document["components"])
    jsonschema.validate(json.loads(body), schema)
    return status, body


def test_document_is_openapi_3_and_every_parameter_names_its_schema(document):
    assert document["openapi"].startswith("3.0.")
    jsonschema.Draft4Validator.check_schema({"components": document["components"]})
    for path, item in document["paths"].items():
        assert path.startswith("/")
        for p in item["get"].get("parameters", []):
            assert p["in"] == "query" and "schema" in p, (path, p)


def test_live_answers_match_the_document(document, camera):
    seen = set()

    def ask(path, query=None):
        status, body = check(document, camera, path, query)
        seen.add(path)
        return status, body

    assert ask("/camera/state")[0] == 200
    assert ask("/camera/state", "x")[0] == 400
    assert ask("/camera/setting", "setting=2&option=1")[0] == 200
    assert ask("/camera/setting", "setting=2")[0] == 400
    camera.zqsim("filter", "verdict", 2, 1, 3, 1, "4K", 0, 9, "1080", 1)
    camera.zqsim("filter", "verdict", 2, 5, 4, 9, "1080", 1)
    camera.zqsim("filter", "verdict", 2, 6, 2)
    for option in (1, 5, 6):
        assert ask("/camera/setting", f"setting=2&option={option}")[0] == 403
    camera.zqsim("filter", "clear")
    camera.zqsim("control", "fail", 34, -103)
    assert ask("/camera/setting", "setting=2&option=1")[1].startswith(b"{\n")
    camera.zqsim("control", "ok", 34)

    status, body = ask("/camera/presets/get")
    assert status == 200
    preset = json.loads(body)["presetGroupArray"][0]["presetArray"][0]["id"]
    assert ask("/camera/presets/load", f"id={preset}")[0] == 200
    assert ask("/camera/presets/load")[0] == 400
    assert ask("/camera/presets/set_group", "id=1000")[0] == 200
    assert ask("/camera/presets/set_group", "id=7")[0] == 400

    camera.zqsim("stream", "install")
    assert ask("/camera/stream/start")[0] == 200
    assert ask("/camera/stream/stop", "x")[0] == 400
    assert ask("/camera/stream/stop")[0] == 200

    assert ask("/version")[0] == 200
    camera.zqsim("camera", "set", "zoom_available", 1)
    assert ask("/camera/digital_zoom", "percent=40")[0] == 200
    assert ask("/camera/digital_zoom", "percent=140")[0] == 400
    save = camera.path("/tmp/fuse_a/save")
    os.makedirs(save, exist_ok=True)
    with open(os.path.join(save, "DA000001.bin"), "wb") as f:
        f.write(b"older" * 300)
    assert ask("/camera/analytics/get")[1].startswith(b"older" * 300)
    assert ask("/camera/analytics/get", "x")[0] == 400
    assert ask("/camera/analytics/clear")[0] == 200
    assert ask("/camera/analytics/set_client_info")[0] == 200
    assert ask("/camera/keep_alive")[0] == 200
    assert ask("/camera/control/set_ui_controller", "p=2")[0] == 200
    assert ask("/camera/control/wired_usb", "p=3")[0] == 400
    assert ask("/camera/shutter/start")[0] == 200
    assert ask("/camera/shutter/stop")[0] == 200
    assert ask("/camera/set_date_time", "date=2023_04_05&time=10_20_30&tzone=60")[0] == 200
    assert ask("/camera/set_date_time", "date=2023_04_05")[0] == 400
    assert ask("/camera/get_date_time")[0] == 200
    assert ask("/camera/get_date_time", "")[0] == 400

    assert ask("/media/list")[0] == 200
    assert ask("/media/turbo_transfer", "p=1")[0] == 200
    assert ask("/media/spotmark/moment", "x")[0] == 400
    camera.zqsim("control", "ok", 7)
    assert ask("/media/spotmark/moment")[0] in (200, 500)
    assert ask("/media/spotmark/file", "path=100TAVRO/QH010001.MP4&ms=1500")[0] in (200, 500)
    assert ask("/media/spotmark/remove", "path=100TAVRO/TAVR0003.JPG")[0] in (200, 500)
    assert ask("/media/delete/file", "path=100TAVRO/TAVR0003.MP4")[0] == 400
    assert ask("/media/delete/file", "path=100TAVRO/TAVR0003.JPG")[0] == 200
    for name in ("telemetry", "info", "zqmf", "screennail", "thumbnail", "metadata"):
        assert ask(f"/media/{name}", "path=100TAVRO/QH010099.MP4")[0] == 404
    # The photo's answers come from the metadata route, each of its own kind.
    assert ask("/media/telemetry", "path=100TAVRO/TAVR0004.JPG")[0] == 400
    assert json.loads(ask("/media/info", "path=100TAVRO/TAVR0004.JPG")[1])["s"] == "285507"
    assert ask("/media/zqmf", "path=100TAVRO/TAVR0004.JPG")[1].startswith(b"DEVC")
    for name in ("screennail", "thumbnail", "metadata"):
        status, body = ask(f"/media/{name}", "path=100TAVRO/TAVR0004.JPG")
        assert status == 200 and body.startswith(b"\xff\xd8"), name
    assert json.loads(ask("/webcam/version")[1])["version"] == 4
    assert json.loads(ask("/webcam/status")[1]) == {"status": 1, "error": 0}
    assert json.loads(ask("/webcam/start")[1])["status"] == 2
    assert json.loads(ask("/webcam/preview")[1])["status"] == 2
    assert ask("/webcam/stop", "x")[0] == 400
    assert json.loads(ask("/webcam/stop")[1])["status"] == 1
    # The simulated models list no resolution or field-of-view options for the webcam, so a
    # checked start is refused with the (empty) lists of what is supported.
    status, body = ask("/webcam/start", "res=12&fov=0")
    assert status == 400 and json.loads(body)["error"] == 6
    assert json.loads(ask("/webcam/exit")[1])["status"] == 1

    assert seen == set(document["paths"]), set(document["paths"]) - seen
