"""Headless Chromium from Debian's packages (chromium, chromium-driver), driven through
python3-selenium: the browser of the page's tests and of bench/gallery."""

import base64
import os
import shutil
import tempfile

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common import utils

CHROMIUM = "/usr/bin/chromium"
CHROMEDRIVER = "/usr/bin/chromedriver"
# Flags that let Chromium run headless as root on a machine without a display or network;
# chromedriver talks to it through a pipe, which needs no name for the loopback address.
FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync",
         "--remote-debugging-pipe", "--disable-dev-shm-usage", "--mute-audio",
         "--autoplay-policy=no-user-gesture-required"]
# Screens the page is tried on: a desktop window and a phone (CSS pixels).
SIZES = {"desktop": dict(width=1280, height=800, deviceScaleFactor=1, mobile=False),
         "phone": dict(width=390, height=844, deviceScaleFactor=2, mobile=True)}


class LoopbackService(Service):
    """chromedriver reached at 127.0.0.1 rather than by the name "localhost", which a fresh
    minimal system (no /etc/hosts) cannot resolve."""

    @property
    def service_url(self):
        return f"http://127.0.0.1:{self.port}"

    def is_connectable(self):
        return utils.is_connectable(self.port, "127.0.0.1")


class Browser:
    """One Chromium with a new empty profile; close() ends it and removes the profile."""

    def __init__(self):
        self.profile = tempfile.mkdtemp(prefix="zqchromium.")
        options = webdriver.ChromeOptions()
        options.binary_location = CHROMIUM
        for flag in FLAGS + [f"--user-data-dir={self.profile}"]:
            options.add_argument(flag)
        options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
        self.driver = webdriver.Chrome(service=LoopbackService(CHROMEDRIVER), options=options)
        self.driver.set_script_timeout(60)

    def load(self, url, size="desktop"):
        """Opens `url` as a new page load (never a jump within the page shown before) on a
        screen of `size`."""
        self.driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", SIZES[size])
        self.driver.get("about:blank")
        self.driver.get(url)

    def screenshot(self, path):
        """A PNG of the whole page, beyond the visible part."""
        d = self.driver
        width, height = d.execute_script(
            "return [window.innerWidth, document.documentElement.scrollHeight]")
        shot = d.execute_cdp_cmd("Page.captureScreenshot", {
            "format": "png", "captureBeyondViewport": True,
            "clip": {"x": 0, "y": 0, "width": width, "height": height, "scale": 1}})
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(base64.b64decode(shot["data"]))

    def close(self):
        self.driver.quit()
        shutil.rmtree(self.profile, ignore_errors=True)
