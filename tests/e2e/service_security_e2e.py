#!/usr/bin/env python3
"""tablica-serwer's guards, with the virtual board on its port: without the
token, with a wrong one, a body over the limit, a show naming a file: each
refused, and nothing reaches the board. Listening beyond the loopback
interface without a token is refused at start; live-board listeners are
limited, and the API goes on answering while they are all there."""

import http.client
import json
import os
import socket
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import tablica_kit as kit  # noqa: E402
import service_lib as svc  # noqa: E402

BIN = None
PORT = 22
TOKEN = "Xq7-test-token-9f2"
LIMIT = 4096


class ServiceSecurity(unittest.TestCase):
    def setUp(self):
        self.tmp = kit.TempFolder("service-security-")
        self.config = self.tmp.join("config")
        with open(self.tmp.join("token"), "w") as f:
            f.write("  %s\n" % TOKEN)
        self.board = kit.Emulator(BIN, PORT, self.config)
        self.service = svc.Service(BIN, self.tmp.join(), self.config, PORT, "--token-file",
                                   self.tmp.join("token"), "--max-upload", str(LIMIT), token=TOKEN)

    def tearDown(self):
        code = self.service.stop()
        self.board.stop()
        self.tmp.remove()
        self.assertEqual(code, 0, self.service.log())

    def assertNothingSent(self):
        self.assertEqual(self.board.quiet(1.0), [], "a refused request reached the board")
        self.assertEqual(self.service.status()["sends"], 0)

    def test_without_the_token_or_with_a_wrong_one_nothing_is_sent(self):
        body = json.dumps({"text": ["Włamanie"]}).encode()
        for token in (None, "wrong", TOKEN + "x", TOKEN[:-1], ""):
            for method, path, data in (("GET", "/api/status", None),
                                       ("POST", "/api/board", body),
                                       ("POST", "/api/notify?seconds=5", body),
                                       ("DELETE", "/api/board", None),
                                       ("GET", "/api/board.json", None),
                                       ("GET", "/api/live", None)):
                reply = self.service.request(method, path, data, "application/json", token=token)
                self.assertEqual(reply.status, 401, (token, path))
                self.assertEqual(reply.headers.get("WWW-Authenticate"), "Bearer")
                self.assertIn("żetonu", reply.json()["error"])
        # However the address is written, only the page's own files are open.
        for path in ("/%61pi/status", "//api/status", "/api/nothing", "/app.js/../api/status"):
            self.assertEqual(self.service.request("GET", path, token=None).status, 401, path)
        # The page itself needs no token (it asks for it).
        self.assertEqual(self.service.request("GET", "/", token=None).status, 200)
        self.assertNothingSent()
        self.assertEqual(self.service.post_json("/api/board", {"text": ["Swój"]}).status, 200)
        self.assertEqual(self.board.units(1)[0]["event"], "frame")

    def test_a_body_over_the_limit_is_refused_before_it_is_read(self):
        reply = self.service.request("POST", "/api/board", b"P6\n" + b"\0" * LIMIT, "image/png")
        self.assertEqual(reply.status, 413)
        self.assertIn("za duże", reply.json()["error"])
        # Declared far larger than anything sent, or not a number: the answer
        # comes at once, without waiting for the body, and nothing follows it.
        for declared, status in ((b"1000000000", b"413"), (b"2x", b"400")):
            with socket.create_connection((svc.HOST, self.service.http_port), timeout=20) as raw:
                raw.sendall(b"POST /api/board HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: image/png\r\n"
                            b"Authorization: Bearer " + TOKEN.encode() +
                            b"\r\nContent-Length: " + declared + b"\r\n\r\n" + b"\0" * 100)
                started = time.monotonic()
                answer = b""
                while b"}" not in answer:
                    chunk = raw.recv(65536)
                    if not chunk:
                        break
                    answer += chunk
                self.assertLess(time.monotonic() - started, 2)
                self.assertTrue(answer.startswith(b"HTTP/1.1 " + status), answer[:100])
                self.assertIn(b"Connection: close", answer)
                while True:  # the rest of the body is never taken for a request
                    chunk = raw.recv(65536)
                    if not chunk:
                        break
                    answer += chunk
            self.assertEqual(answer.count(b"HTTP/1.1"), 1, answer)
        # Chunked, without a length: cut at the limit.
        connection = http.client.HTTPConnection(
            svc.HOST, self.service.http_port, timeout=10)
        connection.request("POST", "/api/board", body=iter([b"\0" * 1024] * 8),
                           headers={"Authorization": "Bearer " + TOKEN,
                                    "Content-Type": "image/png", "Transfer-Encoding": "chunked"},
                           encode_chunked=True)
        self.assertEqual(connection.getresponse().status, 413)
        connection.close()
        self.assertNothingSent()

    def test_idle_and_slow_clients_are_cut_off(self):
        idle = socket.create_connection((svc.HOST, self.service.http_port), timeout=30)
        slow = socket.create_connection((svc.HOST, self.service.http_port), timeout=30)
        slow.sendall(b"GET /api/st")  # and nothing more
        started = time.monotonic()
        self.assertEqual(self.service.request("GET", "/api/status").status, 200)
        for client, limit in ((idle, 5), (slow, 10)):
            self.assertEqual(client.recv(1000), b"", "the server answered a request never made")
            self.assertLess(time.monotonic() - started, limit + 3)
            client.close()

    def test_slow_and_crowding_clients_hold_no_worker(self):
        """Clients trickling their heads from other addresses, more of them
        than there are workers: the API still answers; one address gets no
        more than 16 connections; a trickled head is cut off at 10 s."""
        def connect(address):
            return socket.create_connection((svc.HOST, self.service.http_port), timeout=20,
                                            source_address=(address, 0))
        slow = []
        try:
            for address in ("127.0.0.2", "127.0.0.3", "127.0.0.4"):
                for _ in range(12):
                    slow.append(connect(address))
                    slow[-1].sendall(b"GET /api/status HTTP/1.1\r\n")
            crowd = [connect("127.0.0.5") for _ in range(17)]
            slow += crowd
            refused = crowd[-1].recv(1000)
            self.assertTrue(refused.startswith(b"HTTP/1.1 503"), refused)
            self.assertIn("najwięcej połączeń", refused.decode("utf-8"))
            started = time.monotonic()
            for _ in range(10):
                reply = self.service.request("GET", "/api/status")
                self.assertEqual(reply.status, 200)
            self.assertLess(time.monotonic() - started, 5, "the workers were held")
            trickle = slow[0]
            while time.monotonic() - started < 15:
                try:
                    trickle.sendall(b"X-Kawalek: 1\r\n")
                    trickle.settimeout(1)
                    if trickle.recv(1000) == b"":
                        break
                except socket.timeout:
                    continue
                except OSError:
                    break
            self.assertLess(time.monotonic() - started, 13, "a trickled head was never cut off")
        finally:
            for client in slow:
                client.close()

    def test_a_show_naming_a_file_is_refused(self):
        secret = self.tmp.join("secret.bmp")
        kit.write_bmp(secret, kit.pattern(3))
        for show in ({"pages": [{"picture": secret, "seconds": 2}]},
                     {"pages": [{"animation": "secret.bmp"}]},
                     {"picture": "file://" + secret},
                     {"pages": [{"text": ["a"], "font": "/usr/share/fonts/truetype/unifont/unifont.ttf",
                                 "seconds": 1}]}):
            reply = self.service.post_json("/api/board", show)
            self.assertEqual(reply.status, 422, show)
            self.assertIn("nie może wskazywać plików", reply.json()["error"], show)
        self.assertNothingSent()

    def test_live_listeners_are_limited_and_the_api_still_answers(self):
        listeners = [svc.LiveEvents(self.service) for _ in range(8)]
        try:
            self.assertEqual([l.status for l in listeners], [200] * 8)
            extra = svc.LiveEvents(self.service)
            self.assertEqual(extra.status, 503)
            self.assertIn("spróbuj", json.loads(extra.reply.read())["error"])
            extra.close()
            for _ in range(20):
                self.assertEqual(self.service.request("GET", "/api/status").status, 200)
            self.assertEqual(self.service.post_json("/api/board", {"text": ["Dla wszystkich"]}).status,
                             200)
            self.board.units(1)
            for listener in listeners:
                listener.wait(2)
        finally:
            for listener in listeners:
                listener.close()
        # The places are given back once the listeners have gone.
        deadline = time.monotonic() + 20
        while True:
            again = svc.LiveEvents(self.service)
            again.close()
            if again.status == 200 or time.monotonic() > deadline:
                break
            time.sleep(0.5)
        self.assertEqual(again.status, 200)


class ServiceStart(unittest.TestCase):
    def run_service(self, *args):
        return subprocess.run([os.path.join(BIN, "tablica-serwer"), *args],
                              env=dict(os.environ, QT_QPA_PLATFORM="offscreen"),
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                              timeout=30)

    def test_beyond_loopback_only_with_a_token_file(self):
        result = self.run_service("--listen", "0.0.0.0:%d" % kit.free_port(), "--name", "x")
        self.assertEqual(result.returncode, 2)
        self.assertIn("--token-file", result.stderr)
        self.assertIn("żetonu", result.stderr)

    def test_bad_command_lines_are_refused(self):
        tmp = kit.TempFolder("service-start-")
        try:
            empty = tmp.join("empty")
            open(empty, "w").close()
            for args, says in ((["--token-file", empty, "--name", "x"], "pusty"),
                               (["--token-file", tmp.join("none"), "--name", "x"], "Nie mogę odczytać"),
                               (["--name", "a/b"], "litery"),
                               (["--port", "300"], "1..254"),
                               (["--token", "abc"], "Nieznana opcja")):
                result = self.run_service(*args)
                self.assertEqual(result.returncode, 2, args)
                self.assertIn(says, result.stderr, args)
        finally:
            tmp.remove()
        self.assertIn("--token-file", self.run_service("--help").stdout)


if __name__ == "__main__":
    BIN = sys.argv.pop(1)
    unittest.main()
