"""Recordings past 4 GiB: downloads with ranges beyond 4 GiB, their log lines, and their sizes
in the media list. The camera's co-processor is 32-bit, where sizes and file offsets that pass
4 GiB are exactly where a wrong type or format shows; the same tests run on its build.

The big file is sparse: only its marker bytes take room on the disk.
"""

import json
import re
import struct

from conftest import packets

GIB4 = 1 << 32
NAME = "ZQ010009.MP4"
URI = "/videos/DCIM/100TAVRO/" + NAME
SIZE = GIB4 + (3 << 20) + 123  # 4 GiB + 3 MiB + 123 bytes, not a multiple of any block size
# (offset, bytes): across the 4 GiB boundary, just past it, well past it, and the very end.
MARKERS = [(0, b"start of the file"), (GIB4 - 5, b"crossing 4 GiB"), (GIB4 + 7, b"past 4 GiB"),
           (GIB4 + (1 << 20) + 4097, b"a MiB later, odd offset"), (SIZE - 9, b"last byte")]


def make_big_file(camera):
    path = camera.path("/tmp/fuse_d/DCIM/100TAVRO/" + NAME)
    with open(path, "wb") as f:
        f.truncate(SIZE)
        for at, data in MARKERS:
            f.seek(at)
            f.write(data)
    return path


def expected(first, last):
    """The file's bytes first..last (inclusive), built from the markers."""
    out = bytearray(last - first + 1)
    for at, data in MARKERS:
        for i, b in enumerate(data):
            if first <= at + i <= last:
                out[at + i - first] = b
    return bytes(out)


def test_ranges_beyond_4_gib(camera):
    make_big_file(camera)

    status, headers, body = camera.request("HEAD", URI)
    assert status == 200 and body == b""
    assert int(headers["content-length"]) == SIZE
    assert headers["etag"].endswith(f'.{SIZE}"')

    cases = [
        (f"bytes={GIB4 - 5}-{GIB4 + 20}", GIB4 - 5, GIB4 + 20),  # crosses 4 GiB
        (f"bytes={GIB4 + 7}-{GIB4 + 16}", GIB4 + 7, GIB4 + 16),  # wholly above it
        (f"bytes={GIB4 + (1 << 20) + 4000}-", GIB4 + (1 << 20) + 4000, SIZE - 1),  # to the end
        ("bytes=-100", SIZE - 100, SIZE - 1),  # a suffix of a big file
        (f"bytes={SIZE - 9}-{SIZE + 5000}", SIZE - 9, SIZE - 1),  # clipped to the end
    ]
    for value, first, last in cases:
        status, headers, body = camera.get(URI, headers={"Range": value})
        assert status == 206, value
        assert headers["content-range"] == f"bytes {first}-{last}/{SIZE}", value
        assert int(headers["content-length"]) == last - first + 1, value
        assert body == expected(first, last), value

    status, headers, _ = camera.get(URI, headers={"Range": f"bytes={SIZE}-"})
    assert status == 416 and headers["content-range"] == f"bytes */{SIZE}"
    # A start that does not fit in 64 bits is no range at all: the whole file would follow, so
    # ask only for the head.
    status, headers, _ = camera.request("HEAD", URI, headers={"Range": "bytes=99999999999999999999-"})
    assert status == 200 and int(headers["content-length"]) == SIZE

    # The progress lines carry the 64-bit position, size and start offset.
    first = GIB4 + (1 << 20) + 4000
    line = re.search(rf"Uploading {re.escape(URI)}: 100%, (\d+)/(\d+) bytes, start offset:{first}\n",
                     camera.stdout())
    assert line, camera.stdout()[-2000:]
    assert (int(line.group(1)), int(line.group(2))) == (SIZE, SIZE)


def test_media_list_reports_sizes_beyond_4_gib(camera):
    make_big_file(camera)
    status, _, body = camera.get("/zq/zqMediaList?f=videophoto")
    assert status == 200, body
    doc = json.loads(body)
    files = next(f["fs"] for f in doc["media"] if f["d"] == "100TAVRO")
    entry = next(i for i in files if i["n"] == NAME)
    assert entry["s"] == str(SIZE)


def top_level_boxes(data):
    """(offset, type, size) of each top-level box."""
    boxes, at = [], 0
    while at + 8 <= len(data):
        size, kind = struct.unpack(">I4s", data[at:at + 8])
        if size == 1:
            size = struct.unpack(">Q", data[at + 8:at + 16])[0]
        boxes.append((at, kind, size))
        at += size
    return boxes


def test_clip_whose_movie_lies_past_4_gib(camera, tmp_path):
    """A recording whose movie box starts past 4 GiB (a 4 GiB free box before it): the
    simulated media database reads its duration and the daemon extracts its tracks."""
    source = camera.path("/tmp/fuse_d/DCIM/100TAVRO/ZQ010001.MP4")
    with open(source, "rb") as f:
        data = f.read()
    boxes = top_level_boxes(data)
    moov = next(b for b in boxes if b[1] == b"moov")
    assert moov[0] + moov[2] == len(data)  # the movie box comes last
    gap = GIB4 + 4096
    path = camera.path("/tmp/fuse_d/DCIM/100TAVRO/" + NAME)
    with open(path, "wb") as f:
        f.write(data[:moov[0]])
        f.write(struct.pack(">I4sQ", 1, b"free", gap))
        f.seek(moov[0] + gap)
        f.write(data[moov[0]:])
    uri = "/zq/zqMediaMetadata?p=100TAVRO/"

    status, _, want = camera.get(uri + "ZQ010001.MP4&t=dur")
    assert status == 200 and int(json.loads(want)["dur"]) > 0
    assert camera.get(uri + NAME + "&t=dur")[:3:2] == (200, want)

    status, _, body = camera.get(uri + NAME + "&t=tracks&trackNames=video,audio,telemetry")
    assert status == 200
    out = tmp_path / "out.mp4"
    out.write_bytes(body)
    got, expected = packets(str(out)), packets(source)
    assert set(got) == {"video", "audio", "data"}
    for kind in got:
        assert got[kind] == expected[kind], kind
