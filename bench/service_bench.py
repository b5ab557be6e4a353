#!/usr/bin/env python3
"""Figures of tablica-serwer (a Markdown table; nothing passes or fails on a
time), with the virtual board reading at 38400 baud on its port:
  - from the POST of a line of text to its frame's last byte at the board,
    less the frame's wire time;
  - 1,000 requests from 8 clients at once while a show plays: every request
    answered, every frame whole with a right checksum, resident memory
    before and after, requests a second;
  - the API's answer time, median and 99th percentile of 100 requests,
    with none and with 200 connections from another address (127.0.0.2)
    sending their request's head a line a second;
  - a queue of 1,000 held notifications added and cancelled one by one over
    HTTP, twice: each request's time (the HTTP round trip and the text
    drawn included), resident memory before, full and after;
  - an animation of 1,500 frames of 4000 x 4000 posted in a show (refused
    for what it would cost to read), the largest one taken (a gigapixel),
    and a picture and a text posted while that one is read: each to its
    frame at the board; the service's peak resident memory;
  - the service's CPU time while idle (TABLICA_BENCH_IDLE_SECONDS, 60 by
    default).
Usage: service_bench.py BIN_DIR"""

import base64
import json
import os
import socket
import statistics
import struct
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "support"))
import tablica_kit as kit  # noqa: E402
import service_lib as svc  # noqa: E402
from process_figures import idle_cpu_row, peak_kib, print_table, resident_kib  # noqa: E402

BAUD = 38400
FRAME_WIRE = 517 * 10 / BAUD  # seconds
CLIENTS = 8
REQUESTS = 1000


def latency(service, board, rounds=20):
    """POST of a text to its frame's last byte at the board, less its wire time."""
    figures = []
    for i in range(rounds):
        started = time.monotonic()
        reply = service.post_json("/api/board", {"text": ["Pomiar %d" % i]})
        assert reply.status == 200, reply.body
        unit = board.units(1)[0]
        assert unit["event"] == "frame" and unit["checksum_ok"], unit
        figures.append(unit["t"] - started - FRAME_WIRE)
        time.sleep(0.3)
    return figures


def load(service):
    """REQUESTS requests from CLIENTS clients at once; their statuses."""
    kinds = [("GET", "/api/status", None, None),
             ("GET", "/api/board.json", None, None),
             ("GET", "/api/board.png", None, None),
             ("POST", "/api/preview", json.dumps({"text": ["Podgląd", "obciążenia"]}).encode(),
              "application/json")]
    statuses = []
    lock = threading.Lock()

    def client(number):
        for i in range(REQUESTS // CLIENTS):
            method, path, body, kind = kinds[(number + i) % len(kinds)]
            status = service.request(method, path, body, kind).status
            with lock:
                statuses.append(status)

    threads = [threading.Thread(target=client, args=(n,)) for n in range(CLIENTS)]
    started = time.monotonic()
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    return statuses, time.monotonic() - started


def answer_times(service, count=100):
    """GET /api/status `count` times, one after another: seconds each."""
    figures = []
    for _ in range(count):
        started = time.monotonic()
        assert service.request("GET", "/api/status").status == 200
        figures.append(time.monotonic() - started)
    return figures


class SlowHeads:
    """`count` connections from `address`, each sending a header line a
    second and never the end of its head; one closed by the service is
    opened again."""

    def __init__(self, service, address, count):
        self.target = (svc.HOST, service.http_port)
        self.address = address
        self.clients = [None] * count
        self.stopping = threading.Event()
        self.thread = threading.Thread(target=self._run, daemon=True)
        self.thread.start()

    def _run(self):
        while not self.stopping.is_set():
            for i, client in enumerate(self.clients):
                try:
                    if client is None:
                        client = socket.create_connection(self.target, timeout=2,
                                                          source_address=(self.address, 0))
                        client.setblocking(False)
                        client.sendall(b"GET /api/status HTTP/1.1\r\n")
                    client.sendall(b"X-Wolno: 1\r\n")
                    try:
                        if client.recv(4096) == b"":
                            raise OSError("closed")
                    except BlockingIOError:
                        pass
                    self.clients[i] = client
                except OSError:
                    if client is not None:
                        client.close()
                    self.clients[i] = None
            self.stopping.wait(1)

    def stop(self):
        self.stopping.set()
        self.thread.join()
        for client in self.clients:
            if client is not None:
                client.close()


def percentiles(figures):
    ordered = sorted(figures)
    return "%.1f / %.1f ms" % (statistics.median(ordered) * 1000,
                               ordered[max(0, int(len(ordered) * 0.99) - 1)] * 1000)


def notice_queue(service, pid, count=1000, rounds=2):
    """Adds `count` held notifications, lists them, cancels each; `rounds` times.
    Rows of the figures."""
    adds, cancels, memory = [], [], [resident_kib(pid)]
    listed = []
    for _ in range(rounds):
        for i in range(count):
            started = time.monotonic()
            reply = service.post_json("/api/notify?hold=1&priority=%d&id=q%d" % (i % 10, i),
                                      {"text": ["Komunikat %d" % i]})
            adds.append(time.monotonic() - started)
            assert reply.status == 200, reply.body
        listed.append(len(service.request("GET", "/api/notify").json()["queue"]))
        memory.append(resident_kib(pid))
        for i in range(count):
            started = time.monotonic()
            reply = service.request("DELETE", "/api/notify/q%d" % i)
            cancels.append(time.monotonic() - started)
            assert reply.status == 200, reply.body
        memory.append(resident_kib(pid))
    assert listed == [count] * rounds, listed
    assert service.request("GET", "/api/notify").json()["queue"] == []
    ms = lambda seconds: "%.2f ms" % (seconds * 1000)  # noqa: E731
    return [
        ("A queue of %d held notifications over HTTP (a request each, its round trip and "
         "text included): adding, median / slowest" % count,
         "%s / %s" % (ms(statistics.median(adds)), ms(max(adds)))),
        ("The same, cancelling each by its id: median / slowest",
         "%s / %s" % (ms(statistics.median(cancels)), ms(max(cancels)))),
        ("Resident memory before, with %d queued, after cancelling (%d rounds)" % (count, rounds),
         " / ".join("%.1f" % (kib / 1024) for kib in memory) + " MiB"),
    ]


def gif_image_data(gif):
    """The LZW data of a GIF's first image (its code size, sub-blocks and
    their end)."""
    flags = gif[10]
    at = 13 + (3 << ((flags & 7) + 1) if flags & 0x80 else 0)
    while gif[at] == 0x21:  # an extension: its label, then sub-blocks
        at += 2
        while gif[at]:
            at += gif[at] + 1
        at += 1
    assert gif[at] == 0x2C, "no image in the GIF"
    local = gif[at + 9]
    start = at + 10 + (3 << ((local & 7) + 1) if local & 0x80 else 0)
    at = start + 1
    while gif[at]:
        at += gif[at] + 1
    return gif[start:at + 1]


def big_animation(folder, frames, side=4000):
    """A GIF of `frames` whole frames of `side` x `side`, white and black in
    turn: ImageMagick's one white frame, repeated with a colour table of
    its own each."""
    one = os.path.join(folder, "jedna.gif")
    subprocess.run(["convert", "-size", "%dx%d" % (side, side), "xc:white", "-type", "palette",
                    "-colors", "2", one], check=True)
    with open(one, "rb") as f:
        data = gif_image_data(f.read())
    tables = (b"\xff\xff\xff\0\0\0", b"\0\0\0\xff\xff\xff")
    frame = [b"\x21\xf9\x04\x00\x04\x00\x00\x00\x2c" + struct.pack("<HHHH", 0, 0, side, side)
             + b"\x80" + table + data for table in tables]
    return (b"GIF89a" + struct.pack("<HHBBB", side, side, 0x80, 0, 0) + tables[0]
            + b"".join(frame[i % 2] for i in range(frames)) + b"\x3b")


def large_uploads(service, board, pid, folder):
    """Rows: a huge animation refused, the largest taken, and a picture and
    a text posted while it is read, each to its frame at the board."""
    def as_show(gif):
        return json.dumps({"animation": "data:image/gif;base64,"
                           + base64.b64encode(gif).decode("ascii")}).encode("ascii")

    def timed_post(body, kind, into):
        started = time.monotonic()
        reply = service.request("POST", "/api/board", body, kind)
        into.append((reply.status, time.monotonic() - started))

    def to_board(body, kind):
        started = time.monotonic()
        reply = service.request("POST", "/api/board", body, kind)
        assert reply.status == 200, reply.body
        unit = board.units(1, timeout=120)[0]
        assert unit["event"] == "frame" and unit["checksum_ok"], unit
        return unit["t"] - started - FRAME_WIRE

    rows = []
    assert service.request("DELETE", "/api/board").status == 200
    board.quiet(1.0)
    huge = as_show(big_animation(folder, 1500))
    refused = []
    timed_post(huge, "application/json", refused)
    rows.append(("An animation of 1,500 frames of 4000 × 4000 in a show (%.1f MB of JSON): "
                 "answer, time to it" % (len(huge) / 1e6),
                 "%d, %.0f ms" % (refused[0][0], refused[0][1] * 1000)))
    largest = as_show(big_animation(folder, 62))
    taken = []
    reading = threading.Thread(target=timed_post, args=(largest, "application/json", taken))
    reading.start()
    time.sleep(0.5)
    picture = kit.png_bytes(640, 320, lambda x, y: 255 if (x // 40 + y // 40) % 2 else 0)
    during = [to_board(picture, "image/png"),
              to_board(json.dumps({"text": ["W trakcie"]}).encode(), "application/json")]
    reading.join()
    rows.append(("The largest animation taken, 62 frames of 4000 × 4000 (%.1f MB of JSON): "
                 "answer, time to it" % (len(largest) / 1e6),
                 "%d, %.1f s" % (taken[0][0], taken[0][1])))
    rows.append(("A picture (640 × 320 PNG) and then a text posted while it is read: each to "
                 "its frame at the board, less the wire time",
                 "%.0f ms, %.0f ms" % (during[0] * 1000, during[1] * 1000)))
    rows.append(("The service's peak resident memory so far", "%.1f MiB" % (peak_kib(pid) / 1024)))
    return rows


def main():
    bin_dir = sys.argv[1]
    idle_seconds = float(os.environ.get("TABLICA_BENCH_IDLE_SECONDS", "60"))
    work = kit.TempFolder("service-bench-")
    board = kit.Emulator(bin_dir, 19, work.join("config"), extra=("--baud", str(BAUD)))
    service = None
    rows = []
    try:
        service = svc.Service(bin_dir, work.join(), work.join("config"), 19)
        pid = service.proc.pid
        figures = latency(service, board)
        rows.append(("POST of a line of text to its frame's last byte at the board, less the "
                     "frame's wire time (%.1f ms; median of %d)" % (FRAME_WIRE * 1000, len(figures)),
                     "%.1f ms" % (statistics.median(figures) * 1000)))
        rows.append(("The same, the slowest of %d" % len(figures), "%.1f ms" % (max(figures) * 1000)))

        show = {"pages": [{"scroll": "Pociąg do Krakowa odjedzie z peronu 3 o 12:45.",
                           "speed": 40}]}
        assert service.post_json("/api/board", show).status == 200
        time.sleep(1)
        board.quiet(0.5)
        before = resident_kib(pid)
        statuses, seconds = load(service)
        middle = resident_kib(pid)
        statuses2, seconds2 = load(service)
        after = resident_kib(pid)
        units = board.quiet(0.5)
        frames = [u for u in units if u["event"] == "frame"]
        whole = all(u["checksum_ok"] and len(u["bytes"]) == 2 * 517 for u in frames)
        stray = [u for u in units if u["event"] != "frame"]
        answered = sum(1 for s in statuses + statuses2 if s == 200)
        rows.append(("%d requests from %d clients at once while a show plays, twice: answered "
                     "200" % (REQUESTS, CLIENTS), "%d of %d" % (answered, 2 * REQUESTS)))
        rows.append(("Requests a second (status, board.json, board.png, preview in turn)",
                     "%.0f" % ((len(statuses) + len(statuses2)) / (seconds + seconds2))))
        rows.append(("Frames written meanwhile: whole with a right checksum; stray bytes",
                     "%d of %d; %d" % (sum(1 for u in frames if u["checksum_ok"]), len(frames),
                                       len(stray)) + ("" if whole else " (NOT WHOLE)")))
        rows.append(("Resident memory before, after 1,000 and after 2,000 requests",
                     "%.1f / %.1f / %.1f MiB" % (before / 1024, middle / 1024, after / 1024)))

        rows.append(("API answer time (GET /api/status), median / 99th percentile of 100",
                     percentiles(answer_times(service))))
        slow = SlowHeads(service, "127.0.0.2", 200)
        try:
            time.sleep(3)
            rows.append(("The same with 200 connections from 127.0.0.2 sending a head's line a "
                         "second", percentiles(answer_times(service))))
        finally:
            slow.stop()

        rows += notice_queue(service, pid)
        rows += large_uploads(service, board, pid, work.join())

        assert service.request("DELETE", "/api/board").status == 200
        time.sleep(1)
        rows.append(idle_cpu_row(pid, idle_seconds, "the idle service"))
    finally:
        if service:
            service.stop()
        board.stop()
        work.remove()

    print_table("tablica-serwer, virtual board at %d baud" % BAUD, rows)


if __name__ == "__main__":
    main()
