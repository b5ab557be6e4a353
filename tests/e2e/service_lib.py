"""Shared pieces of the service's end-to-end tests: tablica-serwer started
on a free loopback port with the virtual board as its COM port, plain HTTP
to it (the standard library's client, 127.0.0.1 only), and the frames
tablica-convert makes for the same content, worked out from its bitmap."""

import http.client
import json
import os
import signal
import socket
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import tablica_kit as kit  # noqa: E402

HOST = "127.0.0.1"
free_port = kit.free_port


# --- what tablica-convert makes ---------------------------------------------

def converted_frame(bin_dir, folder, *args):
    """The frame the board gets for tablica-convert's bitmap of `args`."""
    return kit.expected_wire(kit.converted_dots(bin_dir, folder, *args))


def frame_rows(frame):
    """A frame's dots as board.json's rows."""
    dots = frame[4:516]
    return ["".join("1" if dots[16 * y + x // 8] & (0x80 >> (x % 8)) else "0"
                    for x in range(kit.WIDTH)) for y in range(kit.HEIGHT)]


def write_ppm(path, width, height, seed):
    """A colourful picture of `width` x `height` in the plain PPM format,
    which the converter reads like any other."""
    pixels = bytearray()
    for y in range(height):
        for x in range(width):
            pixels += bytes(((x * 7 + seed) % 256, (y * 11 + x * seed) % 256,
                             (x * y + seed * 13) % 256))
    with open(path, "wb") as f:
        f.write(b"P6\n%d %d\n255\n" % (width, height) + pixels)


# --- the service -------------------------------------------------------------

class Reply:
    def __init__(self, status, headers, body):
        self.status = status
        self.headers = headers
        self.body = body

    def json(self):
        return json.loads(self.body.decode("utf-8"))


class Service:
    """tablica-serwer with `args`, in `folder`, its board on COM `port`
    (through the virtual board's link under `config`); its log collected."""

    def __init__(self, bin_dir, folder, config, port, *args, listen_port=None, token=None):
        self.token = token
        # A free port can be taken by another test between the choice and
        # the bind: then another is chosen (only when the test chose none).
        for attempt in range(3):
            self.http_port = listen_port or free_port()
            if self._start(bin_dir, folder, config, port, args):
                return
            if listen_port or "Nie mogę nasłuchiwać" not in self.log() or attempt == 2:
                raise AssertionError("the service did not start (exit %s): %s"
                                     % (self.proc.poll(), self.log()))

    def _start(self, bin_dir, folder, config, port, args):
        """Starts the service; whether its page is served."""
        env = dict(os.environ, XDG_CONFIG_HOME=config, QT_QPA_PLATFORM="offscreen")
        self.process = kit.Process(
            [os.path.join(os.path.abspath(bin_dir), "tablica-serwer"), "--port", str(port),
             "--listen", "%s:%d" % (HOST, self.http_port), "--name", "test", *args],
            grace=15, cwd=folder, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.proc = self.process.proc
        self.lines = []
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()
        deadline = time.monotonic() + 20
        while not any("Strona tablicy" in line for line in self.lines):
            if self.proc.poll() is not None:
                self.reader.join(5)  # its last lines say why
                return False
            if time.monotonic() > deadline:
                self.process.stop(signal.SIGTERM)
                self.reader.join(5)
                return False
            time.sleep(0.05)
        return True

    def _read(self):
        for line in self.proc.stderr:
            self.lines.append(line.decode("utf-8", "replace"))

    def log(self):
        return "".join(self.lines)

    def request(self, method, path, body=None, content_type=None, token="default", headers=None):
        """One request on a fresh connection; `token` None sends none."""
        token = self.token if token == "default" else token
        all_headers = dict(headers or {})
        if content_type:
            all_headers["Content-Type"] = content_type
        if token:
            all_headers["Authorization"] = "Bearer " + token
        connection = http.client.HTTPConnection(HOST, self.http_port, timeout=30)
        try:
            connection.request(method, path, body=body, headers=all_headers)
            reply = connection.getresponse()
            return Reply(reply.status, dict(reply.getheaders()), reply.read())
        finally:
            connection.close()

    def post_json(self, path, value, **more):
        return self.request("POST", path, json.dumps(value).encode("utf-8"), "application/json",
                            **more)

    def status(self):
        return self.request("GET", "/api/status").json()

    def stop(self):
        """SIGTERM, as systemd stops it; returns the exit code."""
        self.process.stop(signal.SIGTERM)
        self.reader.join(5)
        self.proc.stdout.close()
        self.proc.stderr.close()
        return self.proc.returncode


class LiveEvents:
    """GET /api/live read on a thread of its own: every "frame" event's
    JSON, with the moment it arrived."""

    def __init__(self, service, token="default"):
        token = service.token if token == "default" else token
        self.connection = http.client.HTTPConnection(HOST, service.http_port, timeout=30)
        headers = {"Authorization": "Bearer " + token} if token else {}
        self.connection.request("GET", "/api/live", headers=headers)
        self.reply = self.connection.getresponse()
        self.status = self.reply.status
        self.events = []
        self.changed = threading.Condition()
        if self.status == 200:
            threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        name, data = None, ""
        try:
            for raw in self.reply:
                line = raw.decode("utf-8").rstrip("\n")
                if line.startswith("event:"):
                    name = line[6:].strip()
                elif line.startswith("data:"):
                    data += line[5:].strip()
                elif line == "" and name:
                    with self.changed:
                        self.events.append((time.monotonic(), name, json.loads(data)))
                        self.changed.notify_all()
                    name, data = None, ""
        except Exception:  # the connection closed under the reader (close())
            pass

    def wait(self, count, timeout=15):
        with self.changed:
            self.changed.wait_for(lambda: len(self.events) >= count, timeout)
            if len(self.events) < count:
                raise AssertionError("expected %d live events, got %d" % (count, len(self.events)))
            return list(self.events)

    def close(self):
        try:
            self.connection.sock.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        self.connection.close()
