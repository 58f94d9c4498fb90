"""The wireless, BLE, storage and system rows of the control interface end to end: the daemon
against `zqsim serve`, with the control-service journal, the camera-status write journal and
the network service's message log as witnesses."""

import json

from test_control import control, error_of, journal


def status_writes(camera):
    """The daemon's camera-status writes since the last call: (id, value hex, status)."""
    out = camera.zqsim("status", "log").stdout
    camera.zqsim("status", "clear")
    return [(e["id"], e["value"], e["status"])
            for e in (json.loads(line) for line in out.splitlines())]


def net_log(camera):
    out = camera.zqsim("net", "log").stdout
    camera.zqsim("net", "clear")
    return [json.loads(line) for line in out.splitlines()]


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


def test_bad_network_parameters_send_nothing(camera):
    journal(camera)
    for path, query in [("command/wireless/ssid/save", "ssid=" + "n" * 33),
                        ("command/wireless/ssid/select", "ssid=home&pw=secret"),
                        ("command/wireless/ap/ssid", "pw=x"),
                        ("command/system/suspend_resume_state", "suspend=" + "A" * 64),
                        ("command/system/suspend_resume_state", "suspend=CAE")]:
        status, _, body = control(camera, path, query)
        assert status == 500 and error_of(body) == -3, (path, query)
    assert journal(camera) == []
    assert net_log(camera) == []


def test_pair_complete_names_the_phone_and_tells_the_network_service(camera):
    status_writes(camera)
    net_log(camera)
    status, _, _ = control(camera, "command/wireless/pair/complete", "success=0")
    assert status == 200
    assert (86, b"Unknown".hex(), 0) in status_writes(camera)
    [kx] = net_log(camera)
    assert (kx["cmd"], kx["cmdarg"], kx["dst"]) == ("KX", "0200", "/to_zqnet")


def test_ble_scan_list_and_pairing_through_the_ble_service(camera):
    status, _, body = control(camera, "command/ble/pair/start", "address_type=1")
    assert status == 500 and error_of(body) == -3
    assert control(camera, "command/ble/scan", "p=1")[0] == 200
    status, _, body = control(camera, "command/ble/scan/list")
    assert status == 200
    doc = json.loads(body)
    assert (doc["total"], doc["index_count"]) == (20, 20)
    address = doc["device_array"][3]["address"]
    assert control(camera, "command/ble/pair/start", f"device={address}")[0] == 200
    status, _, body = control(camera, "command/ble/whitelist/list")
    assert status == 200
    [device] = json.loads(body)["device_array"]
    assert device["address"] == address and device["auto_connect"] == 1
    status, _, body = control(camera, "command/ble/pair/status")
    assert status == 200 and json.loads(body) == {"pairing_status": 2}
    # Every BLE message came back to the daemon's own reply queue.
    sources = {m["src"] for m in net_log(camera)}
    assert len(sources) == 1 and sources.pop().startswith("/to_ZQCC")


def test_beacon_and_wake_up_values(camera):
    status_writes(camera)
    assert control(camera, "command/system/set_beacon", "uuid=abc&major=2&minor=3")[0] == 200
    status, _, body = control(camera, "command/system/get_beacon")
    assert status == 200 and json.loads(body) == {"uuid": "abc", "major": 2, "minor": 3}
    camera.zqsim("status", "set", 38, 1)
    assert control(camera, "command/system/notify_event", "p=1")[0] == 200
    writes = status_writes(camera)
    assert (30, "01000000", 0) in writes and (38, "00000000", 0) in writes
    status, _, body = control(camera, "command/mobile_offload/get_state")
    assert status == 200 and json.loads(body)["st_activity"] == 1
