"""Headless Chromium on a page served from a folder on localhost, for the web build's tests.

Debian's chromium and chromium-driver with python3-selenium; no browser is downloaded. Each
Browser has a fresh profile and its own server on a free port, so runs do not collide.
"""
import functools
import os
import shutil
import sys
import tempfile
import threading

# The Python that scripts/setup-debian.sh provides, with python3-selenium. The first python3 on
# PATH may be another one (a version manager's) that cannot import selenium: the script is then
# run again under Debian's, once.
DEBIAN_PYTHON = "/usr/bin/python3"
try:
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
except ImportError:
    if os.environ.get("ZINDLE_DEBIAN_PYTHON") or not os.path.exists(DEBIAN_PYTHON):
        raise
    os.environ["ZINDLE_DEBIAN_PYTHON"] = "1"
    os.execv(DEBIAN_PYTHON, [DEBIAN_PYTHON] + sys.argv)

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
from web_server import WebHandler, WebServer  # noqa: E402

CHROMIUM = os.environ.get("ZINDLE_CHROMIUM", "/usr/bin/chromium")
CHROMEDRIVER = os.environ.get("ZINDLE_CHROMEDRIVER", "/usr/bin/chromedriver")
FLAGS = [
    "--headless=new", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
    "--disable-background-networking", "--disable-component-update", "--disable-sync",
    "--enable-unsafe-swiftshader", "--use-gl=angle", "--use-angle=swiftshader",
    "--disable-renderer-backgrounding", "--disable-background-timer-throttling",
    "--disable-backgrounding-occluded-windows", "--mute-audio",
]


class Server:
    """Serves a folder on 127.0.0.1 from a thread, as the relay serves it (compressed copies,
    validators and 304s). Each Browser has a fresh profile, so nothing is cached across runs."""

    def __init__(self, folder):
        handler = functools.partial(WebHandler, directory=str(folder))
        self.httpd = WebServer(("127.0.0.1", 0), handler)
        self.thread = threading.Thread(target=self.httpd.serve_forever, daemon=True)
        self.thread.start()

    @property
    def sent_bytes(self):
        return self.httpd.sent_bytes

    @property
    def url(self):
        return f"http://127.0.0.1:{self.httpd.server_port}/"

    def close(self):
        self.httpd.shutdown()
        self.httpd.server_close()


class Browser:
    """One headless Chromium with a fresh profile; a 480 by 320 page unless told otherwise."""

    def __init__(self, width=480, height=320):
        self.profile = tempfile.mkdtemp(prefix="zindle-chromium-")
        options = webdriver.ChromeOptions()
        options.binary_location = CHROMIUM
        for flag in FLAGS:
            options.add_argument(flag)
        options.add_argument(f"--user-data-dir={self.profile}")
        options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
        self.driver = webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)
        self.set_page_size(width, height)

    def set_page_size(self, width, height):
        # The page's own size, whatever the window around it would add.
        self.driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
            "width": width, "height": height, "deviceScaleFactor": 1, "mobile": False})

    def script(self, source, *args):
        return self.driver.execute_script(source, *args)

    def console(self):
        """Console lines since the last call, as (level, message)."""
        return [(e["level"], e["message"]) for e in self.driver.get_log("browser")]

    def close(self):
        try:
            self.driver.quit()
        finally:
            shutil.rmtree(self.profile, ignore_errors=True)
