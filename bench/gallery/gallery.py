#!/usr/bin/env python3
"""The camera's page on a big card: time to the first screenful of thumbnails, and requests.

A card of 1,000 media files (20 folders; every other number a clip with its proxy and .THM
thumbnail, the others photos with an EXIF thumbnail) is served by the daemon with the
simulated camera. Headless Chromium opens the page at a desktop and a phone size; the time is
from the start of the navigation until every card in the first screen shows its thumbnail
(measured in the page, frame by frame), with the requests the page had made by then and one
second later (lazy loading must keep both near one screenful).

Peers in the same run: in the same browser, a plain HTML page of exactly the thumbnails of
that first screen as <img> elements (what the browser itself costs, with no script, list or
layout of the card); from a Python client on one kept-alive connection, the media list request
alone, the media list plus those thumbnails (the least any gallery must fetch), and every
thumbnail of the card (what a gallery without lazy loading would ask for). Medians of RUNS
page loads and of SCRIPT_RUNS script runs.
Usage: gallery.py BIN_DIR
"""

import http.client
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(REPO, "tests", "e2e"))
from benchlib import median_ms, start_daemon  # noqa: E402
from chromium import Browser  # noqa: E402

RUNS = 5
SCRIPT_RUNS = 21  # the script peers are quick: more runs steady their medians
FOLDERS = 20
FILES = 1000

# Runs in the page after the navigation: resolves once every card that starts inside the
# screen has its thumbnail (or its placeholder, when there is none), with the time since the
# navigation began and the requests made so far.
FIRST_SCREEN = """
const done = arguments[arguments.length - 1];
// Requests that went to the camera (answers from the browser's cache moved no bytes).
const requestsMade = () => [...performance.getEntriesByType('navigation'),
  ...performance.getEntriesByType('resource')].filter(e => e.transferSize > 0).length;
function check() {
  const cards = [...document.querySelectorAll('#grid .card')];
  const first = cards.filter(c => c.getBoundingClientRect().top < window.innerHeight);
  const shown = first.length > 0 && first.every(c => {
    const t = c.querySelector('.thumb');
    return t.classList.contains('none') ||
      (t.classList.contains('loaded') && t.querySelector('img').complete);
  });
  if (!shown) { requestAnimationFrame(check); return; }
  const at = performance.now();
  requestAnimationFrame(() => done({
    ms: at,
    items: window.zqPage.gallery.shownItems().length,
    first: first.map(c => c.querySelector('img').dataset.src),
    failed: first.filter(c => c.querySelector('.thumb').classList.contains('none')).length,
    requests: requestsMade(),
  }));
}
check();
"""
LATER = """return [...performance.getEntriesByType('navigation'),
  ...performance.getEntriesByType('resource')].filter(e => e.transferSize > 0).length"""
# The same in the plain page: every image complete.
ALL_IMAGES = """
const done = arguments[arguments.length - 1];
function check() {
  const images = [...document.images];
  if (images.length === 0 || !images.every(i => i.complete && i.naturalWidth > 0)) {
    requestAnimationFrame(check);
    return;
  }
  done(performance.now());
}
check();
"""


def plain_page(urls):
    """The peer page: the thumbnails as plain images, nothing else."""
    images = "\n".join(f'<img src="{u}" width="160" height="90" alt="">' for u in urls)
    return f"<!DOCTYPE html>\n<html><head><meta charset=utf-8><title>peer</title></head>" \
           f"<body>\n{images}\n</body></html>\n"


def make_card(dcim, thumb, photo):
    """FILES media files in FOLDERS folders; clips are sparse, thumbnails and photos real
    (hard links to one of each, so the card costs no space)."""
    per_folder = FILES // FOLDERS
    for k in range(FOLDERS):
        folder = os.path.join(dcim, f"{100 + k}TAVRO")
        os.makedirs(folder)
        for number in range(1, per_folder + 1):
            if number % 2:
                for ext, size in (("MP4", 50 << 20), ("LRV", 5 << 20)):
                    with open(os.path.join(folder, f"ZQ01{number:04d}.{ext}"), "wb") as f:
                        f.truncate(size)
                os.link(thumb, os.path.join(folder, f"ZQ01{number:04d}.THM"))
            else:
                os.link(photo, os.path.join(folder, f"TAVR{number:04d}.JPG"))


def sample_media(bin_dir, tmp):
    """A clip thumbnail and a photo with an EXIF thumbnail, from the sample card."""
    card = os.path.join(tmp, "sample", "fuse_d")
    subprocess.run([os.path.join(bin_dir, "zqsim"), "card", "make", card], check=True,
                   env=dict(os.environ, ZQ_ROOT=os.path.join(tmp, "sample")),
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    folder = os.path.join(card, "DCIM", "100TAVRO")
    return os.path.join(folder, "ZQ010001.THM"), os.path.join(folder, "TAVR0003.JPG")


def fetch_all(port, paths):
    """GETs `paths` in turn on one kept-alive connection; every answer must be 200."""
    conn = http.client.HTTPConnection("127.0.0.1", port, timeout=60)
    try:
        for path in paths:
            conn.request("GET", path)
            r = conn.getresponse()
            r.read()
            if r.status != 200:
                raise RuntimeError(f"{path}: {r.status}")
    finally:
        conn.close()


def load_average():
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])


def load(browser, url, size, visit):
    """A page load; a first visit starts with an empty cache (the daemon lets the browser
    keep its static files for an hour, so a second visit loads no script)."""
    if visit == "first":
        browser.driver.execute_cdp_cmd("Network.clearBrowserCache", {})
    browser.load(url, size)


def row(browser, root, base, port, list_path, size, visit):
    runs = []
    for _ in range(RUNS):
        load(browser, base + "#/gallery", size, visit)
        result = browser.driver.execute_async_script(FIRST_SCREEN)
        time.sleep(1)
        result["later"] = browser.driver.execute_script(LATER)
        runs.append(result)
    if any(r["items"] != FILES for r in runs) or any(r["failed"] for r in runs):
        raise RuntimeError(f"the page showed {runs[0]['items']} items, "
                           f"{runs[0]['failed']} without thumbnails")
    page_ms = statistics.median(r["ms"] for r in runs)
    first = runs[0]["first"]
    with open(os.path.join(root, "usr/local/tavro/www/peer.html"), "w") as f:
        f.write(plain_page(first))
    plain = []
    for _ in range(RUNS):
        load(browser, base + "peer.html", size, visit)
        plain.append(browser.driver.execute_async_script(ALL_IMAGES))
    plain_ms = statistics.median(plain)
    list_ms = median_ms(lambda: fetch_all(port, [list_path]), SCRIPT_RUNS)
    floor_ms = median_ms(lambda: fetch_all(port, [list_path] + first), SCRIPT_RUNS)
    print(f"| {size + ', ' + visit:14} | {page_ms:18.0f} | {len(first):10d} |"
          f" {statistics.median(r['requests'] for r in runs):13.0f} |"
          f" {statistics.median(r['later'] for r in runs):18.0f} |"
          f" {plain_ms:22.0f} | {page_ms / plain_ms:5.2f} | {list_ms:13.1f} |"
          f" {floor_ms:26.1f} |")


def main():
    bin_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(REPO, "build", "bin")
    tmp = tempfile.mkdtemp(prefix="zqbench.")
    browser = None
    sim = daemon = None
    try:
        thumb, photo = sample_media(bin_dir, tmp)
        root = os.path.join(tmp, "camera")
        shutil.copytree(os.path.join(REPO, "platform", "sim", "image"), root)
        shutil.copytree(os.path.join(REPO, "www"), os.path.join(root, "usr/local/tavro/www"),
                        dirs_exist_ok=True)
        make_card(os.path.join(root, "tmp/fuse_d/DCIM"), thumb, photo)
        env = dict(os.environ, ZQ_ROOT=root)
        daemon, ports = start_daemon(bin_dir, env)
        log = open(os.path.join(tmp, "sim.log"), "wb")
        sim = subprocess.Popen([os.path.join(bin_dir, "zqsim"), "serve"], env=env, stdout=log,
                               stderr=log)
        port = ports[1]
        base = f"http://127.0.0.1:{port}/"
        list_path = "/zq/zqMediaListEx?f=videophoto"
        deadline = time.monotonic() + 20
        while True:  # until the simulated media database answers with the whole card
            try:
                fetch_all(port, [list_path])
                break
            except (OSError, RuntimeError):
                if time.monotonic() > deadline:
                    raise
                time.sleep(0.1)
        browser = Browser()
        print(f"{FILES} media files in {FOLDERS} folders; median of {RUNS} page loads; "
              f"load average before: {load_average()}\n")
        print("| screen, visit  | first screenful ms | thumbnails | requests then |"
              " requests 1 s later | plain page of those ms | ratio | list alone ms |"
              " list + those thumbnails ms |")
        print("|----------------|-------------------:|-----------:|--------------:|"
              "-------------------:|-----------------------:|------:|--------------:|"
              "---------------------------:|")
        for size in ("desktop", "phone"):
            for visit in ("first", "again"):
                row(browser, root, base, port, list_path, size, visit)
        every = [f"/zq/zqMediaMetadata?p={100 + k}TAVRO/"
                 f"{'ZQ01' if n % 2 else 'TAVR'}{n:04d}.{'MP4' if n % 2 else 'JPG'}"
                 for k in range(FOLDERS) for n in range(1, FILES // FOLDERS + 1)]
        t0 = time.perf_counter()
        fetch_all(port, [list_path] + every)
        all_ms = (time.perf_counter() - t0) * 1000
        print(f"\nEvery thumbnail of the card by the script (no lazy loading): {len(every) + 1} "
              f"requests, {all_ms:.0f} ms. Load average after: {load_average()}")
    finally:
        if browser:
            browser.close()
        for p in (daemon, sim):
            if p:
                p.terminate()
                p.wait(10)
        shutil.rmtree(tmp, ignore_errors=True)


if __name__ == "__main__":
    main()
