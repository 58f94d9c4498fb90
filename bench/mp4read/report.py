#!/usr/bin/env python3
"""Runs the MP4 read benchmark and prints its table (see run.sh)."""
import os
import subprocess
import sys
import time

ZQMP4, SYNTH, WORK = sys.argv[1:4]
MINUTES = (1, 10, 60)


def bench(path, track):
    out = subprocess.run([ZQMP4, "bench", path, str(track)], check=True, capture_output=True,
                         text=True).stdout
    return {k: float(v) for k, v in (line.split("=") for line in out.split())}


def wall(cmd, rounds=9, check=True):
    """Best wall time of `rounds` runs of a command, in milliseconds."""
    best = None
    for _ in range(rounds):
        start = time.perf_counter()
        subprocess.run(cmd, check=check, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        elapsed = (time.perf_counter() - start) * 1000
        best = elapsed if best is None else min(best, elapsed)
    return best


# What each process costs before it opens a file (loading its libraries), shown beside the
# open times so that the part spent on the file can be judged.
ZQMP4_START = wall([ZQMP4], check=False)
FFPROBE_START = wall(["ffprobe", "-version"])

rows = []
for minutes in MINUTES:
    path = os.path.join(WORK, "rec%d.mp4" % minutes)
    subprocess.run([sys.executable, SYNTH, str(minutes), path], check=True)
    video = bench(path, 0)
    audio = bench(path, 1)
    # Both tools open the file in a process of their own and read the whole movie atom:
    # zqmp4 lists the telemetry track, ffprobe reports the streams without probing samples.
    ours = wall([ZQMP4, "samples", path, "2"])
    theirs = wall(["ffprobe", "-v", "quiet", "-probesize", "32", "-analyzeduration", "0",
                   "-show_entries", "stream=codec_type", path])
    rows.append((minutes, video, audio, ours, theirs))

print("MP4 read: movie atom parse and sample lookups (zqmp4 bench, release build)")
print()
head = ("| recording | moov KiB | samples (v+a) | parse ms | parse ns/sample | heap KiB | "
        "heap/moov | video idx M/s | video time M/s | audio idx M/s | audio time M/s | "
        "zqmp4 open ms | ffprobe open ms | ffprobe/zqmp4 |")
print("Open = a whole process that reads the movie atom (best of 9). Process start-up alone: "
      "zqmp4 %.1f ms, ffprobe %.1f ms." % (ZQMP4_START, FFPROBE_START))
print()
print(head)
print("|" + "---|" * (head.count("|") - 1))
for minutes, v, a, ours, theirs in rows:
    samples = v["samples"] + a["samples"]
    print("| %d min | %.0f | %d | %.2f | %.1f | %.0f | %.2f | %.1f | %.1f | %.1f | %.1f | %.1f | %.1f | %.1fx |" % (
        minutes, v["moov_bytes"] / 1024, samples, v["parse_us"] / 1000,
        v["parse_us"] * 1000 / samples, v["heap_bytes"] / 1024,
        v["heap_bytes"] / v["moov_bytes"], v["lookups_by_index_per_s"] / 1e6,
        v["lookups_by_time_per_s"] / 1e6, a["lookups_by_index_per_s"] / 1e6,
        a["lookups_by_time_per_s"] / 1e6, ours, theirs, theirs / ours))
print()
base = rows[0]
last = rows[-1]
growth = (last[1]["parse_us"] / base[1]["parse_us"]) / ((last[1]["samples"]) / base[1]["samples"])
print("Parse time grows %.2fx as fast as the sample count from %d to %d minutes "
      "(1.00 = linear); lookups per second stay flat when lookups are O(log runs)." % (
          growth, MINUTES[0], MINUTES[-1]))
