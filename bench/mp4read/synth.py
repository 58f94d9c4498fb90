#!/usr/bin/env python3
"""Writes a recording's structure for the MP4 read benchmark: a camera-like movie of MINUTES
minutes (H.264 video at 30 frames per second, one sample per chunk, AAC at 48 kHz in chunks
of about half a second, one telemetry sample per second) whose media data is a sparse hole of
the right size, so the file is as large as the recording but costs no disk.

usage: synth.py MINUTES OUT
"""
import struct
import sys


def box(kind, payload):
    return struct.pack(">I4s", 8 + len(payload), kind) + payload


def full(kind, payload, version=0, flags=0):
    return box(kind, struct.pack(">I", (version << 24) | flags) + payload)


def pascal(text, width=None):
    data = bytes([len(text)]) + text
    return data.ljust(width, b"\0") if width else data


def trak(track_id, handler, name, timescale, durations, sizes, chunks, offsets, entry,
         media_header, stss=None):
    total = sum(count * dur for count, dur in durations)
    tkhd = struct.pack(">IIIII8xHHHH36xII", 0, 0, track_id, 0, total * 1000 // timescale,
                       0, 0, 0x100 if handler == b"soun" else 0, 0, 0, 0)
    mdhd = struct.pack(">IIIIHH", 0, 0, timescale, total, 0x55C4, 0)
    hdlr = b"mhlr" + handler + b"appl" + struct.pack(">II", 0, 0) + pascal(name)
    stbl = full(b"stsd", struct.pack(">I", 1) + entry)
    stbl += full(b"stts", struct.pack(">I", len(durations)) +
                 b"".join(struct.pack(">II", c, d) for c, d in durations))
    if stss:
        stbl += full(b"stss", struct.pack(">I", len(stss)) + b"".join(struct.pack(">I", n) for n in stss))
    stbl += full(b"stsc", struct.pack(">I", len(chunks)) +
                 b"".join(struct.pack(">III", f, n, 1) for f, n in chunks))
    stbl += full(b"stsz", struct.pack(">II", 0, len(sizes)) + struct.pack(">%dI" % len(sizes), *sizes))
    stbl += full(b"co64", struct.pack(">I", len(offsets)) + struct.pack(">%dQ" % len(offsets), *offsets))
    dinf = box(b"dinf", full(b"dref", struct.pack(">I", 1) + full(b"url ", b"", flags=1)))
    minf = box(b"minf", media_header + dinf + box(b"stbl", stbl))
    mdia = box(b"mdia", full(b"mdhd", mdhd) + full(b"hdlr", hdlr) + minf)
    return box(b"trak", full(b"tkhd", tkhd, flags=7) + mdia)


def main():
    minutes = int(sys.argv[1])
    out = sys.argv[2]
    seconds = minutes * 60
    video_n = seconds * 30
    video_sizes = [60000 if i % 30 == 0 else 15000 + (i * 7919) % 9000 for i in range(video_n)]
    audio_n = seconds * 48000 // 1024
    audio_sizes = [300 + (i * 31) % 120 for i in range(audio_n)]
    meta_n = seconds
    meta_sizes = [4000 + (i * 13) % 500 for i in range(meta_n)]

    # Interleave half a second of each: video samples one per chunk, an audio chunk, and a
    # telemetry sample every second.
    header = 4096  # room left for ftyp and the mdat header
    pos = header
    video_off, audio_off, meta_off, audio_chunks = [], [], [], []
    a = 0
    for half in range(seconds * 2):
        for i in range(half * 15, half * 15 + 15):
            video_off.append(pos)
            pos += video_sizes[i]
        end = min(audio_n, ((half + 1) * 24000 + 1023) // 1024)
        if end > a:
            audio_off.append(pos)
            audio_chunks.append(end - a)
            pos += sum(audio_sizes[a:end])
            a = end
        if half % 2 == 1:
            meta_off.append(pos)
            pos += meta_sizes[half // 2]
    stsc_audio = []
    for i, n in enumerate(audio_chunks):
        if not stsc_audio or stsc_audio[-1][1] != n:
            stsc_audio.append((i + 1, n))

    avc = (b"\0" * 6 + struct.pack(">H", 1) + struct.pack(">HH4sII", 0, 0, b"appl", 0, 512) +
           struct.pack(">HHIII H", 1920, 1080, 0x480000, 0x480000, 0, 1) + pascal(b"Tavro AVC encoder", 32) +
           struct.pack(">Hh", 24, -1) + box(b"avcC", bytes.fromhex("01640028ffe1000001")))
    mp4a = (b"\0" * 6 + struct.pack(">H", 1) + struct.pack(">HH4sHHHHI", 0, 0, b"\0\0\0\0", 2, 16, 0, 0, 48000 << 16) +
            full(b"esds", bytes.fromhex("03190000")))
    zqmd = b"\0" * 6 + struct.pack(">H", 1)
    vmhd = full(b"vmhd", b"\0" * 8, flags=1)
    smhd = full(b"smhd", b"\0" * 4)
    gmhd = box(b"gmhd", full(b"gmin", struct.pack(">H6xHH", 0x40, 0, 0)))
    traks = trak(1, b"vide", b"Tavro AVC", 30000, [(video_n, 1001)], video_sizes, [(1, 1)], video_off,
                 box(b"avc1", avc), vmhd, stss=list(range(1, video_n + 1, 30)))
    traks += trak(2, b"soun", b"Tavro AAC", 48000, [(audio_n, 1024)], audio_sizes, stsc_audio, audio_off,
                  box(b"mp4a", mp4a), smhd)
    traks += trak(3, b"meta", b"Tavro MET", 1000, [(meta_n, 1000)], meta_sizes, [(1, 1)], meta_off,
                  box(b"zqmd", zqmd), gmhd)
    mvhd = struct.pack(">IIIII HH10x36x24xI".replace(" ", ""), 0, 0, 1000, seconds * 1000, 0x10000, 0x100, 0, 4)
    moov = box(b"moov", full(b"mvhd", mvhd) + traks + box(b"udta", box(b"FIRM", b"HD9.01.01.60.00")))
    ftyp = box(b"ftyp", b"avc1" + struct.pack(">I", 0) + b"avc1isom")
    payload = pos - header
    with open(out, "wb") as f:
        f.write(ftyp)
        f.write(box(b"free", b"\0" * (header - len(ftyp) - 16 - 8)))
        f.write(struct.pack(">I4sQ", 1, b"mdat", 16 + payload))
        f.seek(pos)
        f.write(moov)


if __name__ == "__main__":
    main()
