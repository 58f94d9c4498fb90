"""The control interface end to end: commands reach the simulated camera with the exact bytes
of their records (the control service's journal is the witness), bad parameters never reach
it, service statuses become the documented HTTP answers, and the camera's state shows in the
status and settings documents."""

import json
import os
import threading


CONTROL = "/zq/zqControl"
IMAGE_ETC = os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(
    os.path.abspath(__file__)))), "platform", "sim", "image", "usr", "local", "tavro", "etc")


def journal(camera):
    """The commands the control service received since the last call, then clears them."""
    out = camera.zqsim("control", "log").stdout
    camera.zqsim("control", "clear")
    return [(e["command"], e["param"], e["status"])
            for e in (json.loads(line) for line in out.splitlines())]


def control(camera, path, query=None):
    target = f"{CONTROL}/{path}" + (f"?{query}" if query is not None else "")
    return camera.get(target)


def error_of(body):
    doc = json.loads(body)
    return doc["error"]


# path, a good query, command number, parameter bytes (hex), a bad query (None: no case).
# Every command's record and refusals are proven in the handlers' unit tests; these rows
# follow each kind of parameter through the server: none, decimal, "%"-hex fields, two keys,
# the setting path in the URL and in the query, and a query passed on as it came.
COMMANDS = [
    ("command/sub_mode", "mode=0&sub_mode=1", 5, "0000000001000000", "mode=0"),
    ("command/setup/date_time", "p=%0e%0a%1d%0b%15%2c", 6, "de070a1d0b152cff7f00", "p=%0e%0a"),
    ("command/wireless/ap/control", "p=1", 16, "01000000", "p=1&p=1"),
    ("setting/3/8", "", 30, "0300000008000000", None),
    ("setting", "/3/8", 30, None, ""),
    ("notifications", "n=1", 43, "6e3d3100", None),
    ("command/storage/tag_moment", "", 7, "", None),
    ("command/storage/delete/last", "", 10, "", None),
    ("command/shutter", "p=1", 3, "01", "p=2x"),  # last: the camera records from here on
]


def test_each_command_success_and_refusals(camera):
    journal(camera)
    for path, good, command, param, bad in COMMANDS:
        if param is not None:
            status, headers, body = control(camera, path, good)
            assert (status, body) == (200, b"{}\n"), (path, good, body)
            assert headers["content-type"] == "application/json"
            assert journal(camera) == [(command, param, 0)], path
            # The camera refuses: its status comes back as a server error, the command was sent.
            camera.zqsim("control", "fail", command, -101)
            status, _, body = control(camera, path, good)
            camera.zqsim("control", "ok", command)
            assert status == 500 and error_of(body) == -101, path
            assert journal(camera) == [(command, param, -101)], path
        if bad is not None:
            status, _, body = control(camera, path, bad)
            assert status == 500 and error_of(body) == -3, (path, bad, body)
            assert journal(camera) == [], (path, bad)


def test_status_document_is_sent_whole(camera):
    # The simulated camera builds the document from its state (its own tests show how); the
    # daemon sends it whole, with its length.
    assert control(camera, "command/sub_mode", "mode=1&sub_mode=2")[0] == 200
    status, headers, body = control(camera, "status")
    assert status == 200 and headers["content-type"] == "application/json"
    assert int(headers["content-length"]) == len(body) < 4096
    doc = json.loads(body)
    assert list(doc) == ["status", "settings"]
    assert (doc["status"]["43"], doc["status"]["44"]) == (1, 2)


def test_service_statuses_on_the_wire_keep_the_connection(camera):
    # The whole mapping is the dispatcher's unit test; here an answer without a body, a client
    # error and a server error on a connection that stays usable after each.
    conn = camera.connection()
    for service, http, code in [(-18, 204, None), (-17, 403, -17), (-101, 500, -101)]:
        camera.zqsim("control", "fail", 3, service)
        for _ in range(2):
            conn.request("GET", f"{CONTROL}/command/shutter?p=1")
            r = conn.getresponse()
            body = r.read()
            assert r.status == http, service
            if code is None:
                assert body == b""
            else:
                assert r.getheader("Content-Type") == "application/json"
                assert error_of(body) == code and json.loads(body)["path"] == "command/shutter"
        assert journal(camera) == [(3, "01", service)] * 2
    conn.close()


def test_paths_outside_the_registry_and_later_families(camera):
    for path in ["/zq/zqControl/", "/zq/zqControl/nope", "/zq/zqControl/command",
                 "/zq/zqControl/command/shutter/", "/zq/zqControl/getGeoCalX", "/zq/zqControlX"]:
        status, _, body = camera.get(path)
        assert status == 400 and error_of(body) == -3, path
    status, _, body = control(camera, "command/set_preset", "p=1")
    assert status == 500 and error_of(body) == -1
    assert journal(camera) == []


def test_special_paths(camera):
    status, headers, body = control(camera, "getGeoCal")
    assert status == 200 and headers["content-type"] == "application/octet-stream"
    assert len(body) == 512 and body.startswith(b"GEOCAL01")
    camera.zqsim("camera", "set", "geocal_size", 5000)
    assert len(control(camera, "getGeoCal")[2]) == 1499  # what the daemon offers room for
    camera.zqsim("camera", "set", "geocal_size", 0)
    status, headers, body = control(camera, "getGeoCal")
    assert status == 500 and headers["content-type"] == "application/json"
    assert body == (b'\n{ "message": "ZQCONTROL_SYSTEM_GET_GEOCAL return size:0, '
                    b'failed with err 0" }')
    camera.zqsim("control", "fail", 60, -101)
    assert b"size:0, failed with err -101" in control(camera, "getGeoCal")[2]

    status, headers, body = control(camera, "getCalData")
    shading = camera.path("/tmp/fuse_a/calibration/shading.bin")
    with open(shading, "rb") as f:
        assert status == 200 and body == f.read() and len(body) == 4096
    assert headers["content-type"] == "application/octet-stream"
    os.unlink(shading)
    os.mkdir(shading)  # the named file is no file
    status, _, body = control(camera, "getCalData")
    assert status == 500
    assert json.loads(body) == {"message": "ZQCONTROL_SYSTEM_GET_SHADINGDATA_FILE path:"
                                           "/tmp/fuse_a/calibration/shading.bin, "
                                           "failed with err -18"}
    camera.zqsim("control", "fail", 64, -5)
    assert json.loads(control(camera, "getCalData")[2])["message"].endswith(
        "path:, failed with err -5")

    status, _, body = control(camera, "preset/load", "id=1")
    assert (status, body) == (200, b"")
    status, _, body = control(camera, "preset/unknown")
    assert (status, body) == (500, b'\r\n{ "message": "ZQCONTROL_PRESETS failed with err -1" }')
    assert [c for c, _, _ in journal(camera)] == [60, 60, 60, 60, 64, 64, 64, 76]


def test_settings_document_and_info(camera):
    status, headers, body = camera.get(CONTROL)
    assert status == 200 and headers["content-type"] == "application/json"
    doc = json.loads(body)
    with open(os.path.join(IMAGE_ETC, "T11", "settings.json")) as f:
        on_card = json.load(f)
    info = doc.pop("info")
    assert doc == on_card
    assert list(info) == ["model_number", "model_name", "firmware_version", "serial_number",
                          "board_type", "ap_mac", "ap_ssid", "ap_has_default_credentials",
                          "git_sha1", "capabilities", "lens_count", "update_required",
                          "required_networks", "http_keepalive"]
    assert info["model_number"] == 58 and info["model_name"] == "TAVRO T11"
    assert len(info["git_sha1"]) == 40 and info["http_keepalive"] == 1

    status, _, body = control(camera, "info")
    short = json.loads(body)["info"]
    assert status == 200 and "git_sha1" not in short
    assert short == {k: v for k, v in info.items() if k != "git_sha1"}
    assert journal(camera) == []


def test_every_model_gets_its_document(camera):
    for d in sorted(os.listdir(IMAGE_ETC)):
        with open(os.path.join(IMAGE_ETC, d, "settings.json")) as f:
            on_card = json.load(f)
        model = on_card["model"]["number"]
        camera.zqsim("identity", "set", "model_number", model)
        doc = json.loads(camera.get(CONTROL)[2])
        info = doc.pop("info")
        assert doc == on_card, d
        assert info["lens_count"] == str(on_card["model"]["lens_count"])
    camera.zqsim("identity", "set", "model_number", 99)
    doc = json.loads(camera.get(CONTROL)[2])
    assert doc["model"]["number"] == 57 and doc["info"]["model_number"] == 99


def test_bad_input_gets_clear_errors(camera):
    long_value = "1" * 12000
    # One query per refusal: too long, many empty pairs, escapes left undecoded, a key alone,
    # a sign or base the number does not take (the rest is the query fuzz target's).
    for query in [f"p={long_value}", "p=" + "&" * 3000 + "p=1", "p=%31", "p", "p=+1", "p=0x1"]:
        status, headers, body = control(camera, "command/shutter", query)
        assert status == 500 and error_of(body) == -3, query[:40]
    # Bytes that are not UTF-8 or are control characters, percent-encoded (the server refuses
    # them raw), reach the command undecoded and the path decoded; the error documents stay
    # valid JSON.
    status, _, body = control(camera, "command/sub_mode", "mode=%c3%28&sub_mode=%01")
    assert status == 500 and json.loads(body.decode("utf-8"))["params"] == "mode=%c3%28&sub_mode=%01"
    status, _, body = camera.get(CONTROL + "/%ff%fe%01")
    assert status == 400 and json.loads(body.decode("utf-8"))["path"] == "\ufffd\ufffd\x01"
    assert journal(camera) == []
    # A long query with a good parameter at its end is fine.
    assert control(camera, "command/shutter", "x=y&" * 2000 + "p=0")[0] == 200
    assert journal(camera) == [(3, "00", 0)]


def test_requests_in_parallel_are_served_one_at_a_time(camera):
    errors = []

    def client(n):
        conn = camera.connection()
        try:
            for i in range(20):
                path = f"{CONTROL}/status" if i % 2 else f"{CONTROL}/command/shutter?p={n % 2}"
                conn.request("GET", path)
                r = conn.getresponse()
                body = r.read()
                if r.status != 200:
                    errors.append((path, r.status, body))
                elif path.endswith("status"):
                    json.loads(body)
        except Exception as e:  # noqa: BLE001 - reported below
            errors.append(repr(e))
        finally:
            conn.close()

    threads = [threading.Thread(target=client, args=(n,)) for n in range(6)]
    for t in threads:
        t.start()
    # A download and the version route are not held up by control requests.
    assert camera.get("/zq/version")[0] == 200
    for t in threads:
        t.join()
    assert errors == []
    entries = journal(camera)
    assert sum(1 for c, _, _ in entries if c == 3) == 60
    assert sum(1 for c, _, _ in entries if c == 34) == 60
