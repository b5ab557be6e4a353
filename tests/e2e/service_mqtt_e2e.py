#!/usr/bin/env python3
"""tablica-serwer on an MQTT broker, end to end: Debian's mosquitto started
here on a loopback port of its own (its configuration written here, no
system service), and a fleet of two services, each with a virtual board on
its port. A message to one board's topic reaches only that board, one to
tablica/all/ or to their group reaches both; a refused payload is logged,
shown in the status and dropped; two services given one name both stay
connected, both get the name's messages and both say the name is used
twice; the
services log in with a password from a file, and a wrong one is refused by
the broker and said once in the log; the availability, Home Assistant's discovery, the status and the board's picture
are retained (a fresh subscriber gets them); the broker stopped and started
again: the services come back by themselves; a service killed leaves
"offline" behind (its last will), one stopped says so itself."""

import json
import os
import signal
import sys
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import tablica_kit as kit  # noqa: E402
import service_lib as svc  # noqa: E402
from mqtt_broker import Broker  # noqa: E402

BIN = None
MOSQUITTO = "mosquitto"
HOST = "127.0.0.1"
BOARDS = {"peron-1": 23, "peron-2": 24}
TWICE = "używana też przez inną działającą usługę"
PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"


class MqttFleet(unittest.TestCase):
    def setUp(self):
        self.tmp = kit.TempFolder("service-mqtt-e2e-")
        self.config = self.tmp.join("config")
        # The broker lets in one user: the services log in with the password
        # from a file.
        self.broker = Broker(MOSQUITTO, self.tmp.join(), "tablica", "Hasło 1 ąę")
        self.password_file = self.tmp.join("haslo")
        with open(self.password_file, "w", encoding="utf-8") as f:
            f.write("Hasło 1 ąę\n")
        self.boards = {}
        self.services = {}
        for name, port in BOARDS.items():
            self.start_service(name, port, "--name", name, "--group", "perony")

    def start_service(self, key, port, *args):
        self.boards[key] = kit.Emulator(BIN, port, self.config)
        folder = self.tmp.join(key)
        os.makedirs(folder)
        self.services[key] = svc.Service(BIN, folder, self.config, port, *args,
                                         "--mqtt", "%s:%d" % (HOST, self.broker.port),
                                         "--mqtt-user", "tablica",
                                         "--mqtt-password-file", self.password_file)

    def tearDown(self):
        for service in self.services.values():
            service.stop()
        for board in self.boards.values():
            board.stop()
        self.broker.stop()
        self.tmp.remove()

    def expected_text(self, *lines):
        args = []
        for line in lines:
            args += ["--text", line]
        return svc.converted_frame(BIN, self.tmp.join(), *args)

    def assertBoardGets(self, name, frame, what):
        unit = self.boards[name].units(1, 15)[0]
        self.assertEqual(unit["event"], "frame", unit)
        self.assertEqual(bytes.fromhex(unit["bytes"]), frame,
                         "%s: %s got other dots than tablica-convert's" % (what, name))
        return unit

    def assertBoardQuiet(self, name, seconds, what):
        extra = self.boards[name].quiet(seconds)
        self.assertEqual(extra, [], "%s: %s should have received nothing" % (what, name))

    def wait_online(self):
        for name in BOARDS:
            self.broker.wait_retained("tablica/%s/availability" % name, b"online")

    def test_a_fleet_of_two_on_one_broker(self):
        self.wait_online()

        # --- retained for whoever comes later -------------------------------------
        # Each board: availability, instance, status, image and five discovery topics.
        held = self.broker.wait_retained_count(9 * len(BOARDS), "tablica/#", "homeassistant/#")
        for name in BOARDS:
            self.assertEqual(held.get("tablica/%s/availability" % name), b"online")
            status = json.loads(held["tablica/%s/status" % name])
            self.assertEqual(status["name"], name)
            self.assertTrue(held["tablica/%s/image" % name].startswith(PNG_SIGNATURE))
            node = "tablica_" + name
            configs = {topic: json.loads(payload) for topic, payload in held.items()
                       if topic.startswith("homeassistant/") and ("/%s/" % node) in topic}
            self.assertEqual(sorted(topic.split("/")[1] for topic in configs),
                             ["binary_sensor", "button", "image", "sensor", "text"])
            devices = {json.dumps(c["device"], sort_keys=True) for c in configs.values()}
            self.assertEqual(len(devices), 1, "the five entities are one device")
            by_kind = {topic.split("/")[1]: c for topic, c in configs.items()}
            self.assertEqual(by_kind["text"]["command_topic"], "tablica/%s/text" % name)
            self.assertTrue(status["connected"], status)
            self.assertEqual(by_kind["text"]["state_topic"], "tablica/%s/status" % name)
            self.assertIsNone(by_kind["image"]["name"])  # named as the device alone
            self.assertTrue(by_kind["image"]["device"]["configuration_url"].startswith("http://"))
            self.assertEqual(by_kind["button"]["command_topic"], "tablica/%s/blank" % name)
            self.assertEqual(by_kind["sensor"]["state_topic"], "tablica/%s/status" % name)
            self.assertEqual(by_kind["image"]["image_topic"], "tablica/%s/image" % name)
            for config in configs.values():
                self.assertEqual(config["availability_topic"], "tablica/%s/availability" % name)
        # Nothing was shown yet: nothing was written to either board.
        for name in BOARDS:
            self.assertBoardQuiet(name, 0.2, "before any message")

        # --- one board's topic, then every board's ------------------------------------
        one = self.expected_text("Peron 1", "odjazd 12:45")
        self.broker.publish("tablica/peron-1/text", "Peron 1\nodjazd 12:45\n".encode())
        self.assertBoardGets("peron-1", one, "tablica/peron-1/text")
        self.assertBoardQuiet("peron-2", 1.0, "tablica/peron-1/text")

        every = self.expected_text("Zmiana peronu")
        self.broker.publish("tablica/all/text", "Zmiana peronu".encode())
        for name in BOARDS:
            self.assertBoardGets(name, every, "tablica/all/text")

        # The status after the send, retained; the picture of the board as it is now.
        status = json.loads(self.broker.wait_retained(
            "tablica/peron-1/status", lambda s: json.loads(s)["sends"] >= 2))
        self.assertEqual(status["showing"], "text")
        self.assertTrue(status["last_send"]["ok"])
        self.broker.wait_retained("tablica/peron-1/image",
                                  lambda png: png == self.services["peron-1"].request(
                                      "GET", "/api/board.png").body)

        # --- refused payloads: logged, dropped, nothing on the board -----------------
        self.broker.publish("tablica/peron-2/picture", b"GIF89a to nie jest obraz")
        self.broker.publish("tablica/peron-2/text", b"Za\xc5")  # cut in the middle of a letter
        self.broker.publish("tablica/peron-2/notify", b'{"text": ["bez czasu"]}')
        self.broker.publish("tablica/peron-2/show", b'{"pages": [{"picture": "/etc/passwd"}]}')
        self.broker.publish("tablica/peron-2/text", b"W" * 100_000)
        self.broker.publish("tablica/peron-2/text", "jedna\ndwie\ntrzy".encode())
        self.assertBoardQuiet("peron-2", 1.5, "refused payloads")
        log = self.services["peron-2"].log()
        self.assertEqual(log.count("MQTT: odrzucono wiadomość"), 6, log)
        self.assertIn("„tablica/peron-2/picture”", log)
        # The last refusal is in the status (Home Assistant's sensor shows it).
        self.broker.wait_retained("tablica/peron-2/status", lambda s: "dwie linie" in (
            json.loads(s)["refused"] or {}).get("message", ""))
        # Still there: a notification shows, then the content comes back.
        self.broker.publish("tablica/peron-2/notify", json.dumps(
            {"text": ["Pociąg opóźniony"], "seconds": 1}).encode())
        notice = self.assertBoardGets("peron-2", self.expected_text("Pociąg opóźniony"), "notify")
        back = self.assertBoardGets("peron-2", every, "after the notification")
        self.assertAlmostEqual(back["t"] - notice["t"], 1.0, delta=0.4)
        # The queue: a held message over a lower one until its id is cancelled.
        self.broker.publish("tablica/peron-2/notify", json.dumps(
            {"text": ["Objazd"], "hold": True, "id": "objazd", "priority": 7}).encode())
        self.assertBoardGets("peron-2", self.expected_text("Objazd"), "held")
        self.broker.publish("tablica/peron-2/notify", json.dumps(
            {"text": ["Niżej"], "seconds": 60, "priority": 2}).encode())
        self.assertBoardQuiet("peron-2", 1.0, "a lower priority waits")
        self.broker.publish("tablica/peron-2/notify/cancel", b"objazd")
        self.assertBoardGets("peron-2", self.expected_text("Niżej"), "the next in the queue")
        self.broker.publish("tablica/peron-2/notify/cancel", b"")
        self.assertBoardGets("peron-2", every, "the queue cancelled")
        # Clearing a retained notification at the broker is no fault.
        self.broker.publish("tablica/peron-2/notify", b"", retain=True)
        self.assertBoardQuiet("peron-2", 1.0, "an empty notification")
        self.assertEqual(self.services["peron-2"].log().count("MQTT: odrzucono wiadomość"),
                         log.count("MQTT: odrzucono wiadomość"))
        self.broker.publish("tablica/peron-2/blank", b"PRESS")
        self.assertBoardGets("peron-2", kit.expected_frame([[1] * 128] * 32, False), "blank")

        # --- the broker goes away and comes back: the services come back ----------
        self.broker.stop()
        time.sleep(1.0)
        self.broker.start()  # holds nothing: what it holds next, the services published again
        self.wait_online()
        held = self.broker.wait_retained_count(10, "homeassistant/#")
        self.assertEqual(len(held), 10, "discovery published again: %s" % sorted(held))
        again = self.expected_text("Po przerwie")
        self.broker.publish("tablica/peron-1/text", "Po przerwie".encode())
        self.assertBoardGets("peron-1", again, "after the broker's restart")
        for name in BOARDS:
            self.assertGreaterEqual(self.services[name].log().count("MQTT: połączono z brokerem"),
                                    2, self.services[name].log())

        # --- a wrong password: refused by the broker, said once, no crash ----------
        with open(self.tmp.join("zle-haslo"), "w") as f:
            f.write("zgadywane\n")
        stranger = svc.Service(BIN, self.tmp.join(), self.config, 25, "--name", "obcy",
                               "--mqtt", "%s:%d" % (HOST, self.broker.port), "--mqtt-user",
                               "tablica", "--mqtt-password-file", self.tmp.join("zle-haslo"))
        try:
            deadline = time.monotonic() + 10
            while "odmówił połączenia" not in stranger.log() and time.monotonic() < deadline:
                time.sleep(0.1)
            time.sleep(2.5)  # a try or two more
            self.assertEqual(stranger.log().count(
                "MQTT: broker %s:%d odmówił połączenia: brak uprawnień (sprawdź użytkownika i hasło)."
                % (HOST, self.broker.port)), 1, stranger.log())
        finally:
            self.assertEqual(stranger.stop(), 0, stranger.log())

        # --- leaving: killed, the broker publishes the will; stopped, it says so -----
        self.services["peron-2"].proc.send_signal(signal.SIGKILL)
        self.broker.wait_retained("tablica/peron-2/availability", b"offline", timeout=10)
        self.assertEqual(self.services["peron-1"].stop(), 0, self.services["peron-1"].log())
        self.broker.wait_retained("tablica/peron-1/availability", b"offline", timeout=10)

    def test_one_name_twice_and_a_group(self):
        self.wait_online()
        # A second service named as the first: it finds the name held, the
        # first hears it come; both say so, and neither pushes the other off.
        self.start_service("twin", 26, "--name", "peron-1")
        for key in ("twin", "peron-1"):
            service = self.services[key]
            deadline = time.monotonic() + 15
            while TWICE not in service.log() and time.monotonic() < deadline:
                time.sleep(0.2)
            self.assertIn(TWICE, service.log())
            self.assertIn(TWICE, service.status()["notice"])
        both = self.expected_text("Oba")
        self.broker.publish("tablica/peron-1/text", "Oba".encode())
        for key in ("peron-1", "twin"):
            self.assertBoardGets(key, both, "one name twice")
        self.assertBoardQuiet("peron-2", 0.5, "one name twice")
        # A group's message reaches its boards only.
        group = self.expected_text("Grupa")
        self.broker.publish("tablica/group/perony/text", "Grupa".encode())
        for name in BOARDS:
            self.assertBoardGets(name, group, "tablica/group/perony/text")
        self.assertBoardQuiet("twin", 0.5, "a group it is not in")
        for key in ("peron-1", "twin"):
            log = self.services[key].log()
            self.assertEqual(log.count("MQTT: połączono z brokerem"), 1, log)
        self.assertEqual(self.broker.retained("tablica/peron-1/availability"),
                         {"tablica/peron-1/availability": b"online"})


if __name__ == "__main__":
    BIN = sys.argv.pop(1)
    if len(sys.argv) > 1:
        MOSQUITTO = sys.argv.pop(1)
    unittest.main(verbosity=2)
