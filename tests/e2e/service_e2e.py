#!/usr/bin/env python3
"""tablica-serwer end to end, with the virtual board on its port: text, a
picture and a show posted over HTTP arrive as the frames tablica-convert
makes for the same content; a notification interrupts and the content comes
back; board.json and the live board match what the board received; a
refused body changes nothing; SIGTERM ends it."""

import base64
import json
import os
import sys
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import tablica_kit as kit  # noqa: E402
import service_lib as svc  # noqa: E402

BIN = None
PORT = 21
SAMPLES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "samples")


def sample(name):
    with open(os.path.join(SAMPLES, name), "rb") as f:
        return f.read()


class ServiceEndToEnd(unittest.TestCase):
    def setUp(self):
        self.tmp = kit.TempFolder("service-e2e-")
        self.config = self.tmp.join("config")
        self.board = kit.Emulator(BIN, PORT, self.config, extra=("--baud", "38400"))
        self.service = svc.Service(BIN, self.tmp.join(), self.config, PORT)

    def tearDown(self):
        code = self.service.stop()
        self.board.stop()
        self.tmp.remove()
        self.assertEqual(code, 0, self.service.log())

    def expected(self, *args):
        return svc.converted_frame(BIN, self.tmp.join(), *args)

    def next_frame(self, timeout=10):
        unit = self.board.units(1, timeout)[0]
        self.assertEqual(unit["event"], "frame", unit)
        self.assertTrue(unit["checksum_ok"], unit)
        return unit

    def assertFrame(self, unit, expected, what):
        got = bytes.fromhex(unit["bytes"])
        self.assertEqual(got, expected, "%s: the board got other dots than tablica-convert's" % what)

    def assertAccepted(self, reply):
        self.assertEqual((reply.status, reply.json()), (200, {"ok": True}), reply.body)

    def test_text_picture_and_show_arrive_as_tablica_convert_makes_them(self):
        reply = self.service.post_json("/api/board", {"text": ["Peron 3: Kraków", "odjazd 12:45"]})
        self.assertAccepted(reply)
        text = self.expected("--text", "Peron 3: Kraków", "--text", "odjazd 12:45")
        self.assertFrame(self.next_frame(), text, "text")
        board = self.service.request("GET", "/api/board.json").json()
        self.assertEqual((board["width"], board["height"]), (128, 32))
        self.assertEqual(board["rows"], svc.frame_rows(text))
        self.assertEqual(self.service.status()["showing"], "text")

        photo = self.tmp.join("photo.ppm")
        svc.write_ppm(photo, 320, 200, 5)
        with open(photo, "rb") as f:
            reply = self.service.request("POST", "/api/board?place=fill&dots=diffusion&lit=bright",
                                         f.read(), "image/x-portable-pixmap")
        self.assertAccepted(reply)
        picture = self.expected("--place", "fill", "--dots", "diffusion", "--lit", "bright", photo)
        self.assertFrame(self.next_frame(), picture, "picture")
        self.assertEqual(self.service.status()["showing"], "picture")

        with open(photo, "rb") as f:
            inline = "data:image/x-portable-pixmap;base64," + base64.b64encode(f.read()).decode()
        show = {"pages": [{"text": ["Strona", "pierwsza"], "seconds": 1},
                          {"picture": inline, "place": "stretch", "dots": "ordered",
                           "seconds": 1}]}
        self.assertAccepted(self.service.post_json("/api/board", show))
        first, second = self.next_frame(), self.next_frame()
        self.assertFrame(first, self.expected("--text", "Strona", "--text", "pierwsza"), "page 1")
        self.assertFrame(second, self.expected("--place", "stretch", "--dots", "ordered", photo),
                         "page 2")
        self.assertAlmostEqual(second["t"] - first["t"], 1.0, delta=0.25)
        self.assertFrame(self.next_frame(), bytes.fromhex(first["bytes"]), "page 1 again")
        status = self.service.status()
        self.assertEqual(status["showing"], "show")
        self.assertEqual((status["port"], status["name"]), (PORT, "test"))
        self.assertTrue(status["last_send"]["ok"])
        self.assertGreaterEqual(status["sends"], 5)
        self.assertEqual(status["failed_sends"], 0)

        # The samples the guide's examples post.
        self.assertAccepted(self.service.request("POST", "/api/board", sample("zdjecie.jpg"),
                                                 "image/jpeg"))
        self.assertAccepted(self.service.request("POST", "/api/board",
                                                 sample("pokaz-sieciowy.json"), "application/json"))

    def test_a_notification_interrupts_and_the_content_comes_back(self):
        self.assertAccepted(self.service.post_json("/api/board", {"text": ["Treść"]}))
        content = self.next_frame()
        reply = self.service.post_json("/api/notify?seconds=1.5", {"text": ["Uwaga!"]})
        self.assertEqual((reply.status, reply.json()["ok"]), (200, True), reply.body)
        notice = self.next_frame()
        self.assertFrame(notice, self.expected("--text", "Uwaga!"), "notification")
        self.assertEqual(self.service.status()["showing"], "notification")
        back = self.next_frame()
        self.assertFrame(back, bytes.fromhex(content["bytes"]), "the content again")
        self.assertAlmostEqual(back["t"] - notice["t"], 1.5, delta=0.3)
        self.assertEqual(self.service.status()["showing"], "text")

        self.assertEqual(self.service.request("DELETE", "/api/board").status, 200)
        self.assertFrame(self.next_frame(), kit.expected_frame([[1] * 128] * 32, False), "blank")
        self.assertEqual(self.service.status()["showing"], "blank")

    def test_the_queue_by_priorities_and_blank_under_a_notification(self):
        def notify(path, page):
            reply = self.service.post_json(path, page)
            self.assertEqual(reply.status, 200, reply.body)
            return reply.json()["id"]

        def queue():
            return [(n["id"], n["priority"],
                     None if n["seconds_left"] is None else round(n["seconds_left"], -1),
                     n["showing"])
                    for n in self.service.request("GET", "/api/notify").json()["queue"]]

        self.assertAccepted(self.service.post_json("/api/board", {"text": ["Treść"]}))
        self.next_frame()
        self.assertEqual(notify("/api/notify?hold=1&priority=3&id=objazd", {"text": ["Objazd"]}),
                         "objazd")
        self.assertFrame(self.next_frame(), self.expected("--text", "Objazd"), "held")
        alarm = notify("/api/notify?seconds=60&priority=9", {"text": ["Alarm"]})
        self.assertFrame(self.next_frame(), self.expected("--text", "Alarm"), "higher")
        # Equal priority waits its turn; the fields may come in the body too.
        notify("/api/notify", {"text": ["Czeka"], "seconds": 30, "id": "czeka", "priority": 3})
        self.assertEqual(queue(), [(alarm, 9, 60, True), ("objazd", 3, None, False),
                                   ("czeka", 3, 30, False)])
        self.assertEqual(self.service.request("DELETE", "/api/notify/" + alarm).status, 200)
        self.assertFrame(self.next_frame(), self.expected("--text", "Objazd"), "after the cancel")
        self.assertEqual(self.service.request("DELETE", "/api/notify/" + alarm).status, 404)

        # Blank wins over the notification at once; the queue waits for new content.
        self.assertEqual(self.service.request("DELETE", "/api/board").status, 200)
        self.assertFrame(self.next_frame(), kit.expected_frame([[1] * 128] * 32, False), "blank")
        self.assertEqual(self.service.status()["showing"], "blank")
        self.assertEqual([n[3] for n in queue()], [False, False])
        self.assertEqual(self.board.quiet(1.0), [], "the queue came back by itself")
        self.assertAccepted(self.service.post_json("/api/board", {"text": ["Nowa"]}))
        self.assertFrame(self.next_frame(), self.expected("--text", "Objazd"), "queued again")
        self.assertEqual(self.service.request("DELETE", "/api/notify").status, 200)
        self.assertFrame(self.next_frame(), self.expected("--text", "Nowa"), "queue emptied")
        self.assertEqual(queue(), [])

    def test_refused_bodies_change_nothing(self):
        self.assertAccepted(self.service.post_json("/api/board", {"text": ["Zostaję"]}))
        kept = self.next_frame()
        before = self.service.status()
        refusals = [
            ("POST", "/api/board", b"GIF89a not a picture", "image/gif", 422),
            ("POST", "/api/board", b"", "image/png", 422),
            ("POST", "/api/board", b"{\"text\": [", "application/json", 422),
            ("POST", "/api/board", json.dumps({"text": ["To jest o wiele za długi tekst"],
                                               "size": 16}).encode(), "application/json", 422),
            ("POST", "/api/board", json.dumps({"pages": [{"text": ["a"]}], "loop": 1}).encode(),
             "application/json", 422),
            ("POST", "/api/board?place=everywhere", b"P6\n1 1\n255\n\0\0\0", "image/x-portable-pixmap",
             400),
            ("POST", "/api/board?dots=ordered&threshold=9", b"P6\n1 1\n255\n\0\0\0", "image/x", 400),
            ("POST", "/api/notify", json.dumps({"text": ["x"]}).encode(), "application/json", 400),
            ("POST", "/api/notify?seconds=0", json.dumps({"text": ["x"]}).encode(),
             "application/json", 400),
            ("POST", "/api/notify", json.dumps({"text": ["x"], "seconds": 86401}).encode(),
             "application/json", 400),
            ("POST", "/api/notify?seconds=1e-9", json.dumps({"text": ["x"]}).encode(),
             "application/json", 400),
            ("POST", "/api/board", json.dumps({"text": [""]}).encode(), "application/json", 422),
            ("POST", "/api/board", json.dumps({"text": ["W" * 6_000_000]}).encode(),
             "application/json", 422),
            ("POST", "/api/board", sample("pokaz.json"), "application/json", 422),
            # 63 frames of 4000 x 4000 in a kilobyte: refused before any is decoded.
            ("POST", "/api/board", json.dumps({"animation": "data:image/gif;base64," + base64.b64encode(
                b"GIF89a\xa0\x0f\xa0\x0f\x80\0\0\0\0\0\xff\xff\xff" + 63 * (
                    b"\x2c\0\0\0\0\xa0\x0f\xa0\x0f\0\x02\x01\x2c\0") + b"\x3b").decode()}).encode(),
             "application/json", 413),
            ("POST", "/api/notify?hold=1&priority=10", b'{"text": ["x"]}', "application/json", 400),
            ("POST", "/api/notify?hold=1", b'{"text": ["x"], "id": "a/b"}', "application/json", 400),
            ("POST", "/api/notify?hold=1&seconds=5", b'{"text": ["x"]}', "application/json", 400),
            ("GET", "/api/nothing", None, None, 404),
        ]
        for method, path, body, kind, status in refusals:
            reply = self.service.request(method, path, body, kind)
            self.assertEqual(reply.status, status, (path, body, reply.body))
            self.assertEqual(reply.headers.get("Content-Type", "").split(";")[0], "application/json")
            message = reply.json()["error"]
            self.assertTrue(message.endswith(".") and len(message) > 10, message)
        self.assertEqual(self.board.quiet(1.0), [], "a refused body reached the board")
        board = self.service.request("GET", "/api/board.json").json()
        self.assertEqual(board["rows"], svc.frame_rows(bytes.fromhex(kept["bytes"])))
        after = self.service.status()
        self.assertEqual((after["showing"], after["sends"]), (before["showing"], before["sends"]))
        self.assertIn("Odrzucono POST /api/board", self.service.log())

    def test_live_board_and_png_show_what_the_board_received(self):
        live = svc.LiveEvents(self.service)
        self.assertEqual(live.status, 200)
        self.assertEqual(live.reply.getheader("Content-Type"), "text/event-stream")
        live.wait(1)  # the board as it is
        self.assertAccepted(self.service.post_json("/api/board", {"text": ["Na żywo"]}))
        unit = self.next_frame()
        events = live.wait(2)
        _, name, frame = events[1]
        self.assertEqual(name, "frame")
        self.assertEqual(frame["rows"], svc.frame_rows(bytes.fromhex(unit["bytes"])))
        self.assertTrue(frame["ok"])
        self.assertIsNone(frame["message"])
        self.assertRegex(frame["at"], r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}([+-]\d\d:\d\d|Z)$")
        live.close()

        png = self.service.request("GET", "/api/board.png")
        self.assertEqual(png.status, 200)
        self.assertEqual(png.headers["Content-Type"], "image/png")
        self.assertEqual(png.body[:8], b"\x89PNG\r\n\x1a\n")
        width, height = __import__("struct").unpack(">II", png.body[16:24])
        self.assertEqual((width, height), (128 * 5 + 8, 32 * 5 + 8))

    def test_the_page_and_the_preview(self):
        page = self.service.request("GET", "/", token=None)
        self.assertEqual(page.status, 200)
        self.assertIn("text/html", page.headers["Content-Type"])
        self.assertIn("Wyślij", page.body.decode("utf-8"))
        for path in ("/app.js", "/style.css"):
            self.assertEqual(self.service.request("GET", path).status, 200, path)
        preview = self.service.post_json("/api/preview", {"text": ["Podgląd"]})
        self.assertEqual(preview.status, 200)
        self.assertEqual(preview.json()["rows"],
                         svc.frame_rows(self.expected("--text", "Podgląd")))
        # A body of a type a page of another site can send is not read.
        for kind in ("application/x-www-form-urlencoded", "text/plain", None):
            form = self.service.request("POST", "/api/preview",
                                        json.dumps({"text": ["Podgląd"]}).encode(), kind)
            self.assertEqual(form.status, 415, kind)
            self.assertIn("Content-Type", form.json()["error"])
        self.assertEqual(self.board.quiet(0.5), [], "a preview reached the board")

    def test_the_board_is_waited_for_at_the_start_and_after_each_pull(self):
        """The board's adapter pulled out (the virtual board ends: its line
        hangs up, its port link goes) and put back (a new one on the same
        COM port): the service says so, and the board gets the content
        whole, at once. A second service starts with no board at all."""
        text = self.expected("--text", "Peron 3")
        self.assertAccepted(self.service.post_json("/api/board", {"text": ["Peron 3"]}))
        self.assertFrame(self.next_frame(), text, "before the pull")
        returns = []
        for _ in range(3):
            self.board.stop()
            self.assertFalse(self.wait_connected(False)["connected"], "the pull went unseen")
            self.board = kit.Emulator(BIN, PORT, self.config, extra=("--baud", "38400"))
            back = time.monotonic()
            self.assertFrame(self.next_frame(3), text, "after the return")
            returns.append(time.monotonic() - back)
            self.assertTrue(self.wait_connected(True)["connected"])
        log = self.service.log()
        self.assertEqual(log.count("Brak portu COM%d, czekam na jego powrót." % PORT), 3, log)
        self.assertEqual(log.count("Port COM%d wrócił." % PORT), 3, log)
        print("return to the first whole frame: median %.0f ms, worst %.0f ms"
              % (sorted(returns)[1] * 1000, max(returns) * 1000))

        waiting = svc.Service(BIN, self.tmp.join(), self.config, PORT + 1)
        try:
            self.assertFalse(waiting.status()["connected"])
            self.assertAccepted(waiting.post_json("/api/board", {"text": ["Peron 3"]}))
            board = kit.Emulator(BIN, PORT + 1, self.config, extra=("--baud", "38400"))
            try:
                unit = board.units(1, 3)[0]
                self.assertEqual(bytes.fromhex(unit["bytes"]), text)
            finally:
                board.stop()
        finally:
            self.assertEqual(waiting.stop(), 0, waiting.log())

    def wait_connected(self, connected, timeout=3):
        deadline = time.monotonic() + timeout
        status = self.service.status()
        while status["connected"] != connected and time.monotonic() < deadline:
            time.sleep(0.05)
            status = self.service.status()
        return status


if __name__ == "__main__":
    BIN = sys.argv.pop(1)
    unittest.main()
