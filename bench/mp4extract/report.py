#!/usr/bin/env python3
"""Runs the MP4 extraction benchmark and prints its table (see run.sh)."""
import os
import struct
import subprocess
import sys
import time

ZQMP4, SYNTH, WORK = sys.argv[1:4]
ROUNDS = 7
LONG_MINUTES = 10


def box(kind, payload):
    return struct.pack(">I4s", 8 + len(payload), kind) + payload


def full(kind, payload, version=0, flags=0):
    return box(kind, struct.pack(">I", (version << 24) | flags) + payload)


def top_level(data):
    """(type, offset, size) of the top-level atoms."""
    atoms, at = [], 0
    while at + 8 <= len(data):
        size, kind = struct.unpack(">I4s", data[at:at + 8])
        if size == 1:
            size = struct.unpack(">Q", data[at + 8:at + 16])[0]
        if size < 8:
            break
        atoms.append((kind, at, size))
        at += size
    return atoms


def telemetry_trak(track_id, sizes, offsets):
    """A camera-like telemetry track: one sample a second, handler "Tavro MET", `zqmd`."""
    n = len(sizes)
    tkhd = struct.pack(">IIIII8xHHHH36xII", 0, 0, track_id, 0, n * 1000, 0, 0, 0, 0, 0, 0)
    mdhd = struct.pack(">IIIIHH", 0, 0, 1000, n * 1000, 0x55C4, 0)
    hdlr = b"mhlr" + b"meta" + b"appl" + struct.pack(">II", 0, 0) + bytes([9]) + b"Tavro MET"
    stbl = full(b"stsd", struct.pack(">I", 1) + box(b"zqmd", b"\0" * 6 + struct.pack(">H", 1)))
    stbl += full(b"stts", struct.pack(">III", 1, n, 1000))
    stbl += full(b"stsc", struct.pack(">IIII", 1, 1, 1, 1))
    stbl += full(b"stsz", struct.pack(">II", 0, n) + struct.pack(">%dI" % n, *sizes))
    stbl += full(b"co64", struct.pack(">I", n) + struct.pack(">%dQ" % n, *offsets))
    gmhd = box(b"gmhd", full(b"gmin", struct.pack(">H6xHH", 0x40, 0, 0)))
    dinf = box(b"dinf", full(b"dref", struct.pack(">I", 1) + full(b"url ", b"", flags=1)))
    minf = box(b"minf", gmhd + dinf + box(b"stbl", stbl))
    mdia = box(b"mdia", full(b"mdhd", mdhd) + full(b"hdlr", hdlr) + minf)
    return box(b"trak", full(b"tkhd", tkhd, flags=7) + mdia)


def add_telemetry(path, seconds):
    """Appends a telemetry track to an ffmpeg file whose movie atom comes last."""
    with open(path, "rb") as f:
        data = f.read()
    atoms = top_level(data)
    kind, moov_at, moov_size = atoms[-1]
    assert kind == b"moov", "the movie atom must come last"
    sizes = [4000 + (i * 13) % 500 for i in range(seconds)]
    payload = bytes((i * 7) & 0xFF for i in range(sum(sizes)))
    mdat_at = moov_at
    offsets, pos = [], mdat_at + 8
    for s in sizes:
        offsets.append(pos)
        pos += s
    moov = data[moov_at:moov_at + moov_size]
    children = top_level(moov[8:])
    body = b""
    for kind, at, size in children:
        child = moov[8 + at:8 + at + size]
        if kind == b"mvhd":
            next_id = struct.unpack(">I", child[-4:])[0]
            child = child[:-4] + struct.pack(">I", next_id + 1)
        body += child
    body += telemetry_trak(next_id, sizes, offsets)
    body += box(b"udta", box(b"FIRM", b"HD9.01.01.60.00"))
    with open(path, "wb") as f:
        f.write(data[:moov_at] + box(b"mdat", payload) + box(b"moov", body))


def make_clip():
    path = os.path.join(WORK, "clip1080p60s.mp4")
    subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-y",
                    "-f", "lavfi", "-i", "testsrc2=size=1920x1080:rate=30",
                    "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=48000", "-t", "60",
                    "-c:v", "libx264", "-preset", "ultrafast", "-b:v", "12M", "-g", "30",
                    "-c:a", "aac", "-b:a", "128k", "-f", "mp4", path], check=True,
                   stderr=subprocess.DEVNULL)
    add_telemetry(path, 60)
    return path


def make_long():
    sparse = os.path.join(WORK, "long.sparse.mp4")
    path = os.path.join(WORK, "long%dmin.mp4" % LONG_MINUTES)
    subprocess.run([sys.executable, SYNTH, str(LONG_MINUTES), sparse], check=True)
    # Real blocks, so that every tool reads the same pages rather than holes.
    subprocess.run(["cp", "--sparse=never", sparse, path], check=True)
    os.unlink(sparse)
    return path


def moov_size(path):
    with open(path, "rb") as f:
        data = f.read(64 << 20) if os.path.getsize(path) < (64 << 20) else None
    if data is None:
        # Walk the headers only.
        size_total, at = os.path.getsize(path), 0
        with open(path, "rb") as f:
            while at < size_total:
                f.seek(at)
                size, kind = struct.unpack(">I4s", f.read(8))
                if size == 1:
                    size = struct.unpack(">Q", f.read(8))[0]
                if kind == b"moov":
                    return size
                at += size
        return 0
    return next(size for kind, _, size in top_level(data) if kind == b"moov")


def quoted(cmd):
    return " ".join("'%s'" % c.replace("'", "'\\''") for c in cmd)


def run(cmd, into_pipe=True):
    """Wall time (s) and peak RSS (KiB) of one run. The output goes through a pipe to a
    reader (`| cat > /dev/null`), as it goes to a client; GNU time reports the largest RSS
    of the pipeline's processes (the reading cat holds under 2 MiB)."""
    rss_file = os.path.join(WORK, "rss")
    shell = quoted(cmd) + (" | cat > /dev/null" if into_pipe else " > /dev/null")
    start = time.perf_counter()
    subprocess.run(["/usr/bin/time", "-f", "%M", "-o", rss_file, "sh", "-c", shell],
                   check=True, stderr=subprocess.DEVNULL)
    elapsed = time.perf_counter() - start
    with open(rss_file) as f:
        rss = int(f.read().split()[-1])
    return elapsed, rss


def best(cmd, into_pipe=True):
    runs = [run(cmd, into_pipe) for _ in range(ROUNDS)]
    return min(r[0] for r in runs), max(r[1] for r in runs)


def first_byte(cmd):
    """Best time from starting the process to its first output byte (s)."""
    times = []
    for _ in range(ROUNDS):
        start = time.perf_counter()
        proc = subprocess.Popen(cmd, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        proc.stdout.read(1)
        times.append(time.perf_counter() - start)
        while proc.stdout.read(1 << 20):
            pass
        proc.wait()
    return min(times)


def best_ffmpeg(path):
    out = os.path.join(WORK, "ffmpeg-out.mp4")
    times = []
    for _ in range(ROUNDS):
        start = time.perf_counter()
        subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-y", "-i", path, "-map", "0:v",
                        "-c", "copy", "-f", "mp4", out], check=True, stderr=subprocess.DEVNULL)
        times.append(time.perf_counter() - start)
        os.unlink(out)
    return min(times)


def main():
    clips = [("60 s 1080p H.264+AAC+telemetry", make_clip()),
             ("%d min synthetic" % LONG_MINUTES, make_long())]
    rows = []
    for name, path in clips:
        size = os.path.getsize(path)
        run(["cat", path])  # warm the page cache: every tool reads from memory
        video_cmd = [ZQMP4, "extract", "--tracks", "video", path]
        every_cmd = [ZQMP4, "extract", "--tracks", "video,audio,telemetry", path]
        rows.append((name, size, moov_size(path), best(["cat", path]), best(video_cmd),
                     best(every_cmd), best_ffmpeg(path), first_byte(video_cmd),
                     first_byte(every_cmd)))

    mb = 1e6
    print("MP4 extraction (release build; best of %d runs, warm page cache)" % ROUNDS)
    print()
    print("Throughput = source bytes / wall time of the whole process. cat and zqmp4 write into")
    print("a pipe read by `cat > /dev/null`; ffmpeg (`-map 0:v -c copy -f mp4 OUT`) needs a")
    print("seekable file. Peak RSS is the largest of the pipeline's processes.")
    print()
    head = ("| source | size MB | moov KiB | cat MB/s | video MB/s | video/cat | ffmpeg MB/s | "
            "video vs ffmpeg | all tracks MB/s | all/cat | first byte ms (video; all) | "
            "peak RSS MiB (video; all; cat) | RSS/moov (all) |")
    print(head)
    print("|" + "---|" * (head.count("|") - 1))
    for name, size, moov, cat, video, every, ffmpeg, fb_video, fb_every in rows:
        def rate(t):
            return size / t / mb
        print("| %s | %.0f | %.0f | %.0f | %.0f | %.2f | %.0f | %.1fx | %.0f | %.2f | %.1f; %.1f | "
              "%.1f; %.1f; %.1f | %.1f |" % (
                  name, size / mb, moov / 1024, rate(cat[0]), rate(video[0]), cat[0] / video[0],
                  size / ffmpeg / mb, ffmpeg / video[0], rate(every[0]), cat[0] / every[0],
                  fb_video * 1000, fb_every * 1000, video[1] / 1024, every[1] / 1024,
                  cat[1] / 1024, every[1] * 1024 / moov))


if __name__ == "__main__":
    main()
