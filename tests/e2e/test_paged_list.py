"""The paged list of the media database (/zq/zqMediaListRTOSDB) against the sample card: one
folder's entries with chaptered videos, bursts and time-lapses as groups, what a client selects
(content, upload state, fields), the cloud list, and its refusals."""

import json
import pathlib
import shutil

import pytest

LIST = "/zq/zqMediaListRTOSDB"
CLIP_CAPTURE = "1777539600"  # the sample clips' capture time, from their movie header


def paged(camera, query):
    status, headers, body = camera.get(f"{LIST}?{query}")
    assert status == 200, body
    assert headers["content-type"] == "application/json"
    assert body.endswith(b"]}\n")
    return json.loads(body)


def names(doc):
    return [e["n"] for e in doc["fs"]]


def test_a_folder_with_its_groups(camera):
    doc = paged(camera, "folder=101TAVRO")
    assert doc["d"] == "101TAVRO"
    burst, lapse, *lettered = doc["fs"]
    assert (burst["n"], burst["g"], burst["b"], burst["l"], burst["m"], burst["t"]) == (
        "Q0010001.JPG", "1", "1", "30", ["12"], "b")
    assert (lapse["n"], lapse["g"], lapse["b"], lapse["l"], lapse["m"], lapse["t"]) == (
        "Q0020031.JPG", "2", "31", "70", ["40", "41", "55"], "t")
    assert [e["n"] for e in lettered] == ["ZQAA0080.JPG", "ZQAA0081.JPG", "ZQAA0082.JPG"]
    assert all("g" not in e for e in lettered)


def camera_file(camera, folder, name):
    return pathlib.Path(camera.path(f"/tmp/fuse_d/DCIM/{folder}/{name}"))


def test_content_selections(camera):
    # Which entries each selector takes is the simulated database's answer to the selector the
    # daemon sends (the library's unit tests build those requests); here one of each kind.
    everything = names(paged(camera, "folder=100TAVRO"))
    assert everything == ["TAVR0003.JPG", "TAVR0004.JPG", "TAVR0005.MP4", "TAVR0006.JPG",
                          "ZQ010001.MP4", "ZQ010002.MP4", "ZQ010005.MP4"]
    assert names(paged(camera, "folder=100TAVRO&files=none")) == everything
    assert names(paged(camera, "folder=100TAVRO&files=videoclips")) == [
        "TAVR0005.MP4", "ZQ010001.MP4", "ZQ010002.MP4"]
    assert names(paged(camera, "folder=101TAVRO&files=photogroups")) == [
        "Q0010001.JPG", "Q0020031.JPG"]


def test_fields_come_from_the_database_records(camera):
    doc = paged(camera, "folder=100TAVRO&files=video&fields=cre,mod,ls,dur,hi,hc,umid,ghc,ghi")
    first = doc["fs"][1]
    assert list(first) == ["n", "mod", "cre", "s", "umid", "ls", "hc", "hi", "dur"]
    assert first["cre"].isdigit()
    assert first["ls"] == "187220" and first["dur"] == "2"
    assert first["hc"] == str(len(first["hi"])) == "1"
    assert len(first["umid"]) == 32
    # The same unique id through the metadata route.
    status, _, body = camera.get("/zq/zqMediaMetadata?p=100TAVRO/ZQ010001.MP4&t=v5info")
    assert status == 200 and json.loads(body)["umid"] == first["umid"]
    group = doc["fs"][3]
    assert (group["n"], group["ghc"], group["ghi"]) == ("ZQ010005.MP4", "0", [])
    assert group["cre"] == CLIP_CAPTURE  # its first chapter's, from the movie header


def test_cloud_list_by_upload_status_and_offload(camera):
    meta = "/zq/zqMediaMetadata?p=100TAVRO/"
    assert camera.get(meta + "ZQ010001.MP4&t=upload&status=5")[0] == 200
    assert camera.get(meta + "TAVR0004.JPG&t=upload&status=5")[0] == 200
    assert camera.get(meta + "TAVR0004.JPG&t=offload&status=pc&value=true")[0] == 200

    doc = paged(camera, "folder=100TAVRO&upload=5&fields=us,mos")
    assert [(e["n"], e["us"], e["mos"]) for e in doc["fs"]] == [
        ("TAVR0004.JPG", "5", ["pc"]), ("ZQ010001.MP4", "5", [])]
    assert names(paged(camera, "folder=100TAVRO&upload=5&offload=pc")) == ["ZQ010001.MP4"]


def test_more_entries_than_a_page(camera):
    source = camera_file(camera, "100TAVRO", "TAVR0003.JPG")
    camera_file(camera, "103TAVRO", "").mkdir()
    expected = [f"TAVR{n:04d}.JPG" for n in range(100, 161)]
    for name in expected:
        shutil.copy(source, camera_file(camera, "103TAVRO", name))
    assert names(paged(camera, "folder=103TAVRO")) == expected
    assert names(paged(camera, "folder=104TAVRO")) == []


# Every refusal's text is the query parser's unit test; here the statuses and the decoding.
@pytest.mark.parametrize("query, status, message", [
    ("folder=..%2F..%2Fetc", 400, "invalid directory name: dir:'../../etc'"),
    ("folder=100TAVRO&offload=cloud", 501, "offload=cloud not implemented"),
    ("folder=100TAVRO&fields=" + "m" * 300, 400, "Field 'fields' too long"),
])
def test_refusals(camera, query, status, message):
    got, headers, body = camera.get(f"{LIST}?{query}")
    assert (got, headers["content-type"]) == (status, "application/json")
    assert json.loads(body) == {"message": message}


@pytest.mark.parametrize("fault, status", [
    (("status", "2"), 503),
    (("truncate", "30"), 500),  # shorter than a list reply's header
])
def test_media_database_faults(camera, fault, status):
    camera.zqsim("mediadb", *fault)
    got, _, body = camera.get(f"{LIST}?folder=100TAVRO")
    assert got == status
    assert "message" in json.loads(body)
    camera.zqsim("mediadb", "ok")
    assert camera.get(f"{LIST}?folder=100TAVRO")[0] == 200
