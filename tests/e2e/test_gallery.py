"""The camera's page in a real browser: headless Chromium, driven through chromedriver, against
the daemon and the simulated camera with the sample card.

Every test drains the browser's console first and checks it last: no script errors, no
warnings from the page, and no failed requests except those the daemon really answers so (a
thumbnail that a file does not have, a list refused while recording), each asked again here to
be sure. Screenshots of the gallery, the viewer and the remote go to ZQ_SCREENSHOT_DIR (CTest
sets it to screenshots/ in the build tree).
"""

import json
import os
import re
import subprocess
import time
import urllib.parse

import pytest
from selenium.common.exceptions import JavascriptException, TimeoutException
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import Select, WebDriverWait

from chromium import Browser
from conftest import INTERNAL, program

SD = "/tmp/fuse_d/DCIM"


@pytest.fixture(scope="module")
def browser():
    b = Browser()
    yield b
    b.close()


class Page:
    """The page of one camera in the shared browser."""

    def __init__(self, browser, camera):
        self.browser = browser
        self.d = browser.driver
        self.camera = camera
        self.base = f"http://127.0.0.1:{camera.ports[INTERNAL]}/"
        self.allowed = []  # (status, URL pattern) of failed requests a test expects
        self.d.get_log("browser")  # what earlier tests left

    def open(self, route="#/gallery", size="desktop"):
        self.browser.load(self.base + route, size)
        self.wait("window.zqPage && window.zqPage.state")
        return self

    def js(self, script, *args):
        return self.d.execute_script(script, *args)

    def wait(self, expression, timeout=10, what=None):
        """Waits until the JavaScript expression is truthy (an expression that throws, on an
        element not there yet, is not); returns its value."""
        try:
            return WebDriverWait(self.d, timeout, poll_frequency=0.05,
                                 ignored_exceptions=[JavascriptException]).until(
                lambda d: d.execute_script(f"return ({expression})"))
        except TimeoutException:
            raise AssertionError(f"timed out waiting for {what or expression}") from None

    def until(self, check, timeout=10, what="a condition"):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            value = check()
            if value:
                return value
            time.sleep(0.05)
        raise AssertionError(f"timed out waiting for {what}")

    def find(self, css):
        return self.d.find_element(By.CSS_SELECTOR, css)

    def cards(self):
        return self.js("""return [...document.querySelectorAll('#grid .card')].map(c => ({
            key: c.dataset.key, kind: c.dataset.kind, chapters: c.dataset.chapters,
            frames: c.dataset.frames, missing: c.dataset.missing, time: c.dataset.time }))""")

    def gallery(self, size="desktop"):
        self.open("#/gallery", size)
        self.wait("document.querySelectorAll('#grid .card').length > 0", what="the gallery")
        return self

    def screenshot(self, name):
        folder = os.environ.get("ZQ_SCREENSHOT_DIR")
        if folder:
            self.browser.screenshot(os.path.join(folder, f"{name}.png"))

    def allow(self, status, pattern):
        self.allowed.append((status, re.compile(pattern)))

    def check_console(self):
        """Fails on any console message of level WARNING or above that is not a failed request
        the daemon really answers with that status."""
        problems = []
        for entry in self.d.get_log("browser"):
            if entry["level"] not in ("WARNING", "SEVERE"):
                continue
            m = re.match(r"(\S+) - Failed to load resource: the server responded with a status of "
                         r"(\d+)", entry["message"])
            if entry["source"] == "network" and m:
                url, status = m.group(1), int(m.group(2))
                path = url[len(self.base) - 1:]
                if any(s == status and p.search(path) for s, p in self.allowed):
                    continue
                if status == 404 and is_thumbnail(path) and self.camera.get(path)[0] == 404:
                    continue  # the file has no thumbnail: the card shows its placeholder
                if status == 500 and self.has_no_telemetry(path):
                    continue  # a clip without telemetry: the viewer says so
            problems.append(entry)
        assert problems == [], problems


    def has_no_telemetry(self, path):
        """True for a telemetry request (a clip's track, a photo's block) that fails again, of
        a file in which the zqmf tool finds no GPS fix either."""
        query = urllib.parse.parse_qs(urllib.parse.urlsplit(path).query)
        if query.get("t") not in (["tracks"], ["zqmf"]) or self.camera.get(path)[0] != 500:
            return False
        if query["t"] == ["tracks"] and query.get("trackNames") != ["telemetry"]:
            return False
        tool = subprocess.run([*program("zqmf"), "json",
                               self.camera.path(f"{SD}/{query['p'][0]}"), "GPS5"],
                              capture_output=True, text=True)
        return tool.returncode != 0 or json.loads(tool.stdout)["samples"] == []


def is_thumbnail(path):
    query = urllib.parse.parse_qs(urllib.parse.urlsplit(path).query)
    return path.startswith("/zq/zqMediaMetadata?") and "t" not in query


@pytest.fixture
def page(camera, browser):
    p = Page(browser, camera)
    yield p
    try:
        p.check_console()
    finally:
        # Left open, the page would go on polling its camera after the daemon stops, and the
        # refused requests would land in the next test's console.
        browser.driver.get("about:blank")


def shown(cards):
    return {c["key"]: {k: c[k] for k in ("kind", "frames", "missing", "chapters")} for c in cards}


def zqmf_samples(camera, path, key):
    """Rows of one telemetry key of a card file, as the zqmf tool reads them."""
    out = subprocess.run([*program("zqmf"), "json", camera.path(f"{SD}/{path}"), key],
                         capture_output=True, text=True, check=True).stdout
    return [row for sample in json.loads(out)["samples"] for row in sample["values"]]


def test_gallery_shows_the_items_of_each_storage_grouped(page):
    # The grouping itself is the media list module's unit test; here the sample card's forms
    # as the page shows them.
    page.gallery()
    sd = shown(page.cards())
    assert sd["sd/100TAVRO/TAVR0005.MP4"]["chapters"] == "3"
    assert sd["sd/102TAVRO/QH010010.MP4"]["chapters"] == "2"
    assert "sd/100TAVRO/ZQ010005.MP4" not in sd  # a chapter is no card of its own
    assert sd["sd/101TAVRO/Q0010001.JPG"] == {"kind": "burst", "frames": "29", "missing": "12",
                                               "chapters": None}
    assert sd["sd/101TAVRO/Q0020031.JPG"]["missing"] == "40,41,55"
    badges = page.js("""return Object.fromEntries([...document.querySelectorAll('#grid .card')]
        .map(c => [c.dataset.key, [...c.querySelectorAll('.badge')].map(b => b.textContent)]))""")
    assert "360° video" in badges["sd/102TAVRO/ZQ010011.360"]
    assert "Back lens" in badges["sd/100QBACK/QB010021.MP4"]
    assert "3D right" in badges["sd/100Q3D_R/TAVR0020.JPG"]

    # A thumbnail loads (a clip's, from its .THM beside it).
    page.wait("""[...document.querySelectorAll('.thumb.loaded img')].some(i => i.naturalWidth > 0
        && i.src.endsWith('p=100TAVRO/ZQ010001.MP4'))""", what="the thumbnail of ZQ010001.MP4")
    page.wait("document.querySelectorAll('.thumb.loaded').length >= 3")
    page.screenshot("gallery-desktop")

    # The internal storage, beside the SD card.
    page.find("button.storage[data-storage=internal]").click()
    internal = {c["key"] for c in page.cards()}
    assert internal and all(k.startswith("internal/") for k in internal), internal
    page.find("button.storage[data-storage=sd]").click()

    # A filter (the filters and orders themselves are the module's unit test).
    Select(page.find("#filter-type")).select_by_value("photo")
    kinds = {c["kind"] for c in page.cards()}
    assert kinds == {"photo"}

    # A phone-sized screen: nothing wider than the screen.
    page.gallery("phone")
    page.screenshot("gallery-phone")
    assert page.js("return document.documentElement.scrollWidth <= window.innerWidth")


def test_keyboard_opens_an_item_and_comes_back(page):
    page.gallery()
    # Tab through the header and the toolbar to the first card.
    for _ in range(20):
        ActionChains(page.d).send_keys(Keys.TAB).perform()
        if page.js("return document.activeElement.closest('.card') !== null"):
            break
    key = page.js("return document.activeElement.closest('.card')?.dataset.key")
    assert key == page.cards()[0]["key"]
    ActionChains(page.d).send_keys(Keys.ENTER).perform()
    page.wait("location.hash.startsWith('#/view/')", what="the viewer")
    assert page.js("return decodeURIComponent(location.hash)") == f"#/view/{key}"
    page.wait("document.querySelector('#viewer-title')")
    ActionChains(page.d).send_keys(Keys.ARROW_RIGHT).perform()
    page.wait(f"decodeURIComponent(location.hash) !== '#/view/{key}'", what="the next item")
    ActionChains(page.d).send_keys(Keys.ESCAPE).perform()
    page.wait("location.hash === '#/gallery'", what="the gallery again")


def test_clip_plays_seeks_and_plots_its_telemetry(page, camera):
    clip = "100TAVRO/ZQ010001.MP4"
    page.open(f"#/view/sd/{clip}")
    video = page.wait("document.querySelector('#player')")
    assert page.js("return arguments[0].src", video).endswith("/videos/DCIM/100TAVRO/ZQ010001.LRV")
    # The original, straight from the card.
    page.find("button[data-quality=original]").click()
    page.wait("document.querySelector('#player').src.endsWith('/videos/DCIM/100TAVRO/ZQ010001.MP4')")
    page.js("const v = document.querySelector('#player'); v.muted = true; v.play()")
    page.wait("document.querySelector('#player').currentTime > 0.2", what="the clip playing")
    # Seeking asks the card for a range; playback goes on from there.
    page.wait("document.querySelector('#player').seekable.length > 0")
    assert page.js("return document.querySelector('#player').seekable.end(0)") > 1.9
    page.js("document.querySelector('#player').currentTime = 1.2")
    page.wait("document.querySelector('#player').currentTime > 1.3", what="playback after the seek")
    page.screenshot("viewer-clip-desktop")

    # Telemetry: as many GPS points as the clip has fixes, and the motion sensors.
    page.wait("document.querySelector('figure.plot.gps')", what="the GPS plot")
    fixes = zqmf_samples(camera, clip, "GPS5")
    points = page.js("return document.querySelector('figure.plot.gps polyline.track')"
                     ".getAttribute('points').trim().split(/\\s+/).length")
    assert points == len(fixes) == 36
    for key, sensor in (("ACCL", "Accelerometer"), ("GYRO", "Gyroscope")):
        rows = zqmf_samples(camera, clip, key)
        figure = f"figure.plot.motion[data-sensor={sensor}]"
        assert int(page.js(f"return document.querySelector('{figure}').dataset.samples")) == len(rows)
        for axis, c in enumerate("xyz"):
            legend = page.js(f"return document.querySelector('{figure} .legend[data-channel={c}]')"
                             ".dataset")
            assert float(legend["min"]) == pytest.approx(min(r[axis] for r in rows), rel=1e-5,
                                                         abs=1e-6)
            assert float(legend["max"]) == pytest.approx(max(r[axis] for r in rows), rel=1e-5,
                                                         abs=1e-6)
    # The track-reduced downloads point at the metadata route.
    href = page.js("return document.querySelector('[data-download=\"Telemetry only\"]').href")
    status, _, body = camera.get(href[len(page.base) - 1:])
    assert status == 200 and body[4:8] == b"ftyp"


def test_chapters_play_in_turn(page):
    page.open("#/view/sd/100TAVRO/TAVR0005.MP4")
    page.wait("document.querySelector('#player')")
    # The chapters' proxies are not playable (sparse files): the viewer falls back.
    page.wait("document.querySelector('#player').src.endsWith('TAVR0005.MP4')",
              what="the original after the proxy failed")
    page.js("const v = document.querySelector('#player'); v.muted = true; v.currentTime = 0.9;"
            " v.play()")
    page.wait("/ZQ010005\\.(LRV|MP4)$/.test(document.querySelector('#player')?.src)",
              what="the next chapter after the first ended")


def test_photo_shows_exif_screennail_and_position(page, camera):
    photo = "100TAVRO/TAVR0004.JPG"
    page.open(f"#/view/sd/{photo}")
    page.wait("document.querySelector('#picture').complete && "
              "document.querySelector('#picture').naturalWidth > 0")
    assert "t=scr" in page.js("return document.querySelector('#picture').src")
    assert page.js("return document.querySelector('#picture').naturalWidth") == 640
    model = page.wait("document.querySelector('#exif dd[data-tag=Model]')?.textContent")
    assert model == "TAVRO T9"
    assert page.find("#exif dd[data-tag=ExposureTime]").text == "1/240 sec."
    page.wait("document.querySelector('figure.plot.gps')")
    fixes = zqmf_samples(camera, photo, "GPS5")
    assert page.js("return document.querySelector('figure.plot.gps polyline.track')"
                   ".getAttribute('points').trim().split(/\\s+/).length") == len(fixes) == 1
    assert page.js("return document.querySelector('figure.plot.motion').dataset.samples") == "1"
    page.screenshot("viewer-photo-desktop")
    # A photo without a screennail shows the original instead.
    page.open("#/view/sd/100TAVRO/TAVR0006.JPG")
    page.wait("document.querySelector('#picture').src.endsWith('/videos/DCIM/100TAVRO/TAVR0006.JPG')"
              " && document.querySelector('#picture').naturalWidth > 0")


def confirm_delete(page, button_css):
    # The view may still be drawing its buttons (a slower camera, an emulated one).
    page.wait(f"document.querySelector({json.dumps(button_css)})", what=button_css)
    page.find(button_css).click()
    page.wait("document.querySelector('#confirm[open]')", what="the confirmation")
    page.find("#confirm-yes").click()


def test_delete_photo_chapter_and_group(page, camera):
    photo = camera.path(f"{SD}/100TAVRO/TAVR0003.JPG")
    # On a loaded machine the viewer may still be asking for the photo's screennail when the
    # photo goes: that request is then rightly refused.
    page.allow(404, r"^/zq/zqMediaMetadata\?p=100TAVRO/TAVR0003\.JPG&t=scr")
    page.open("#/view/sd/100TAVRO/TAVR0003.JPG")
    page.wait("document.querySelector('#delete-item')")
    # Escape in the confirmation keeps the file.
    page.find("#delete-item").click()
    page.wait("document.querySelector('#confirm[open]')")
    page.d.switch_to.active_element.send_keys(Keys.ESCAPE)
    page.wait("!document.querySelector('#confirm[open]')")
    assert os.path.exists(photo)
    assert page.js("return location.hash") == "#/view/sd/100TAVRO/TAVR0003.JPG"

    confirm_delete(page, "#delete-item")
    page.wait("location.hash === '#/gallery' && document.querySelectorAll('#grid .card').length > 0")
    page.wait("!document.querySelector('[data-key=\"sd/100TAVRO/TAVR0003.JPG\"]')")
    assert not os.path.exists(photo)

    # One chapter of three: the last one moves up to take its number.
    folder = camera.path(f"{SD}/100TAVRO")
    page.open("#/view/sd/100TAVRO/TAVR0005.MP4")
    page.wait("document.querySelector('[data-chapter=\"ZQ010005.MP4\"]')")
    confirm_delete(page, "[data-chapter=\"ZQ010005.MP4\"]")
    page.wait("document.querySelectorAll('[data-chapter]').length === 2", what="two chapters left")
    assert sorted(n for n in os.listdir(folder) if n.endswith("0005.MP4")) == \
        ["TAVR0005.MP4", "ZQ010005.MP4"]
    page.open("#/gallery")
    page.wait("document.querySelector('[data-key=\"sd/100TAVRO/TAVR0005.MP4\"]')"
              "?.dataset.chapters === '2'")


def status3(camera):
    return camera.zqsim("status", "get", 3).stdout.strip()


def test_remote_shutter_busy_and_settings(page, camera):
    page.open("#/remote")
    doc = json.loads(camera.get("/zq/zqControl")[2])
    page.wait("document.querySelectorAll('#modes button').length > 0")
    assert page.js("return [...document.querySelectorAll('#modes button')].map(b => b.textContent)") \
        == [m["display_name"] for m in doc["modes"]]
    assert page.find("#state [data-state=battery]").text.endswith("%")
    page.screenshot("remote-desktop")

    # A setting: the camera takes it.
    Select(page.find("#setting-2")).select_by_value("9")
    page.until(lambda: camera.zqsim("camera", "get", "setting/2").stdout.strip() == "9",
               what="video resolution 1080 on the camera")

    # The shutter starts a recording; the page shows the camera as busy, not failing.
    page.find("#shutter").click()
    page.until(lambda: status3(camera) == "1", what="recording")
    page.wait("document.querySelector('#remote-notice .notice.busy')", what="busy in the remote")
    page.screenshot("remote-recording-desktop")
    assert page.js("return document.querySelector('#modes button').disabled")
    assert "Recording" in page.find("#state-chip").text
    page.find("header nav a[data-page=gallery]").click()
    page.wait("document.querySelector('#gallery-notice .notice.busy')", what="busy in the gallery")
    assert not page.js("return document.querySelector('.notice.error')")

    page.open("#/remote")
    page.wait("document.querySelector('#shutter').getAttribute('aria-pressed') === 'true'")
    page.find("#shutter").click()
    page.until(lambda: status3(camera) == "0", what="recording stopped")
    page.wait("!document.querySelector('#remote-notice .notice.busy')")

    # A recording the page has not heard of yet: the list answers 503, shown as busy.
    page.allow(503, r"^/zq/zqMediaList")
    page.open("#/gallery")
    page.wait("document.querySelectorAll('#grid .card').length > 0")
    camera.zqsim("status", "set", 3, 1)
    page.find("#refresh").click()
    page.wait("document.querySelector('#gallery-notice .notice.busy')", what="busy after a 503")
    assert not page.js("return document.querySelector('.notice.error')")
    camera.zqsim("status", "set", 3, 0)


def test_viewer_waits_while_the_camera_records(page, camera):
    page.open("#/view/sd/100TAVRO/ZQ010001.MP4")
    page.wait("document.querySelector('#player')")
    camera.zqsim("status", "set", 3, 1)  # recording started on the camera itself
    page.wait("document.querySelector('#stage .notice.busy') && !document.querySelector('#player')",
              what="the clip replaced by the busy notice")
    page.find("[data-download=Original]").click()
    page.wait("document.querySelector('#viewer-notice .notice.busy')", what="the download held")
    camera.zqsim("status", "set", 3, 0)
    page.wait("document.querySelector('#player')", what="the clip back")
