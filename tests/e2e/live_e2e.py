#!/usr/bin/env python3
"""A show with live content posted to tablica-serwer, its sources on a
loopback HTTP server the test runs: a timetable feed (a zip written here),
a live feed that fails, a JSON document that later fails, and an RSS feed
that answers only after 20 seconds. The departures row and the data line
arrive as a show of plain text zones with the same words draws them (the
failing live feed marks the times "rozkł."), the slow feed holds nothing
up, a source that fails keeps its last good text, and /api/status lists
every source with its age and its fault."""

import http.server
import io
import os
import sys
import threading
import time
import unittest
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import tablica_kit as kit  # noqa: E402
import service_lib as svc  # noqa: E402

BIN = None
PORT = 23
LEAVES_IN = 1245  # seconds from the show's start to the departure (two digits of minutes)


def timetable(leaves):
    """A feed of one trip leaving stop A at `leaves` (seconds of today in
    UTC, the agency's zone), every day."""
    def hms(seconds):
        return "%02d:%02d:%02d" % (seconds // 3600, seconds // 60 % 60, seconds % 60)
    tables = {
        "agency.txt": "agency_id,agency_name,agency_url,agency_timezone\nM,MPK,http://m,UTC\n",
        "stops.txt": "stop_id,stop_name\nA,Rynek\nB,Dworzec\n",
        "routes.txt": "route_id,agency_id,route_short_name,route_type\nR4,M,4,3\n",
        "trips.txt": "route_id,service_id,trip_id,trip_headsign\nR4,D,T1,Dworzec\n",
        "calendar.txt": "service_id,monday,tuesday,wednesday,thursday,friday,saturday,sunday,"
                        "start_date,end_date\nD,1,1,1,1,1,1,1,20200101,20991231\n",
        "stop_times.txt": "trip_id,stop_sequence,stop_id,arrival_time,departure_time\n"
                          "T1,1,A,%s,%s\nT1,2,B,%s,%s\n" % (hms(leaves), hms(leaves),
                                                          hms(leaves + 600), hms(leaves + 600)),
    }
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w") as z:
        for name, text in tables.items():
            z.writestr(name, text)
    return out.getvalue()


class Sources(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self):
        super().__init__(("127.0.0.1", 0), SourceHandler)
        self.feed = b""
        self.data_fails = False
        threading.Thread(target=self.serve_forever, daemon=True).start()

    def url(self, path):
        return "http://127.0.0.1:%d%s" % (self.server_address[1], path)


class SourceHandler(http.server.BaseHTTPRequestHandler):
    def log_message(self, *_):
        pass

    def do_GET(self):
        if self.path == "/rozklad.zip":
            self.answer(200, self.server.feed)
        elif self.path == "/dane.json" and not self.server.data_fails:
            self.answer(200, b'{"current": {"temperature_2m": -3.5}}')
        elif self.path == "/rss.xml":
            time.sleep(20)
            self.answer(200, b"<rss><channel><item><title>Za wolno</title></item></channel></rss>")
        else:
            self.answer(500, b"awaria")

    def answer(self, status, body):
        try:
            self.send_response(status)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)
        except OSError:  # the board gave up on a slow answer
            pass


def region(rows, x, y, w, h):
    return [row[x:x + w] for row in rows[y:y + h]]


class LiveEndToEnd(unittest.TestCase):
    def setUp(self):
        self.tmp = kit.TempFolder("live-e2e-")
        self.addCleanup(self.tmp.remove)
        os.environ["XDG_CACHE_HOME"] = self.tmp.join("cache")
        self.config = self.tmp.join("config")
        self.board = kit.Emulator(BIN, PORT, self.config, extra=("--baud", "38400"))
        self.addCleanup(self.board.stop)
        self.service = svc.Service(BIN, self.tmp.join(), self.config, PORT)
        self.sources = Sources()
        self.addCleanup(self.sources.shutdown)

    def board_rows(self):
        return self.service.request("GET", "/api/board.json").json()["rows"]

    def wait_for(self, what, check, timeout=15):
        deadline = time.monotonic() + timeout
        while not check():
            self.assertLess(time.monotonic(), deadline, what + "\n" + self.service.log())
            time.sleep(0.2)

    def test_departures_and_a_data_line_play_and_failing_sources_blank_nothing(self):
        now = time.time()
        self.sources.feed = timetable(int(now) % 86400 + LEAVES_IN)
        show = {"pages": [{"zones": [
            {"x": 0, "y": 0, "w": 128, "h": 16, "departures": {
                "feed": self.sources.url("/rozklad.zip"), "stops": ["A"], "rows": 1,
                "realtime": self.sources.url("/tripupdates.pb")}},
            {"x": 0, "y": 16, "w": 64, "h": 16, "data": {
                "url": self.sources.url("/dane.json"), "pointer": "/current/temperature_2m",
                "text": "{value}°C", "every": 5}},
            {"x": 64, "y": 16, "w": 64, "h": 16, "rss": {"url": self.sources.url("/rss.xml")}},
        ]}]}
        reply = self.service.post_json("/api/board", show)
        self.assertEqual(reply.status, 200, reply.body)
        def answered():
            ages = {s["name"].rsplit("/", 1)[1]: s["age"] for s in self.service.status()["sources"]}
            return ages.get("rozklad.zip") is not None and ages.get("dane.json") is not None
        self.wait_for("the timetable and the data answered", answered)
        # Looked at halfway through a minute to go, the row's minutes are sure.
        leaves = int(now) + LEAVES_IN
        time.sleep((leaves - time.time() - 30) % 60)
        time.sleep(1.2)  # the next second's look at the clock draws it
        minutes = int(leaves - time.time()) // 60
        live = self.board_rows()

        # The slow feed held up nothing: its zone scrolls the "none" text.
        status = self.service.status()
        by_name = {s["name"].rsplit("/", 1)[1]: s for s in status["sources"]}
        self.assertEqual(set(by_name), {"rozklad.zip", "tripupdates.pb", "dane.json", "rss.xml"})
        self.assertIsNone(by_name["rss.xml"]["age"])
        self.assertIsNone(by_name["tripupdates.pb"]["age"])
        self.assertIn("500", by_name["tripupdates.pb"]["fault"])
        self.assertIsNone(by_name["dane.json"]["fault"])

        # The JSON source fails: its last good value stays, its fault is listed once.
        self.sources.data_fails = True
        self.wait_for("the data source's fault",
                      lambda: any(s["fault"] for s in self.service.status()["sources"]
                                  if s["name"].endswith("dane.json")), timeout=20)
        time.sleep(1.5)
        self.assertEqual(region(self.board_rows(), 0, 0, 64, 32), region(live, 0, 0, 64, 32))
        self.assertEqual(self.service.log().count("dane.json"), 1, self.service.log())

        # The same words as plain text zones draw the same dots.
        still = {"pages": [{"zones": [
            {"x": 0, "y": 0, "w": 128, "h": 16, "text": "4 %d min rozkł." % minutes,
             "align": "left"},
            {"x": 0, "y": 16, "w": 64, "h": 16, "text": "-3.5°C"}]}]}
        self.assertEqual(self.service.post_json("/api/board", still).status, 200)
        self.wait_for("the text zones", lambda: self.service.status()["sources"] == []
                      and region(self.board_rows(), 64, 16, 64, 16) == ["0" * 64] * 16)
        time.sleep(0.5)
        self.assertEqual(region(live, 0, 0, 128, 32 - 16) + region(live, 0, 16, 64, 16),
                         region(self.board_rows(), 0, 0, 128, 16)
                         + region(self.board_rows(), 0, 16, 64, 16))
        self.assertEqual(self.service.stop(), 0, self.service.log())


if __name__ == "__main__":
    BIN = sys.argv.pop(1)
    unittest.main()
