#!/usr/bin/env python3
"""tablica-serwer.exe of the portable folder under Wine, with the virtual
board of the Linux build on its COM port (linked in the shared prefix): it
answers /api/status, puts a text posted over HTTP on the board as the Linux
tablica-convert draws it, and, through the folder's libmosquitto.dll, takes
a text from Debian's mosquitto (started here on a loopback port).

  wine_service_e2e.py <portable folder> <Linux bin folder> <wine64> [mosquitto]

WINEPREFIX names the prefix that the tests' fixture made."""

import http.client
import json
import os
import signal
import subprocess
import sys
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "support"))
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))
import tablica_kit as kit  # noqa: E402
import service_lib as svc  # noqa: E402
from mqtt_broker import Broker  # noqa: E402
from wine_e2e import BoardOnComPort  # noqa: E402
from wine_prefix import WinePrefix  # noqa: E402
import wine_e2e  # noqa: E402

FOLDER = BIN = PREFIX = MOSQUITTO = None
PORT = 3
HOST = "127.0.0.1"


class ServiceUnderWine(unittest.TestCase):
    def setUp(self):
        wine_e2e.BIN, wine_e2e.PREFIX = BIN, PREFIX
        self.tmp = kit.TempFolder("wine-service-e2e-")
        self.addCleanup(self.tmp.remove)
        self.board = BoardOnComPort(self.tmp, PORT)
        self.addCleanup(self.board.stop)
        self.broker = Broker(MOSQUITTO, self.tmp.join()) if MOSQUITTO else None
        if self.broker:
            self.addCleanup(self.broker.stop)
        self.http_port = kit.free_port()
        args = ["--port", str(PORT), "--listen", "%s:%d" % (HOST, self.http_port), "--name", "wine"]
        if self.broker:
            args += ["--mqtt", "%s:%d" % (HOST, self.broker.port)]
        self.log_path = self.tmp.join("serwer.log")
        # Wine's services outlive the program and inherit its files: the log
        # goes to a file, never to a pipe.
        with open(self.log_path, "wb") as log:
            self.proc = kit.Process(
                [PREFIX.wine, os.path.join(FOLDER, "tablica-serwer.exe"), *args],
                grace=15, cwd=self.tmp.join(), env=PREFIX.env, stdin=subprocess.DEVNULL,
                stdout=log, stderr=log)
        self.addCleanup(self.proc.stop, signal.SIGINT)  # Ctrl+C in its console

    def log(self):
        with open(self.log_path, "rb") as f:
            return f.read().decode("utf-8", "replace")

    def request(self, method, path, body=None):
        connection = http.client.HTTPConnection(HOST, self.http_port, timeout=30)
        try:
            headers = {"Content-Type": "application/json"} if body is not None else {}
            connection.request(method, path, body=body, headers=headers)
            reply = connection.getresponse()
            return reply.status, reply.read()
        finally:
            connection.close()

    def wait_status(self, timeout=60):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.proc.poll() is not None:
                self.fail("tablica-serwer.exe ended (%s): %s" % (self.proc.poll(), self.log()))
            try:
                status, body = self.request("GET", "/api/status")
                return status, json.loads(body)
            except OSError:
                time.sleep(0.3)
        self.fail("tablica-serwer.exe did not answer: " + self.log())

    def expected(self, *lines):
        args = []
        for line in lines:
            args += ["--text", line]
        return svc.converted_frame(BIN, self.tmp.join(), *args)

    def test_answers_and_puts_posted_and_published_text_on_the_board(self):
        status, answer = self.wait_status()
        self.assertEqual(status, 200)
        self.assertEqual((answer["port"], answer["name"]), (PORT, "wine"), answer)

        lines = ["Zażółć gęślą", "jaźń 12:45"]
        status, body = self.request("POST", "/api/board", json.dumps({"text": lines}).encode())
        self.assertEqual((status, json.loads(body)), (200, {"ok": True}), body)
        (frame,) = self.board.board.units(1, 30)
        self.assertEqual(kit.unit_bytes(frame), self.expected(*lines))
        self.assertEqual(self.wait_status()[1]["showing"], "text")

        if self.broker:
            self.broker.wait_retained("tablica/wine/availability", b"online", timeout=60)
            self.broker.publish("tablica/wine/text", "Przez MQTT".encode())
            (frame,) = self.board.board.units(1, 30)
            self.assertEqual(kit.unit_bytes(frame), self.expected("Przez MQTT"))


if __name__ == "__main__":
    FOLDER, BIN, wine = sys.argv[1:4]
    MOSQUITTO = sys.argv[4] if len(sys.argv) > 4 else None
    PREFIX = WinePrefix(os.environ["WINEPREFIX"], wine)
    del sys.argv[1:]
    unittest.main(verbosity=2)
