"""The pages in a real browser (headless Chromium driven by Selenium): the 3-D view that ``tesvarin view``
writes and the documentation's start page load with no JavaScript error and no network request, and
the view's WebGL canvas shows the orbital's two colours around the atoms.

tools/test.sh installs Debian's chromium and chromium-driver and builds the documentation first;
without them these tests skip with their reason.
"""

import io
import json
import shutil
from pathlib import Path

import numpy as np
import pytest
from tesvarin.cli.main import main

webdriver = pytest.importorskip("selenium.webdriver", reason="selenium is in the test extras")
pytest.importorskip("plotly", reason="plotly is in the test extras (the view extra)")
Image = pytest.importorskip("PIL.Image", reason="Pillow comes with matplotlib, in the test extras")

ROOT = Path(__file__).resolve().parents[2]
START_PAGE = ROOT / "docs" / "_build" / "html" / "index.html"
CHROMIUM, DRIVER = shutil.which("chromium"), shutil.which("chromedriver")
pytestmark = pytest.mark.skipif(
    not (CHROMIUM and DRIVER), reason="needs Debian's chromium and chromium-driver (tools/test.sh installs them)"
)
LOCAL = ("file:", "data:", "blob:", "about:", "chrome-extension:")


@pytest.fixture(scope="module")
def browser():
    from selenium.webdriver.chrome.service import Service

    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for argument in (
        "--headless=new",
        "--no-sandbox",
        "--disable-dev-shm-usage",
        "--window-size=900,700",
        "--use-angle=swiftshader",  # WebGL in software: no display, no GPU
        "--enable-unsafe-swiftshader",
    ):
        options.add_argument(argument)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL", "performance": "ALL"})
    driver = webdriver.Chrome(service=Service(DRIVER), options=options)
    yield driver
    driver.quit()


def opened(browser, page):
    """Opens `page`; returns the JavaScript errors and the requests that left the machine."""
    browser.get_log("browser"), browser.get_log("performance")  # what earlier pages left
    browser.get(page.as_uri())
    errors = [entry["message"] for entry in browser.get_log("browser") if entry["level"] == "SEVERE"]
    requests = []
    for entry in browser.get_log("performance"):
        message = json.loads(entry["message"])["message"]
        if message["method"] == "Network.requestWillBeSent":
            requests.append(message["params"]["request"]["url"])
    return errors, [url for url in requests if not url.startswith(LOCAL)]


def test_the_view_shows_the_homo_in_two_colours_with_no_error_and_no_network(browser, tmp_path):
    page = tmp_path / "view.html"
    assert main(["view", str(ROOT / "examples" / "water.chk"), "-o", str(page)]) == 0
    errors, outside = opened(browser, page)
    from selenium.webdriver.support.ui import WebDriverWait

    # plotly draws the scene into a WebGL canvas once the page has run
    canvas = WebDriverWait(browser, 60).until(lambda b: b.find_elements("css selector", ".gl-container canvas"))[0]
    WebDriverWait(browser, 60).until(lambda b: b.execute_script("return !!document.querySelector('.main-svg')"))
    errors += [e["message"] for e in browser.get_log("browser") if e["level"] == "SEVERE"]
    assert errors == [] and outside == []
    pixels = np.asarray(Image.open(io.BytesIO(canvas.screenshot_as_png)).convert("RGB")).astype(int)
    r, g, b = pixels[..., 0], pixels[..., 1], pixels[..., 2]
    assert pixels.reshape(-1, 3).std(axis=0).max() > 10, "the canvas is blank"
    blue, red = (b > r + 60) & (b > g), (r > b + 60) & (r > g + 60)
    assert blue.sum() > 1000 and red.sum() > 1000, "both lobes of the HOMO are drawn"


@pytest.mark.skipif(not START_PAGE.exists(), reason=f"{START_PAGE} is not built (tools/test.sh builds it first)")
def test_the_documentation_s_start_page_loads_with_no_error_and_no_network(browser):
    errors, outside = opened(browser, START_PAGE)
    assert errors == [] and outside == []
    assert "Tesvarin" in browser.title
    links = browser.execute_script("return [...document.querySelectorAll('a[href]')].map(a => a.href)")
    assert any(link.endswith("water_homo.html") for link in links)
    assert (START_PAGE.parent / "water_homo.html").exists()  # the build wrote the page it links to
