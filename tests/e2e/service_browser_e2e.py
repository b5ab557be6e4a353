#!/usr/bin/env python3
"""The service's web page in a real browser (Debian's headless Chromium,
driven by Selenium): the token given once when the page asks for it (Esc
leaves a page that asks again), a picture chosen and text typed, "Wyślij"
pressed: the virtual board receives the frame tablica-convert makes for the
same content, and the page's live board shows the same dots (read back from
the page's canvas). No text is refused on the page, and an empty preview
shows the board's unlit dots. A page of another site, and the service's
own page under a name pointed at it, put nothing on the board. A
notification held is listed in the queue and cancelled there. Departures:
a stop found by its name in a timetable at an address, chosen, sent; the
timetable fetched once for the search and the show alike."""

import http.server
import os
import sys
import threading
import tempfile
import time
import unittest

from selenium import webdriver
from selenium.common.exceptions import StaleElementReferenceException
from selenium.webdriver.chrome.service import Service as DriverService
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import Select, WebDriverWait

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import tablica_kit as kit  # noqa: E402
import service_lib as svc  # noqa: E402
import live_e2e as live  # noqa: E402

BIN = None
PORT = 23
TOKEN = "browser-token-41"

# The dots the page's canvas shows: the centre of every dot, lit where it
# is bright (the lit colour's red is 255, an unlit dot's 74).
READ_CANVAS = """
const canvas = document.getElementById(arguments[0]);
const pixels = canvas.getContext("2d").getImageData(0, 0, canvas.width, canvas.height).data;
const pitch = (canvas.width - 8) / 128;
const rows = [];
for (let y = 0; y < 32; y++) {
  let row = "";
  for (let x = 0; x < 128; x++) {
    const cx = Math.floor(4 + (x + 0.5) * pitch), cy = Math.floor(4 + (y + 0.5) * pitch);
    row += pixels[4 * (cy * canvas.width + cx)] > 200 ? "1" : "0";
  }
  rows.push(row);
}
return rows;
"""


# What a page of another site tries: the three kinds of request a browser
# sends to any address without asking it first.
ATTACK = """<!doctype html><title>x</title><iframe name="sink"></iframe>
<form id="form" method="post" enctype="text/plain" target="sink" action="%(board)s/api/board">
<input name='{"text": ["Formularz", "' value='"]}'></form><script>
const gif = Uint8Array.from(atob("R0lGODlhAQABAIAAAP///wAAACwAAAAAAQABAAACAkQBADs="), c => c.charCodeAt(0));
const sent = (path, body) => fetch("%(board)s" + path, {method: "POST", mode: "no-cors",
    headers: {"Content-Type": "text/plain"}, body}).catch(() => null);
Promise.all([sent("/api/board", JSON.stringify({text: ["Obca strona"]})),
             sent("/api/notify?seconds=5", JSON.stringify({text: ["Obca"]})),
             sent("/api/board", gif)]).then(() => {
  document.querySelector("iframe").onload = () => { document.title = "done"; };
  document.getElementById("form").submit();
});
</script>"""


def start_browser(profile, *more):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu",
                     "--disable-background-networking", "--disable-component-update",
                     "--disable-sync", "--no-first-run", "--disable-dev-shm-usage",
                     "--user-data-dir=" + profile, "--window-size=1280,1100", *more):
        options.add_argument(argument)
    return webdriver.Chrome(service=DriverService("/usr/bin/chromedriver"), options=options)


class PageInBrowser(unittest.TestCase):
    def setUp(self):
        self.tmp = kit.TempFolder("service-browser-")
        os.environ["XDG_CACHE_HOME"] = self.tmp.join("cache")  # the timetables it keeps
        self.config = self.tmp.join("config")
        with open(self.tmp.join("token"), "w") as f:
            f.write(TOKEN + "\n")
        self.board = kit.Emulator(BIN, PORT, self.config)
        self.service = svc.Service(BIN, self.tmp.join(), self.config, PORT, "--token-file",
                                   self.tmp.join("token"), token=TOKEN)
        self.browser = start_browser(tempfile.mkdtemp(prefix="chromium-", dir=self.tmp.join()))
        self.wait = WebDriverWait(self.browser, 20)

    def tearDown(self):
        self.browser.quit()
        code = self.service.stop()
        self.board.stop()
        self.tmp.remove()
        self.assertEqual(code, 0, self.service.log())

    def element(self, name):
        return self.browser.find_element(By.ID, name)

    def click_first(self, selector):
        """Clicks the first element `selector` finds; false while there is none
        or the page redraws it (the queue is redrawn as it is polled)."""
        try:
            found = self.browser.find_elements(By.CSS_SELECTOR, selector)
            if found:
                found[0].click()
            return bool(found)
        except StaleElementReferenceException:
            return False

    def sent_and_shown(self, expected, what):
        """Presses "Wyślij": the board gets `expected`, the live board shows it."""
        self.element("send").click()
        unit = self.board.units(1)[0]
        self.assertEqual(bytes.fromhex(unit["bytes"]), expected, what + ": other dots on the board")
        self.wait.until(lambda _: self.element("result").text == "Wysłano na tablicę.")
        rows = svc.frame_rows(expected)
        deadline = time.monotonic() + 15
        while self.browser.execute_script(READ_CANVAS, "live") != rows:
            self.assertLess(time.monotonic(), deadline, what + ": the live board shows other dots")
            time.sleep(0.2)

    def test_picture_and_text_sent_from_the_page(self):
        self.browser.get("http://%s:%d/" % (svc.HOST, self.service.http_port))
        # The page asks for the token; Esc closes the dialog, and the next
        # action asks again.
        self.wait.until(lambda _: self.element("tokenDialog").is_displayed())
        self.element("token").send_keys(Keys.ESCAPE)
        self.wait.until(lambda _: not self.element("tokenDialog").is_displayed())
        self.element("blank").click()
        self.wait.until(lambda _: self.element("tokenDialog").is_displayed())
        self.element("token").send_keys(TOKEN)
        self.element("tokenForm").submit()
        self.wait.until(lambda _: self.element("result").text == "Tablica wygaszona.")
        self.board.units(1)
        self.wait.until(lambda _: self.element("statusPort").text == "COM%d" % PORT)
        # Nothing chosen yet: the preview shows the board's unlit dots.
        self.assertGreater(self.browser.execute_script(
            "const c = document.getElementById('preview').getContext('2d');"
            "return c.getImageData(8, 8, 1, 1).data[0];"), 50)
        self.assertEqual(self.browser.execute_script(
            "return sessionStorage.getItem('tablica-token')"), TOKEN)

        photo = self.tmp.join("zdjecie.ppm")
        svc.write_ppm(photo, 256, 160, 9)
        self.element("pictureFile").send_keys(photo)
        Select(self.element("place")).select_by_value("fill")
        Select(self.element("dots")).select_by_value("diffusion")
        Select(self.element("lit")).select_by_value("bright")
        expected = svc.converted_frame(BIN, self.tmp.join(), "--place", "fill", "--dots",
                                       "diffusion", "--lit", "bright", photo)
        # The service's preview is what the board will get.
        rows = svc.frame_rows(expected)
        self.wait.until(lambda _: self.browser.execute_script(READ_CANVAS, "preview") == rows)
        self.sent_and_shown(expected, "picture")

        self.element("textTab").click()
        self.element("send").click()  # no text: refused on the page, as over MQTT
        self.wait.until(lambda _: self.element("result").text.startswith("Najpierw"))
        self.assertEqual(self.board.quiet(0.5), [])
        self.element("line1").send_keys("Zażółć")
        self.element("line2").send_keys("gęślą jaźń")
        expected = svc.converted_frame(BIN, self.tmp.join(), "--text", "Zażółć", "--text",
                                       "gęślą jaźń")
        self.sent_and_shown(expected, "text")
        self.wait.until(lambda _: self.element("statusShowing").text == "tekst")

        # The same text held as a notification; cancelled from the queue, the text comes back.
        self.element("hold").click()
        self.element("notify").click()
        self.assertEqual(bytes.fromhex(self.board.units(1)[0]["bytes"]), expected)
        self.wait.until(lambda _: self.click_first("#queue li.showing button"))
        self.assertEqual(bytes.fromhex(self.board.units(1)[0]["bytes"]), expected)
        self.wait.until(lambda _: self.element("queueEmpty").text == "Nic nie czeka.")

        self.element("blank").click()
        self.assertEqual(bytes.fromhex(self.board.units(1)[0]["bytes"]),
                         kit.expected_frame([[1] * 128] * 32, False))
        self.assertEqual(self.browser.execute_script(
            "return sessionStorage.getItem('tablica-token')"), TOKEN)

    def test_departures_of_a_stop_found_by_name(self):
        sources = live.Sources()
        self.addCleanup(sources.shutdown)
        sources.feed = live.timetable(8 * 3600)
        asked = []
        serve = sources.RequestHandlerClass.do_GET
        sources.RequestHandlerClass = type("Counted", (sources.RequestHandlerClass,), {
            "do_GET": lambda handler: (asked.append(handler.path), serve(handler))})
        refused = self.service.post_json("/api/stops", {"feed": "/etc/passwd", "search": "r"})
        self.assertEqual(refused.status, 400)
        self.assertIn("adresem http", refused.json()["error"])

        self.browser.get("http://%s:%d/" % (svc.HOST, self.service.http_port))
        self.wait.until(lambda _: self.element("tokenDialog").is_displayed())
        self.element("token").send_keys(TOKEN)
        self.element("tokenForm").submit()
        self.element("departuresTab").click()
        self.element("feed").send_keys(sources.url("/rozklad.zip"))
        self.element("send").click()  # no stop yet: said on the page
        self.wait.until(lambda _: self.element("result").text.startswith("Podaj adres rozkładu"))
        self.element("stopSearch").send_keys("RYN", Keys.ENTER)
        found = self.wait.until(lambda _: self.browser.find_elements(
            By.CSS_SELECTOR, "#stopsFound option"))
        self.assertEqual([option.text for option in found], ["Rynek – A"])
        Select(self.element("stopsFound")).select_by_value("A")
        self.assertEqual(self.element("stops").get_attribute("value"), "A")
        self.element("send").click()
        self.wait.until(lambda _: self.element("result").text == "Wysłano na tablicę.")
        self.assertNotEqual(bytes.fromhex(self.board.units(1)[0]["bytes"]),
                            kit.expected_frame([[1] * 128] * 32, False), "a blank board")
        self.assertEqual(asked, ["/rozklad.zip"])


class OtherSites(unittest.TestCase):
    """The service as it starts by default (loopback, no token)."""

    def setUp(self):
        self.tmp = kit.TempFolder("service-sites-")
        self.board = kit.Emulator(BIN, PORT, self.tmp.join("config"))
        self.service = svc.Service(BIN, self.tmp.join(), self.tmp.join("config"), PORT)
        own = "http://%s:%d" % (svc.HOST, self.service.http_port)
        page = (ATTACK % {"board": own}).encode()

        class AttackPage(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                self.send_response(200)
                self.send_header("Content-Type", "text/html")
                self.end_headers()
                self.wfile.write(page)

            def log_message(self, *args):
                pass

        self.other = http.server.ThreadingHTTPServer(("127.0.0.2", 0), AttackPage)
        threading.Thread(target=self.other.serve_forever, daemon=True).start()
        self.browser = start_browser(tempfile.mkdtemp(prefix="chromium-", dir=self.tmp.join()),
                                     "--host-resolver-rules=MAP tablica.evil.test 127.0.0.1")

    def tearDown(self):
        self.browser.quit()
        self.other.shutdown()
        code = self.service.stop()
        self.board.stop()
        self.tmp.remove()
        self.assertEqual(code, 0, self.service.log())

    def test_other_sites_and_other_names_reach_nothing(self):
        self.browser.get("http://127.0.0.2:%d/" % self.other.server_address[1])
        WebDriverWait(self.browser, 20).until(lambda b: b.title == "done")
        # The service's page under a name pointed at this machine.
        self.browser.get("http://tablica.evil.test:%d/" % self.service.http_port)
        self.assertNotIn("Wyślij", self.browser.page_source)
        self.assertEqual(self.board.quiet(1.5), [], "a request of another site reached the board")
        self.assertEqual(self.service.request("GET", "/api/status",
                                              headers={"Host": "tablica.evil.test"}).status, 421)

        self.browser.get("http://%s:%d/" % (svc.HOST, self.service.http_port))
        WebDriverWait(self.browser, 20).until(lambda b: b.find_element(By.ID, "line1"))
        self.browser.find_element(By.ID, "textTab").click()
        self.browser.find_element(By.ID, "line1").send_keys("Swoja")
        self.browser.find_element(By.ID, "send").click()
        self.assertEqual(bytes.fromhex(self.board.units(1)[0]["bytes"]),
                         svc.converted_frame(BIN, self.tmp.join(), "--text", "Swoja"))


if __name__ == "__main__":
    BIN = sys.argv.pop(1)
    unittest.main()
