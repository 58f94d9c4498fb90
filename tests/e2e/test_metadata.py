"""The metadata route against the sample card's photos and clips, checked against exiftool,
ffprobe and the bytes of the files themselves."""

import json
import struct
import subprocess

import pytest

from conftest import packets

ROUTE = "/zq/zqMediaMetadata"
PHOTOS = ["100TAVRO/TAVR0003.JPG", "100TAVRO/TAVR0004.JPG"]  # little- and big-endian EXIF


def card_file(camera, rel):
    return camera.path("/tmp/fuse_d/DCIM/" + rel)


def exiftool(path, *args):
    return subprocess.run(["exiftool", *args, path], check=True, capture_output=True).stdout


def segments(data):
    """(marker, payload) of every segment before the start of scan."""
    assert data[:2] == b"\xff\xd8"
    at, out = 2, []
    while at + 4 <= len(data):
        marker = data[at + 1]
        length = struct.unpack(">H", data[at + 2:at + 4])[0]
        out.append((marker, data[at + 4:at + 2 + length]))
        if marker == 0xDA:
            break
        at += 2 + length
    return out


def split_screennail(data):
    """The screennail of an older camera: APP2 payloads from the one starting FF D8."""
    collected = b""
    for marker, payload in segments(data):
        if marker != 0xE2:
            continue
        if collected or payload[:2] == b"\xff\xd8":
            collected += payload
            if collected.endswith(b"\xff\xd9"):
                return collected
    return None


# libexif's text forms of the sample photos' enumerated values, as numbers.
ENUMS = {"Top-left": 1, "Inch": 2, "Centered": 1, "sRGB": 1, "JPEG compression": 6,
         "Sea level": 0}
COMPONENTS = {"Y": "1", "Cb": "2", "Cr": "3", "-": "0"}


def dms(text):
    d, m, s = (float(x) for x in text.split(","))
    return d + m / 60 + s / 3600


def fraction(text):
    num, den = text.split()[0].split("/")
    return int(num) / int(den)


def version(text):
    """"Exif Version 2.32" -> "0232", "FlashPix Version 1.0" -> "0100"."""
    major, minor = text.split()[-1].split(".")
    return f"{int(major):02d}{minor:<02s}"


# Our name -> (exiftool -G1 keys, how our text compares with exiftool's -n value).
FIELDS = {
    "ImageDescription": (["IFD0:ImageDescription"], str),
    "Make": (["IFD0:Make"], str),
    "Model": (["IFD0:Model"], str),
    "Software": (["IFD0:Software"], str),
    "DateTime": (["IFD0:ModifyDate"], str),
    "Orientation": (["IFD0:Orientation"], ENUMS.get),
    "XResolution": (["IFD0:XResolution", "IFD1:XResolution"], float),
    "YResolution": (["IFD0:YResolution", "IFD1:YResolution"], float),
    "ResolutionUnit": (["IFD0:ResolutionUnit", "IFD1:ResolutionUnit"], ENUMS.get),
    "YCbCrPositioning": (["IFD0:YCbCrPositioning"], ENUMS.get),
    "Compression": (["IFD1:Compression"], ENUMS.get),
    "ExposureTime": (["ExifIFD:ExposureTime"], fraction),
    "FNumber": (["ExifIFD:FNumber"], lambda t: float(t[2:])),
    "ISOSpeedRatings": (["ExifIFD:ISO"], int),
    "ExifVersion": (["ExifIFD:ExifVersion"], version),
    "FlashpixVersion": (["ExifIFD:FlashpixVersion"], version),
    "DateTimeOriginal": (["ExifIFD:DateTimeOriginal"], str),
    "OffsetTimeOriginal": (["ExifIFD:OffsetTimeOriginal"], str),
    "ComponentsConfiguration": (["ExifIFD:ComponentsConfiguration"],
                                lambda t: " ".join(COMPONENTS[c] for c in t.split())),
    "ColorSpace": (["ExifIFD:ColorSpace"], ENUMS.get),
    "PixelXDimension": (["ExifIFD:ExifImageWidth"], int),
    "PixelYDimension": (["ExifIFD:ExifImageHeight"], int),
    "GPSVersionID": (["GPS:GPSVersionID"], lambda t: t.replace(".", " ")),
    "GPSLatitudeRef": (["GPS:GPSLatitudeRef"], str),
    "GPSLatitude": (["GPS:GPSLatitude"], dms),
    "GPSLongitudeRef": (["GPS:GPSLongitudeRef"], str),
    "GPSLongitude": (["GPS:GPSLongitude"], dms),
    "GPSAltitudeRef": (["GPS:GPSAltitudeRef"], ENUMS.get),
    "GPSAltitude": (["GPS:GPSAltitude"], float),
}
# exiftool fields with no entry of their own in the EXIF data model (pointers, the thumbnail).
NOT_ENTRIES = {"IFD1:ThumbnailOffset", "IFD1:ThumbnailLength", "IFD1:ThumbnailImage",
               "ExifIFD:MakerNoteUnknownBinary"}


@pytest.mark.parametrize("photo", PHOTOS)
def test_exif_json_matches_exiftool_field_by_field(camera, photo):
    status, headers, body = camera.get(f"{ROUTE}?p={photo}&t=exif")
    assert status == 200 and headers["content-type"] == "application/json"
    assert int(headers["content-length"]) == len(body)
    pairs = json.loads(body, object_pairs_hook=lambda p: p)[0][1]
    ours = {}
    for name, value in pairs:
        ours.setdefault(name, []).append(value)

    path = card_file(camera, photo)
    ref = json.loads(exiftool(path, "-j", "-n", "-G1"))[0]
    checked = set()
    for name, values in ours.items():
        if name == "MakerNote":
            assert values == [exiftool(path, "-b", "-MakerNotes")[:64].hex()]
            continue
        assert name in FIELDS, f"no reference for {name}"
        keys, convert = FIELDS[name]
        present = [k for k in keys if k in ref]
        assert len(present) == len(values), (name, values, present)
        for key, value in zip(present, values):
            got, want = convert(value), ref[key]
            if isinstance(want, float) or isinstance(got, float):
                assert got == pytest.approx(want, abs=1e-6), (name, value, want)
            else:
                assert str(got) == str(want), (name, value, want)
            checked.add(key)
    groups = ("IFD0:", "IFD1:", "ExifIFD:", "GPS:")
    missing = {k for k in ref if k.startswith(groups)} - checked - NOT_ENTRIES
    assert not missing, f"exiftool fields absent from our answer: {missing}"


@pytest.mark.parametrize("photo", PHOTOS)
def test_thumbnail_and_screennail_are_the_embedded_images(camera, photo):
    path = card_file(camera, photo)
    with open(path, "rb") as f:
        data = f.read()

    status, headers, thumb = camera.get(f"{ROUTE}?p={photo}")
    assert status == 200 and headers["content-type"] == "image/jpeg"
    assert thumb == exiftool(path, "-b", "-ThumbnailImage")

    status, headers, scr = camera.get(f"{ROUTE}?p={photo}&t=scr")
    assert status == 200 and headers["content-type"] == "image/jpeg"
    assert int(headers["content-length"]) == len(scr)
    expected = split_screennail(data) or exiftool(path, "-b", "-PreviewImage")
    assert scr == expected


def test_camera_blocks_of_photos_and_clips(camera):
    path = card_file(camera, PHOTOS[0])
    with open(path, "rb") as f:
        app6 = [p for m, p in segments(f.read()) if m == 0xE6 and p.startswith(b"Tavro\0")]
    status, headers, body = camera.get(f"{ROUTE}?p={PHOTOS[0]}&t=zqmf")
    assert status == 200 and headers["content-type"] == "application/octet-stream"
    assert body == app6[0][6:]

    status, headers, body = camera.get(f"{ROUTE}?p=100TAVRO/ZQ010001.MP4&t=zqmf")
    assert status == 200 and body[:4] == b"DEVC"
    with open(card_file(camera, "100TAVRO/ZQ010001.MP4"), "rb") as f:
        assert body in f.read()


def test_tracks_stream_a_valid_reduced_clip(camera, tmp_path):
    source = card_file(camera, "100TAVRO/ZQ010001.MP4")
    want = packets(source)
    # All three tracks together are copied in the test of a clip past 4 GiB.
    for names, kinds in [("video", {"video"}), ("%22audio,telemetry%22", {"audio", "data"})]:
        conn = camera.connection()
        conn.request("GET", f"{ROUTE}?p=100TAVRO/ZQ010001.MP4&t=tracks&trackNames={names}")
        r = conn.getresponse()
        headers = {k.lower(): v for k, v in r.getheaders()}
        body = r.read()
        conn.close()
        # Streamed as it is built: chunked, never with a length known in advance.
        assert r.status == 200 and headers.get("transfer-encoding") == "chunked", names
        assert "content-length" not in headers
        out = tmp_path / "out.mp4"
        out.write_bytes(body)
        got = packets(str(out))
        # The time code track of the source has no packets ffprobe shows; the rest are copied.
        assert set(got) == kinds, names
        for kind in kinds:
            assert got[kind] == want[kind], (names, kind)
        decode = subprocess.run(["ffmpeg", "-v", "error", "-i", str(out), "-f", "null", "-"],
                                capture_output=True, text=True)
        assert decode.returncode == 0 and decode.stderr == "", names
